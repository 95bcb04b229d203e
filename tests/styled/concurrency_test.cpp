// Definitions, highlighter memory and themes are shared by every thread; rendering the same
// documents on several threads at once must give what one thread gives.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "styled/console.h"
#include "styled/markdown/markdown.h"

namespace styled {
namespace {

std::string render(const std::string& md) {
  std::string out;
  Console console({.width = 72, .force_terminal = true, .file = &out});
  console.print(Markdown(md));
  return out;
}

TEST(StyledConcurrency, ThreadsRenderTheSameAsOneThread) {
  const std::vector<std::string> docs = {
      "# A\n\n```python\nimport os\ndef f(x):\n    return x + 1  # c\n```\n",
      "- item `code`\n\n```cpp\n#include <v>\nint main() { return 0; }\n```\n",
      "> quote\n\n```sh\nfor f in *; do echo \"$f\"; done\n```\n| a | b |\n|---|---|\n| 1 | 2 |\n",
      "```ts\nconst x: number = 1; // t\n```\n\n```rust\nfn main() { let s = r#\"x\"#; }\n```\n",
  };
  std::vector<std::string> expected;
  for (const auto& d : docs) expected.push_back(render(d));
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        for (std::size_t i = 0; i < docs.size(); ++i) {
          const std::size_t k = (i + static_cast<std::size_t>(t)) % docs.size();
          if (render(docs[k]) != expected[k]) ++mismatches[static_cast<std::size_t>(t)];
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int m : mismatches) EXPECT_EQ(m, 0);
}

TEST(StyledConcurrency, OneDocumentDrawnOnSeveralThreadsAtOnce) {
  // The first drawing of a document settles its node text into the document; drawings on
  // other threads at the same time must wait for it, not race it.
  std::string md;
  for (int i = 0; i < 50; ++i) {
    md += "Para " + std::to_string(i) + " with `code`, *em* and https://x.org/" +
          std::to_string(i) + "\n\n";
  }
  const Markdown doc(md);
  const std::string expected = render(md);
  std::vector<std::string> got(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < got.size(); ++t) {
    threads.emplace_back([&, t] {
      Console console({.width = 72, .force_terminal = true, .file = &got[t]});
      console.print(doc);
    });
  }
  for (auto& th : threads) th.join();
  for (const std::string& g : got) EXPECT_EQ(g, expected);
}

TEST(StyledConcurrency, AFirstDrawingCutShortLeavesTheDocumentWhole) {
  // A sink that gives up half way through the first drawing: the next drawing still settles
  // what was not reached (the sanitizer build reports anything left outside the document).
  const Markdown doc("one `a`\n\ntwo `b`\n\nthree [c](https://x.org)\n");
  int seen = 0;
  EXPECT_THROW(doc.render_each(Console(), 40,
                               [&](Line&&) {
                                 if (++seen == 2) throw std::runtime_error("stop");
                               }),
               std::runtime_error);
  const Lines lines = Console().render_lines(doc, 40);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(lines[4].text().starts_with("three c (https://x.org)"));
}

}  // namespace
}  // namespace styled
