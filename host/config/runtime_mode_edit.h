#pragma once
// Writing the runtime mode into the text of a configuration file by the smallest edit, so that
// everything else the user wrote there (other keys and sections, comments, layout) stays byte
// for byte.

#include <string>
#include <string_view>

namespace host::config {

// `text` with `runtime.laptop_26b_runtime_mode` set to `mode`: the value replaced where the key
// is written, else one line added under the [runtime] header, else a [runtime] section appended.
// Each candidate edit is parsed back and kept only if the document then means exactly the old
// one with the new mode. Throws ConfigError naming `source` (with line and column) when `text`
// is not TOML, or when no such edit exists (a runtime table written inline without the key).
[[nodiscard]] std::string with_runtime_mode(std::string_view text, std::string_view mode,
                                            std::string_view source);

}  // namespace host::config
