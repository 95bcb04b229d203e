// The answer's chunk lines read without the JSON document: what the quick reader takes must read
// exactly as the full parser reads it, what it declines must still come out right, and a line
// that is not JSON stays an error whichever reader sees it first.

#include "host/acp/chunk_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "host/acp/json_rpc.h"

namespace {

using host::acp::Json;
using host::acp::Message;
using host::acp::parse_message;
using host::acp::read_chunk_line;
using host::acp::TextChunk;
using Kind = Message::Kind;

// A chunk notification with `text` (raw JSON) as the text's value and `content_extra` (raw
// members, each followed by a comma) before it.
std::string chunk_line(std::string_view text, std::string_view content_extra = "",
                       std::string_view kind = "agent_message_chunk") {
  return std::string(R"({"jsonrpc":"2.0","method":"session/update","params":{"sessionId":"s",)") +
         R"("update":{"sessionUpdate":")" + std::string(kind) + R"(","content":{)" +
         std::string(content_extra) + R"("type":"text","text":)" + std::string(text) + "}}}}";
}

struct ChunkCase {
  std::string line;
  bool read_quickly;
  Kind kind;
};

class ChunkLines : public testing::TestWithParam<ChunkCase> {};

TEST_P(ChunkLines, ReadAsTheFullParserReadsThem) {
  const ChunkCase& c = GetParam();
  const std::optional<TextChunk> quick = read_chunk_line(c.line);
  EXPECT_EQ(quick.has_value(), c.read_quickly) << c.line;
  const Message m = parse_message(c.line);
  EXPECT_EQ(m.kind, c.kind) << c.line << "\n" << m.problem;
  if (!quick) return;
  const Json update = Json::parse(c.line)["params"]["update"];  // what the full parser reads
  EXPECT_EQ(quick->text, update["content"]["text"].get<std::string>());
  EXPECT_EQ(quick->kind == TextChunk::Kind::thought,
            update["sessionUpdate"] == "agent_thought_chunk");
  ASSERT_TRUE(m.chunk.has_value());
  EXPECT_EQ(m.chunk->text, quick->text);
}

INSTANTIATE_TEST_SUITE_P(
    Taken, ChunkLines,
    testing::Values(
        ChunkCase{chunk_line(R"("Hello")"), true, Kind::notification},
        ChunkCase{chunk_line(R"("hm")", "", "agent_thought_chunk"), true, Kind::notification},
        ChunkCase{chunk_line(R"("")"), true, Kind::notification},
        ChunkCase{chunk_line(R"("q\"b\\s\/\b\f\n\r\t\u00e9\u20AC\ud83d\ude00\u0000")"), true,
                  Kind::notification},
        ChunkCase{chunk_line("\"héllo ✓ 😀 \xf4\x8f\xbf\xbf \x7f\""), true, Kind::notification},
        // Members in any order, unknown ones of every kind of value, white space anywhere.
        ChunkCase{" \t{ \"params\" : {\"update\":{\"content\":{\"text\":\"x\",\"type\":\"text\","
                  "\"annotations\":{\"a\":[1,-2.5,0,-0.25,true,false,null,{},[],\"\\\"]\"]}},"
                  "\"_meta\":[],\"sessionUpdate\":\"agent_message_chunk\"},\"sessionId\":\"s\"},"
                  "\"method\":\"session/update\",\"jsonrpc\":\"2.0\",\"id\":null }\t ",
                  true, Kind::notification},
        // Escaped keys and names are the same keys and names.
        ChunkCase{
            R"({"method":"session\/update","params":{"update":{"sessionUpdate":)"
            R"("agent\u005fmessage_chunk","content":{"t\u0079pe":"text","\u0074ext":"esc"}}}})",
            true, Kind::notification}));

INSTANTIATE_TEST_SUITE_P(
    LeftToTheFullParser, ChunkLines,
    testing::Values(
        // The full parser lets the last of two equal keys win.
        ChunkCase{chunk_line(R"("a","text":"b")"), false, Kind::notification},
        ChunkCase{chunk_line(R"("x")", R"("n":1e5,)"), false, Kind::notification},
        ChunkCase{R"({"method":"session/update","params":{"update":{"sessionUpdate":)"
                  R"("agent_message_chunk","content":{"type":"image","data":"AA=="}}}})",
                  false, Kind::notification},
        ChunkCase{chunk_line(R"("x")", "", "user_message_chunk"), false, Kind::notification},
        ChunkCase{R"({"id":5,"method":"session/update","params":{"update":{"sessionUpdate":)"
                  R"("agent_message_chunk","content":{"type":"text","text":"x"}}}})",
                  false, Kind::request},
        ChunkCase{R"({"method":"session/update","params":{"update":{"sessionUpdate":)"
                  R"("agent_message_chunk","content":{"type":"text","text":7}}}})",
                  false, Kind::notification}));

INSTANTIATE_TEST_SUITE_P(
    NotJson, ChunkLines,
    testing::Values(ChunkCase{chunk_line(R"("x")") + "x", false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")") + "{}", false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")").substr(0, 100), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("\ud800x")"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("\ud800\u0041")"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("\udc00")"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("\u12G4")"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("\x")"), false, Kind::malformed},
                    ChunkCase{chunk_line("\"a\tb\""), false, Kind::malformed},
                    ChunkCase{chunk_line("\"\xff\""), false, Kind::malformed},
                    ChunkCase{chunk_line("\"\xc0\xaf\""), false, Kind::malformed},
                    ChunkCase{chunk_line("\"\xed\xa0\x80\""), false, Kind::malformed},
                    ChunkCase{chunk_line("\"\xf4\x90\x80\x80\""), false, Kind::malformed},
                    ChunkCase{chunk_line("\"\xe2\x9c\""), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")", R"("n":01,)"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")", R"("n":1.,)"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")", R"("n":-,)"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")", R"("n":+1,)"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")", R"("n":.5,)"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")", R"("n":tru,)"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")", R"("n":[1,],)"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x",)"), false, Kind::malformed},
                    ChunkCase{chunk_line(R"("x")", R"("n" 1,)"), false, Kind::malformed}));

// Lines near a chunk line, a byte or two changed, added or dropped: whatever the quick reader
// takes, the full parser reads the same way.
TEST(ChunkLines, MutatedLinesAreTakenOnlyAsTheFullParserReadsThem) {
  const std::string base =
      chunk_line(R"("a\"b\u00e9\ud83d\ude00 ✓")", R"("n":[-1.5,{"k":null}],"b":true,)");
  const std::string alphabet = "{}[],:\"\\ u0123456789abcdef.-+eE\x7f\x01\xc3\xa9\xed\xa0\x80\xff";
  std::mt19937 random(7);
  const auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  int taken = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string line = base;
    for (int edits = 1 + static_cast<int>(pick(2)); edits > 0; --edits) {
      const std::size_t at = pick(line.size());
      const char c = alphabet[pick(alphabet.size())];
      switch (pick(3)) {
        case 0:
          line[at] = c;
          break;
        case 1:
          line.insert(line.begin() + static_cast<std::ptrdiff_t>(at), c);
          break;
        default:
          line.erase(at, 1);
      }
    }
    const std::optional<TextChunk> quick = read_chunk_line(line);
    if (!quick) continue;
    ++taken;
    const Json j = Json::parse(line, nullptr, false);
    ASSERT_FALSE(j.is_discarded()) << line;
    EXPECT_EQ(quick->text, j["params"]["update"]["content"]["text"].get<std::string>()) << line;
  }
  EXPECT_GT(taken, 1000);  // the changes that keep the line whole are read quickly
}

}  // namespace
