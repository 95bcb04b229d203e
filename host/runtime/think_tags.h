#pragma once
// Reasoning that a model writes into its answer, between <think> and </think> at the very start
// of `content`: separates it from the answer as the content arrives, in pieces that may split
// the tags anywhere.
//
// Some chat templates put the opening tag into the prompt, so the content starts in the middle
// of the reasoning and holds only the closing tag. When that may happen, content that does not
// open with <think> is held, undecided, until a </think> shows it was reasoning, or the end
// of the content shows it was the answer; only the peek shows it meanwhile, so that reasoning
// is never shown as answer.

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
    // All the undecided text so far, each time it grows.
    virtual void undecided(std::string_view /*text*/) {}
  };

  // `untagged_may_think`: content that does not open with <think> is held undecided until a
  // lone </think> or the end (else it is answer at once).
  explicit ThinkTagSplitter(Sink& sink, bool untagged_may_think = false)
      : sink_(sink), untagged_may_think_(untagged_may_think) {}

  void feed(std::string_view content);
  // The content has ended: text held back because it might have begun a tag goes out as what
  // it turned out to be (an unclosed <think> block stays thinking).
  void finish();

  // The server sends reasoning apart from the content: content that opens without a tag is
  // answer. Takes effect while no content has been decided on.
  void untagged_is_answer() noexcept { untagged_may_think_ = false; }
  // A lone </think> ended undecided text: the content was reasoning without an opening tag.
  [[nodiscard]] bool saw_lone_close() const noexcept { return saw_lone_close_; }

 private:
  enum class State { opening, inside, undecided, answer };

  void open(std::string_view content);
  void inside(std::string_view content);
  void undecided(std::string_view content);

  Sink& sink_;
  bool untagged_may_think_;
  bool saw_lone_close_ = false;
  State state_ = State::opening;
  // A possible start of "<think>" (after white space) or of "</think>"; or the undecided text.
  std::string held_;
};

}  // namespace host::runtime
