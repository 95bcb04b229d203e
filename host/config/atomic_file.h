#pragma once
// Replacing a file so that readers, and the file after a crash or power loss, see either the
// old contents or the new, never a mix or an empty file.

#include <filesystem>
#include <string_view>

namespace host::config {

// Writes `contents` to a temporary file in `path`'s folder (created when missing), flushes it
// to disk, renames it over `path` and flushes the folder. A symbolic link at `path` is followed,
// so the file it points to is replaced (or created, for a link whose target does not exist yet) and
// the link stays. The file keeps its permission bits
// (a new one gets 0644). A file or folder without any write permission bit counts as read-only,
// even for root. Throws ConfigError naming the file and the reason; the old file is then
// untouched and no temporary file is left behind.
void replace_file_atomically(const std::filesystem::path& path, std::string_view contents);

}  // namespace host::config
