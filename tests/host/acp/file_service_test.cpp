// The session folder's files as the agent may reach them: confinement, reading by lines,
// atomic writes.

#include "host/acp/file_service.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "host/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using host::acp::FileService;
using host::acp::RefusedRequest;

class FileServiceTest : public testing::Test {
 protected:
  FileServiceTest() {
    fs::create_directories(root() / "src");
    host_test::write_text(root() / "src" / "a.txt", "one\ntwo\nthree\nfour\n");
    host_test::write_text(outside_.path() / "secret", "secret\n");
    fs::create_symlink(outside_.path() / "secret", root() / "link-out");
    fs::create_symlink(outside_.path(), root() / "dir-out");
    fs::create_symlink(root() / "src" / "a.txt", root() / "link-in");
  }
  [[nodiscard]] fs::path root() const { return fs::canonical(folder_.path()); }

  host_test::TempFolder folder_;
  host_test::TempFolder outside_;
};

struct PathCase {
  std::string path;  // "$ROOT" and "$OUT" stand for the two folders
  bool allowed;
};

class Confinement : public FileServiceTest, public testing::WithParamInterface<PathCase> {};

TEST_P(Confinement, RefusesEveryWayOut) {
  std::string path = GetParam().path;
  for (auto [key, value] : {std::pair{"$ROOT", root().string()},
                            std::pair{"$OUT", fs::canonical(outside_.path()).string()}}) {
    if (auto at = path.find(key); at != std::string::npos) path.replace(at, 5, value);
  }
  const FileService files(root());
  if (GetParam().allowed) {
    EXPECT_NO_THROW((void)files.confine(path)) << path;
  } else {
    EXPECT_THROW((void)files.confine(path), RefusedRequest) << path;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Confinement,
    testing::Values(PathCase{"src/a.txt", true}, PathCase{"$ROOT/src/a.txt", true},
                    PathCase{"$ROOT/new/file.txt", true}, PathCase{"link-in", true},
                    PathCase{"src/../src/a.txt", false}, PathCase{"../etc/passwd", false},
                    PathCase{"/etc/passwd", false}, PathCase{"$OUT/secret", false},
                    PathCase{"$ROOTx/file", false}, PathCase{"link-out", false},
                    PathCase{"dir-out/secret", false}, PathCase{"dir-out/new-file", false},
                    PathCase{"", false}));

TEST_F(FileServiceTest, ReadsFromALineAndUpToALimit) {
  const FileService files(root());
  EXPECT_EQ(files.read("src/a.txt", std::nullopt, std::nullopt), "one\ntwo\nthree\nfour\n");
  EXPECT_EQ(files.read("src/a.txt", 2, 2), "two\nthree\n");
  EXPECT_EQ(files.read("src/a.txt", 4, 10), "four\n");
  EXPECT_EQ(files.read("src/a.txt", 9, std::nullopt), "");
  EXPECT_EQ(files.read("src/a.txt", std::nullopt, 1), "one\n");
  EXPECT_THROW((void)files.read("src/missing", std::nullopt, std::nullopt), RefusedRequest);
  EXPECT_THROW((void)files.read("src", std::nullopt, std::nullopt), RefusedRequest);
}

TEST_F(FileServiceTest, WritesReplaceKeepTheModeAndReportTheOldText) {
  const FileService files(root());
  ::chmod((root() / "src" / "a.txt").c_str(), 0600);
  const FileService::Written w = files.write("src/a.txt", "new\n");
  EXPECT_EQ(w.before, "one\ntwo\nthree\nfour\n");
  EXPECT_EQ(host_test::slurp(root() / "src" / "a.txt"), "new\n");
  EXPECT_EQ(fs::status(root() / "src" / "a.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  const FileService::Written fresh = files.write("deep/er/b.txt", "b");
  EXPECT_FALSE(fresh.before.has_value());
  EXPECT_EQ(host_test::slurp(root() / "deep" / "er" / "b.txt"), "b");
  // No temporary file is left beside them.
  EXPECT_EQ(std::distance(fs::directory_iterator(root() / "src"), fs::directory_iterator()), 1);

  EXPECT_THROW(files.write("link-out", "pwned"), RefusedRequest);
  EXPECT_EQ(host_test::slurp(outside_.path() / "secret"), "secret\n");
}

}  // namespace
