#pragma once
// Work that may hang (an agent that never answers while it starts), done while the plain chat
// watches its input: when the input is closed with nothing left to read (the other end of a
// pipe gone, a terminal hung up), the user has left and the work is given up on.

#include <functional>

namespace host {

// Runs `work` on a thread of its own and waits for it; when `fd` is closed with nothing left
// to read meanwhile, calls `give_up` (on the calling thread), which must make `work` end soon.
// What `work` throws is thrown here. A closed input that still holds text (prompts to run) is
// not watched any further, nor is input that cannot be closed later (a file).
void run_watching_input(int fd, const std::function<void()>& work,
                        const std::function<void()>& give_up);

}  // namespace host
