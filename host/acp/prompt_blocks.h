#pragma once
// The content blocks of a prompt sent to an agent: the prompt's text as typed, then a
// resource link for each "@path" mention in it that names a file inside the session's folder
// (once each, in the order mentioned), so that the agent can read the file itself.

#include <filesystem>
#include <string>
#include <string_view>

#include "host/acp/json_rpc.h"

namespace host::acp {

[[nodiscard]] Json prompt_blocks(std::string_view prompt, const std::filesystem::path& folder);

// A file's path as a file: URI, every byte outside the unreserved set and "/" percent-encoded.
[[nodiscard]] std::string file_uri(const std::filesystem::path& absolute);

}  // namespace host::acp
