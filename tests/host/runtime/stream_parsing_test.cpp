// The two parsers under the HTTP agent, fed at every byte boundary: server-sent events, and
// <think> tags at the start of the content.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/runtime/sse_parser.h"
#include "host/runtime/think_tags.h"

namespace {

using host::runtime::SseParser;
using host::runtime::ThinkTagSplitter;

std::vector<std::string> events_of(const std::vector<std::string>& pieces,
                                   std::size_t limit = SseParser::kMaxEventBytes,
                                   bool* in_event = nullptr, std::string* unfinished = nullptr) {
  std::vector<std::string> events;
  SseParser parser(
      [&](std::string_view data) {
        events.emplace_back(data);
        return true;
      },
      [&](std::string_view error) {
        events.push_back("error " + std::string(error));
        return true;
      },
      limit);
  for (const auto& piece : pieces) {
    if (!parser.feed(piece)) events.emplace_back("<stopped>");
  }
  if (in_event != nullptr) *in_event = parser.in_event();
  if (unfinished != nullptr) *unfinished = parser.unfinished_data().value_or("<none>");
  return events;
}

// Every split of `text` into two pieces, and into single bytes.
std::vector<std::vector<std::string>> splits_of(const std::string& text) {
  std::vector<std::vector<std::string>> splits;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    splits.push_back({text.substr(0, at), text.substr(at)});
  }
  std::vector<std::string> bytes;
  for (const char c : text) bytes.emplace_back(1, c);
  splits.push_back(bytes);
  return splits;
}

TEST(SseParser, EventsAreTheSameAtEveryByteBoundary) {
  const std::string stream =
      ": comment\n"
      "data: {\"a\":\"é€😀\"}\n\n"             // multi-byte characters, split anywhere
      "data:first\r\ndata:  second\r\n\r\n"   // two data lines; one space is taken off
      "event: x\rdata: cr only\r\r"           // CR alone ends lines
      "id: 3\ndatax: skipped\n\n"             // no data: no event
      "data\n\n"                              // a data field with no value
      "error: {\"message\":\"no slot\"}\n\n"  // an error field (older servers)
      "data: [DONE]\n\n"
      "data: one\ndata: unfinished";
  const std::vector<std::string> expected{
      "{\"a\":\"é€😀\"}", "first\n second", "cr only", "", "error {\"message\":\"no slot\"}",
      "[DONE]"};
  for (const auto& pieces : splits_of(stream)) {
    bool in_event = false;
    std::string unfinished;
    EXPECT_EQ(events_of(pieces, SseParser::kMaxEventBytes, &in_event, &unfinished), expected);
    EXPECT_TRUE(in_event);  // "data: unfinished" never ended
    EXPECT_EQ(unfinished, "one\nunfinished");
  }
}

TEST(SseParser, RefusesAnEventPastTheLimit) {
  EXPECT_EQ(events_of({"data: 12345\n\n", "data: 1234567", "89\n\n"}, 10),
            (std::vector<std::string>{"12345", "<stopped>", "<stopped>"}));
  EXPECT_EQ(events_of({"data: 1234\ndata: 123456\n\n"}, 10),
            (std::vector<std::string>{"<stopped>"}));
}

struct Split final : ThinkTagSplitter::Sink {
  void thinking(std::string_view t) override {
    out += '[';
    out += t;
    out += ']';
  }
  void answer(std::string_view t) override { out += t; }
  // Adjacent pieces of one kind joined, so that the result does not depend on the split.
  [[nodiscard]] std::string joined() const {
    std::string j;
    for (std::size_t i = 0; i < out.size(); ++i) {
      if (out[i] == ']' && i + 1 < out.size() && out[i + 1] == '[') {
        ++i;
        continue;
      }
      j += out[i];
    }
    return j;
  }
  std::string out;
};

struct TagCase {
  std::string content;
  std::string expected;
  bool untagged_may_think = false;
};

class ThinkTags : public testing::TestWithParam<TagCase> {};

TEST_P(ThinkTags, SplitTheSameAtEveryByteBoundary) {
  const auto& [content, expected, untagged_may_think] = GetParam();
  for (const auto& pieces : splits_of(content)) {
    Split sink;
    ThinkTagSplitter splitter(sink, untagged_may_think);
    for (const auto& piece : pieces) splitter.feed(piece);
    splitter.finish();
    EXPECT_EQ(sink.joined(), expected) << "pieces: " << pieces.size();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Contents, ThinkTags,
    testing::Values(TagCase{"<think>plan</think>answer", "[plan]answer"},
                    TagCase{"\n <think>a</thin</think>b</think>", "[a</thin]b</think>"},
                    TagCase{"<think>never closed </th", "[never closed </th]"},
                    TagCase{"<thin", "<thin"}, TagCase{"<thinking>x", "<thinking>x"},
                    TagCase{"text <think>later</think>", "text <think>later</think>"},
                    // A template that opened the block in the prompt: a lone closing tag.
                    TagCase{"Okay, the user </thin greets.\n</think>\n\nHi</think>",
                            "[Okay, the user </thin greets.\n]\n\nHi</think>", true},
                    TagCase{"<think>a</think>b", "[a]b", true},
                    TagCase{"An answer without tags </th", "An answer without tags </th", true}));

}  // namespace
