#pragma once
// The host's typeahead input field, as the working indicator sees it. The indicator calls these
// on its own thread, once per frame, so an implementation must be safe to call from a thread
// other than the one that feeds it keys.

#include <cstddef>
#include <string>

namespace zell::ports {

class InputField {
 public:
  virtual ~InputField() = default;
  // Gathers the keys typed since the last call; called before the text is read.
  virtual void collect_typeahead() = 0;
  // The text typed ahead so far.
  virtual std::string get_typeahead_text() = 0;
  // Number of elements of the field's `_queue`: prompts the user queued for the agent.
  virtual std::size_t _queue_size() = 0;
};

}  // namespace zell::ports
