#pragma once
// Desktop notifications through the terminal: OSC 9 (iTerm2, WezTerm, Ghostty, kitty), OSC 777
// (rxvt, foot, VTE terminals), or the bell everywhere else. The text is the App's, but it may
// quote the agent (a tool name), so it is reduced to characters that cannot end or change the
// sequence before it is written.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace termui {

enum class NotifyMethod { osc9, osc777, bell, off };

// The forced methods a setting names ("bell", "off"); std::nullopt for any other word ("auto":
// the environment decides).
[[nodiscard]] std::optional<NotifyMethod> notify_method_named(std::string_view name);

// The method the terminal we run in understands, judged from its environment variables
// (`getenv` stands in for std::getenv). A multiplexer in between swallows the escape sequences
// unless told otherwise, so under tmux or screen only the bell is sure to reach the user.
[[nodiscard]] NotifyMethod detect_notify_method(
    const std::function<const char*(const char*)>& getenv);

// The bytes that raise the notification; empty for `off`. Control characters (C0, DEL, C1) in
// the title and body become spaces, the title loses its ';' (OSC 777 separates fields with it),
// and each is cut to MAX_NOTIFICATION code points.
inline constexpr std::size_t MAX_NOTIFICATION = 200;
[[nodiscard]] std::string notification_sequence(NotifyMethod method, std::string_view title,
                                                std::string_view body);

}  // namespace termui
