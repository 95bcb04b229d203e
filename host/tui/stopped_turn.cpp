#include "host/tui/stopped_turn.h"

#include <type_traits>
#include <variant>

namespace host::tui {
namespace {

// Words agents end a stopped turn with; the transcript already says it.
bool says_stopped(std::string_view message, std::string_view line) {
  return message == line || message == "Interrupted" || message == "Cancelled";
}

}  // namespace

StoppedTurn::Verdict StoppedTurn::judge(const events::TypedEvent& event) const {
  if (!stopped_) return Verdict::show;
  return std::visit(
      [&]<typename E>(const E& e) {
        if constexpr (std::is_same_v<E, events::Error>) {
          if (says_stopped(e.message, stopped_->line)) return Verdict::drop;
          const std::string_view m = e.message;
          if (m.starts_with(stopped_->line) && m.substr(stopped_->line.size()).starts_with(" (")) {
            return Verdict::amend;
          }
          return Verdict::show;
        } else {
          // The answer, its thinking and its end belong to the turn that is no longer shown.
          constexpr bool answer_or_thinking =
              std::is_same_v<E, events::Content> || std::is_same_v<E, events::StreamStart> ||
              std::is_same_v<E, events::ThinkingStart> ||
              std::is_same_v<E, events::ThinkingChunk> || std::is_same_v<E, events::ThinkingPeek> ||
              std::is_same_v<E, events::ThinkingDone> || std::is_same_v<E, events::Stage> ||
              std::is_same_v<E, events::Done>;
          return answer_or_thinking ? Verdict::drop : Verdict::show;
        }
      },
      event);
}

}  // namespace host::tui
