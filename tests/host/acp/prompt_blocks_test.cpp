// A prompt's "@" mentions become resource links for files inside the session's folder only.

#include "host/acp/prompt_blocks.h"

#include <gtest/gtest.h>

#include "host/temp_folder.h"

namespace {

using host_test::TempFolder;
using host_test::write_text;

TEST(PromptBlocks, MentionsOfFilesInsideTheFolderBecomeLinksOnce) {
  TempFolder outside;
  TempFolder work;
  std::filesystem::create_directories(work.path() / "src");
  write_text(work.path() / "src" / "main.cpp", "\n");
  write_text(work.path() / "my notes.md", "\n");
  write_text(outside.path() / "secret", "\n");
  std::filesystem::create_symlink(outside.path() / "secret", work.path() / "link");
  const std::string rel_secret =
      std::filesystem::relative(outside.path() / "secret", work.path()).string();

  const std::string prompt =
      "fix @src/main.cpp, see @src/main.cpp again; not me@host, @missing, "
      "@" +
      rel_secret + " or @link";
  const host::acp::Json blocks = host::acp::prompt_blocks(prompt, work.path());
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], (host::acp::Json{{"type", "text"}, {"text", prompt}}));
  const auto root = std::filesystem::canonical(work.path());
  EXPECT_EQ(blocks[1], (host::acp::Json{{"type", "resource_link"},
                                        {"uri", "file://" + (root / "src/main.cpp").string()},
                                        {"name", "src/main.cpp"}}));
  EXPECT_EQ(host::acp::file_uri("/a b/é%.md"), "file:///a%20b/%C3%A9%25.md");
}

}  // namespace
