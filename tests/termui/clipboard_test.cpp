// The clipboard writer: Base64, the OSC 52 sequence to the terminal device, and the local
// clipboard commands tried in turn when the terminal cannot be written.

#include "termui/clipboard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "termui/pty.h"

namespace termui {
namespace {

using testing::Pty;

TEST(Base64, EncodesTheStandardVectors) {
  const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"},
                                                         {"\xff\xfe", "//4="}};
  for (const auto& [in, out] : vectors) EXPECT_EQ(base64_encode(in), out) << in;
}

TEST(TerminalWriter, WritesLargeSequencesWholeAndReportsMissingDevices) {
  Pty pty;
  std::string text(3'000'000, 'a');
  for (std::size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>('A' + i % 26);
  const std::string sequence = osc52_sequence(text);
  std::string got;
  std::thread reader([&] { got = pty.read(sequence.size()); });
  write_terminal_device(pty.name, sequence);
  reader.join();
  EXPECT_TRUE(got == sequence);
  EXPECT_THROW(write_terminal_device("/nonexistent/tty", "x"), std::system_error);
}

// Fake clipboard commands in a directory that is the whole PATH. Each records its arguments
// and input in files beside it; status -1 exits 0 without reading its input.
struct Fallback {
  const char* name;
  std::vector<std::pair<std::string, int>> installed;
  const char* taker;  // the command expected to get the text; nullptr: none does
  const char* args;
};

class FakeCommands : public ::testing::TestWithParam<Fallback> {
 protected:
  FakeCommands() {
    char tmpl[] = "/tmp/vellumine-clip-XXXXXX";
    dir = ::mkdtemp(tmpl);
    if (const char* p = std::getenv("PATH")) saved_path = p;
    ::setenv("PATH", dir.c_str(), 1);
    ports.write_terminal = [](std::string_view) {
      throw std::system_error(ENXIO, std::generic_category(), "open terminal");
    };
  }
  ~FakeCommands() override {
    ::setenv("PATH", saved_path.c_str(), 1);
    std::filesystem::remove_all(dir);
  }
  std::optional<std::string> file(const std::string& name) const {
    std::ifstream in(dir + "/" + name);
    if (!in) return std::nullopt;
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string dir;
  std::string saved_path;
  termui::ClipboardPorts ports = termui::ClipboardPorts::real();
};

TEST_P(FakeCommands, TheFirstWorkingCommandGetsThePlainText) {
  for (const auto& [name, status] : GetParam().installed) {
    const std::string path = dir + "/" + name;
    std::ofstream(path) << "#!/bin/sh\necho \"$@\" > \"$0.args\"\n"
                        << (status < 0 ? "exit 0\n" : "/bin/cat > \"$0.out\"\nexit ")
                        << (status < 0 ? "" : std::to_string(status) + "\n");
    ::chmod(path.c_str(), 0755);
  }
  // Larger than a socket buffer, so that a command that does not read cannot take it all.
  std::string text = "héllo\nwörld ";
  text.resize(1'000'000, 'z');
  const Fallback& c = GetParam();
  if (!c.taker) {
    EXPECT_THROW(set_clipboard(ports, text), ClipboardError);
    return;
  }
  set_clipboard(ports, text);
  EXPECT_TRUE(file(std::string(c.taker) + ".out") == text);
  EXPECT_EQ(file(std::string(c.taker) + ".args"), std::string(c.args) + "\n");
  for (const auto& [name, status] : c.installed) {
    // Every command before the taker was tried, none after it.
    EXPECT_EQ(file(name + ".args").has_value(), status != 0 || name == c.taker) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Chain, FakeCommands,
    ::testing::Values(Fallback{"pbcopy_first", {{"pbcopy", 0}, {"wl-copy", 0}}, "pbcopy", ""},
                      Fallback{"after_failures",
                               {{"pbcopy", 1}, {"wl-copy", 1}, {"xclip", 0}, {"xsel", 0}},
                               "xclip",
                               "-selection clipboard"},
                      Fallback{"xsel_last", {{"xsel", 0}}, "xsel", "--clipboard --input"},
                      Fallback{
                          "exits_without_reading", {{"pbcopy", -1}, {"wl-copy", 0}}, "wl-copy", ""},
                      Fallback{"none", {{"pbcopy", 1}}, nullptr, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace termui
