#pragma once
// Reasoning that a model writes into its answer, between <think> and </think> at the very start
// of `content`: separates it from the answer as the content arrives, in pieces that may split
// the tags anywhere.

#include <string>
#include <string_view>

namespace host::runtime {

class ThinkTagSplitter {
 public:
  // Receives the pieces, in order, each either thinking or answer text.
  struct Sink {
    virtual ~Sink() = default;
    virtual void thinking(std::string_view text) = 0;
    virtual void answer(std::string_view text) = 0;
  };

  explicit ThinkTagSplitter(Sink& sink) : sink_(sink) {}

  void feed(std::string_view content);
  // The content has ended: text held back because it might have begun a tag goes out as what
  // it turned out to be (an unclosed <think> block stays thinking).
  void finish();

 private:
  enum class State { opening, inside, answer };

  void open(std::string_view content);
  void inside(std::string_view content);

  Sink& sink_;
  State state_ = State::opening;
  std::string held_;  // a possible start of "<think>" (after white space) or of "</think>"
};

}  // namespace host::runtime
