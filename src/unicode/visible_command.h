#pragma once
// A command shown for approval: every character the user is asked to approve must be seen, so
// nothing can make the text look different from what will run.

#include <string>
#include <string_view>

#include "unicode/visible_text.h"

namespace unicode {

// `command` as `visible_text` shows it with every invisible character revealed.
[[nodiscard]] inline std::string visible_command(std::string_view command) {
  return visible_text(command, Reveal::invisible);
}

}  // namespace unicode
