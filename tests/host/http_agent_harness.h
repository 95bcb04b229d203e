#pragma once
// An HTTP agent driving a recorded output manager, with what each turn showed.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/runtime/http_agent.h"
#include "zell/output/capture.h"

namespace host_test {

struct Shown {
  host::runtime::TurnResult result;
  std::string thinking;  // the last completed thinking, whole
  int thinking_blocks = 0;
  std::string peek;      // the last peek
  std::string answer;    // every streamed chunk, joined
  std::string tools;     // "name args => result" for each tool call shown, one a line
  long long tokens = 0;  // the manager's count for the turn
};

class AgentHarness {
 public:
  explicit AgentHarness(host::runtime::HttpAgentOptions options);
  // Runs a turn on the calling thread.
  Shown turn(const std::string& prompt);
  // Waits (10 s at most) until the current turn has streamed some answer text.
  bool wait_for_content();

  zell_test::FakeClock clock;
  std::shared_ptr<zell_test::RecordingWriter> out = std::make_shared<zell_test::RecordingWriter>();
  zell::output::OutputManager manager{zell_test::recorded_ports(out, clock)};
  host::runtime::HttpAgent agent;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  Shown shown_;
};

}  // namespace host_test
