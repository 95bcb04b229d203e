// The transcript beyond the screen, with the real binary: a scripted session with a hostile
// answer exported to Markdown, HTML and SVG (each checked as its format reads it), and the
// same session in tmux, where every OSC 8 hyperlink written carries only a safe target and a
// light background (tmux answers the OSC 11 query with its window colour) brings the light
// colours, and Ctrl+F finds text anywhere in the transcript.

#include <cmark-gfm.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shell_run.h"

namespace {

namespace fs = std::filesystem;
using test_support::run;

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// An answer that tries script injection, a link with a target that would end the escape,
// and an ordinary link; a tool whose output tries to close the fence.
const char* const SCRIPT = R"({"op": "user", "text": "show me"}
{"op": "start_thinking"}
{"op": "think", "text": "</details><script>alert(1)</script>"}
{"op": "log_tool", "name": "bash", "args": "cat notes.md"}
{"op": "tool_result", "result": "```\n# not a heading\n<script>alert(2)</script>"}
{"op": "say", "text": "See [docs](https://example.org/a;b) and [x](http://a/\u001b]8;;http://evil\u0007).\n\n<script>alert(3)</script>\n\n<img src=x onerror=alert(4)>\n\n```sh\nmake test\n```\n"}
{"op": "done"}
)";

class TranscriptBeyondTheScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    static int tests_run = 0;
    name_ = "vellumine-x-" + std::to_string(::getpid()) + "-" + std::to_string(++tests_run);
    dir_ = fs::temp_directory_path() / name_;
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "s.jsonl") << SCRIPT;
    std::ofstream(dir_ / "config.toml") << "";
  }
  void TearDown() override {
    run("tmux -L " + name_ + " kill-server 2>/dev/null");
    fs::remove_all(dir_);
  }
  std::string vellumine(const std::string& args) const {
    return std::string(VELLUMINE_BIN) + " --config " + (dir_ / "config.toml").string() + " " + args;
  }
  std::string tmux(const std::string& args) const { return "tmux -L " + name_ + " " + args; }
  bool wait_for(const std::string& text) const {
    for (int i = 0; i < 300; ++i) {
      if (run(tmux("capture-pane -p")).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  std::string name_;
  fs::path dir_;
};

TEST_F(TranscriptBeyondTheScreen, ExportsToMarkdownHtmlAndSvg) {
  for (const char* ext : {"md", "html", "svg"}) {
    const fs::path out = dir_ / (std::string("t.") + ext);
    const std::string said =
        run(vellumine("--script " + (dir_ / "s.jsonl").string() + " --speed 0 --export " +
                      out.string() + " 2>&1; echo EXIT=$?"));
    ASSERT_NE(said.find("EXIT=0"), std::string::npos) << said;
  }
  // Markdown: the prompt, thinking, tool and result blocks come back as written.
  const std::string md = slurp(dir_ / "t.md");
  cmark_node* doc = cmark_parse_document(md.data(), md.size(), CMARK_OPT_DEFAULT);
  std::vector<std::string> types;
  std::vector<std::string> code;
  for (cmark_node* n = cmark_node_first_child(doc); n; n = cmark_node_next(n)) {
    types.push_back(cmark_node_get_type_string(n));
    if (cmark_node_get_type(n) == CMARK_NODE_CODE_BLOCK) code.push_back(cmark_node_get_literal(n));
  }
  cmark_node_free(doc);
  ASSERT_GE(types.size(), 7U) << md;
  EXPECT_EQ(std::vector<std::string>(types.begin(), types.begin() + 7),
            (std::vector<std::string>{"heading", "block_quote", "html_block", "code_block",
                                      "html_block", "code_block", "code_block"}))
      << md;
  EXPECT_EQ(code[0], "</details><script>alert(1)</script>\n");
  EXPECT_EQ(code[2], "```\n# not a heading\n<script>alert(2)</script>\n");

  // HTML: no script, no active image, no javascript link, whatever the answer held.
  const std::string html = slurp(dir_ / "t.html");
  EXPECT_FALSE(std::regex_search(html, std::regex("<script|<img|javascript:", std::regex::icase)))
      << html;
  EXPECT_NE(html.find("https://example.org/a;b"), std::string::npos);

  // SVG: well-formed XML (when a Python is there to read it) showing the screen's text.
  const std::string svg = slurp(dir_ / "t.svg");
  EXPECT_NE(svg.find(">show me</text>"), std::string::npos) << svg;
  EXPECT_NE(svg.find(">docs</text>"), std::string::npos);
  if (!run("command -v python3").empty()) {
    const std::string parsed =
        run("python3 -c 'import sys, xml.dom.minidom as m; "
            "m.parse(sys.argv[1]); print(\"XML-OK\")' " +
            (dir_ / "t.svg").string() + " 2>&1");
    EXPECT_NE(parsed.find("XML-OK"), std::string::npos) << parsed;
  }
}

TEST_F(TranscriptBeyondTheScreen, SafeHyperlinksAndTheLightThemeInTmux) {
  if (run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
  const fs::path raw = dir_ / "raw.out";
  run(tmux("-f /dev/null new-session -d -x 100 -y 40 'sleep 0.5; " +
           vellumine("--no-preflight --script " + (dir_ / "s.jsonl").string() + " --speed 0") +
           "; sleep 60'"));
  // A light window: tmux answers the background query with it. Everything the program writes
  // is recorded as bytes.
  run(tmux("set -g window-style 'bg=#ffffff'"));
  run(tmux("pipe-pane -O 'cat >> " + raw.string() + "'"));
  ASSERT_TRUE(wait_for("make test")) << run(tmux("capture-pane -p"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string bytes = slurp(raw);

  // Every OSC 8 target is made only of printable ASCII that cannot end or change the escape.
  const std::regex osc8("\x1b\\]8;;([^\x1b\x07]*)\x1b\\\\");
  int links = 0;
  bool saw_docs = false;
  for (auto it = std::sregex_iterator(bytes.begin(), bytes.end(), osc8);
       it != std::sregex_iterator(); ++it) {
    const std::string target = (*it)[1];
    if (target.empty()) continue;  // closing
    ++links;
    saw_docs = saw_docs || target == "https://example.org/a%3Bb";
    for (const char c : target) {
      const auto b = static_cast<unsigned char>(c);
      EXPECT_TRUE(b > 0x20 && b < 0x7f && c != ';' && c != '\\') << target;
    }
  }
  EXPECT_GT(links, 0);
  EXPECT_TRUE(saw_docs);
  EXPECT_EQ(bytes.find("http://evil\x07"), std::string::npos);

  // The light scheme: the prompt's "bold white" is drawn in a dark grey (24-bit), where the
  // dark scheme writes white (SGR 37).
  const std::string cells = run(tmux("capture-pane -p -e"));
  const auto prompt = cells.find("show me");
  ASSERT_NE(prompt, std::string::npos) << cells;
  const std::string sgr = cells.substr(cells.rfind("\x1b[", prompt));
  std::smatch rgb;
  ASSERT_TRUE(std::regex_search(sgr, rgb, std::regex("^\x1b\\[38;2;(\\d+);(\\d+);(\\d+)m")))
      << sgr.substr(0, 40);
  for (int i = 1; i <= 3; ++i) EXPECT_LT(std::stoi(rgb[i].str()), 128) << sgr.substr(0, 40);

  // Ctrl+F searches the whole transcript (the thinking, the tool's result and the answer's
  // text), marks the current match in orange and moves on with Enter; Escape closes it.
  run(tmux("send-keys C-f"));
  run(tmux("send-keys -l alert"));
  ASSERT_TRUE(wait_for("Find: alert▏  1 of 4")) << run(tmux("capture-pane -p"));
  EXPECT_NE(run(tmux("capture-pane -p -e")).find("48;2;255;135;0"), std::string::npos);
  run(tmux("send-keys Enter"));
  ASSERT_TRUE(wait_for("Find: alert  2 of 4")) << run(tmux("capture-pane -p"));
  run(tmux("send-keys Escape"));
  bool closed = false;
  for (int i = 0; i < 100 && !closed; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    closed = run(tmux("capture-pane -p")).find("Find:") == std::string::npos;
  }
  EXPECT_TRUE(closed) << run(tmux("capture-pane -p"));
}

}  // namespace
