// Checking scripts before they run: every kind of bad line is reported with its line number.

#include "host/agent/script.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct BadScript {
  std::string name;
  std::string text;
  std::string message;  // the whole what() of the error
};

class ScriptErrors : public ::testing::TestWithParam<BadScript> {};

TEST_P(ScriptErrors, NameTheLine) {
  try {
    (void)host::parse_script(GetParam().text, "t.jsonl");
    FAIL() << "accepted";
  } catch (const host::ScriptError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
}

const std::string OK = "{\"op\": \"done\"}\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, ScriptErrors,
    ::testing::Values(
        BadScript{"not_json", OK + "{op: done}\n", "t.jsonl:2: not valid JSON"},
        BadScript{"truncated_object", "{\"op\": \"done\"", "t.jsonl:1: not valid JSON"},
        BadScript{"invalid_utf8", "{\"op\": \"stream\", \"chunk\": \"\xff\"}",
                  "t.jsonl:1: not valid JSON"},
        BadScript{"array", OK + OK + "[1, 2]", "t.jsonl:3: expected a JSON object with an \"op\""},
        BadScript{"no_op", "{\"chunk\": \"x\"}", "t.jsonl:1: missing \"op\""},
        BadScript{"op_not_string", "{\"op\": 3}", "t.jsonl:1: \"op\" must be a string"},
        BadScript{"unknown_op", OK + "\n\n{\"op\": \"explode\"}",
                  "t.jsonl:4: unknown op \"explode\""},
        BadScript{"missing_argument", "{\"op\": \"stream\"}", "t.jsonl:1: stream needs \"chunk\""},
        BadScript{"wrong_type", "{\"op\": \"start_thinking\", \"reset\": \"yes\"}",
                  "t.jsonl:1: \"reset\" of start_thinking must be true or false"},
        BadScript{"unknown_argument", "{\"op\": \"done\", \"elapsed\": 3}",
                  "t.jsonl:1: done takes no argument \"elapsed\""},
        BadScript{"index_not_whole", "{\"op\": \"tool_result\", \"result\": \"\", \"idx\": 1.5}",
                  "t.jsonl:1: \"idx\" of tool_result must be a whole number"},
        BadScript{"index_overflows",
                  "{\"op\": \"tool_result\", \"result\": \"\", \"idx\": 99999999999}",
                  "t.jsonl:1: \"idx\" of tool_result must be a whole number"},
        BadScript{"negative_sleep", "{\"op\": \"sleep\", \"seconds\": -1}",
                  "t.jsonl:1: \"seconds\" of sleep must be a number of seconds (0 or more)"},
        BadScript{"zero_chunk", "{\"op\": \"say\", \"text\": \"x\", \"chunk_chars\": 0}",
                  "t.jsonl:1: \"chunk_chars\" of say must be a whole number of at least 1"},
        BadScript{"approve_without_command", "{\"op\": \"approve\", \"tool\": \"bash\"}",
                  "t.jsonl:1: approve needs \"command\""}),
    [](const auto& info) { return info.param.name; });

TEST(Script, AcceptsEveryOpAndSkipsBlankLines) {
  const std::string text =
      "\n"
      "{\"op\": \"user\", \"text\": \"hi\"}\r\n"
      "  \n"
      "{\"op\": \"tool_result\", \"result\": \"x\", \"error\": true, \"idx\": -1}\n"
      "{\"op\": \"think\", \"text\": \"t\", \"chunk_chars\": 3, \"delay\": 0}\n"
      "{\"op\": \"sleep\", \"seconds\": 0.25}";
  const auto steps = host::parse_script(text, "t");
  ASSERT_EQ(steps.size(), 4U);
  EXPECT_EQ(steps[0].op, "user");
  EXPECT_EQ(steps[0].line, 2);
  EXPECT_EQ(steps[1].line, 4);
  EXPECT_EQ(steps[3].args.at("seconds").get<double>(), 0.25);
  EXPECT_TRUE(host::parse_script("", "t").empty());
  const std::string help = host::script_help();
  for (const std::string& op : host::script_ops()) {
    const bool listed = help.find(" " + op + " ") != std::string::npos ||
                        help.find(" " + op + "\n") != std::string::npos;
    EXPECT_TRUE(listed) << op << " is missing from --help";
    // Every listed op is known to the checker (some then want arguments).
    try {
      (void)host::parse_script("{\"op\": \"" + op + "\"}", "t");
    } catch (const host::ScriptError& e) {
      EXPECT_EQ(std::string(e.what()).find("unknown op"), std::string::npos) << op;
    }
  }
}

}  // namespace
