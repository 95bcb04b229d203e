// The HTTP agent against a fake OpenAI-compatible server: the shapes real servers stream, the
// request it sends, every way a turn can fail, and cancelling a turn in the middle.

#include "host/runtime/http_agent.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/fake_chat_server.h"
#include "host/http_agent_harness.h"
#include "unicode/text_ops.h"

namespace {

using host::runtime::ChatMessage;
using host::runtime::HttpAgentOptions;
using host::runtime::TurnEnd;
using host_test::AgentHarness;
using host_test::ChatReply;
using host_test::delta_event;
using host_test::FakeChatServer;
using host_test::finish_event;
using host_test::random_pieces;
using host_test::sse;
using host_test::usage_event;
using nlohmann::json;

HttpAgentOptions options_for(const std::string& url, std::string mode = "turbo-think") {
  HttpAgentOptions o;
  o.base_url = url;
  o.mode = std::move(mode);
  // Far above what any test waits for on purpose: a sanitizer build on a busy machine can take
  // seconds to handle one large event.
  o.idle_timeout_s = 60;
  return o;
}

json content(const char* text) {
  return delta_event({{"content", text}});
}
json reasoning(const char* text, const char* field = "reasoning_content") {
  return delta_event({{field, text}});
}

ChatReply reply(std::vector<std::string> pieces, ChatReply::Then then = ChatReply::Then::end,
                int status = 200, std::string type = "text/event-stream") {
  ChatReply r;
  r.pieces = std::move(pieces);
  r.then = then;
  r.status = status;
  r.content_type = std::move(type);
  return r;
}

struct ShapeCase {
  const char* name;
  std::string body;
  std::string content_type;
  std::string thinking;  // "" for no thinking block
  std::string peek;      // of the thinking, or of content not yet known to be answer
  std::string answer;
  std::optional<long long> tokens;
  // The mode asks for neither by default: the model's template decides whether it thinks.
  std::string mode = "";
};

class StreamShapes : public testing::TestWithParam<ShapeCase> {};

TEST_P(StreamShapes, ShowThinkingAndAnswerWhateverThePieces) {
  const ShapeCase& c = GetParam();
  for (unsigned seed = 1; seed <= 3; ++seed) {
    const FakeChatServer server([&](const json&) {
      ChatReply r;
      r.content_type = c.content_type;
      r.pieces = random_pieces(c.body, seed);
      return r;
    });
    AgentHarness h(options_for(server.url(), c.mode));
    const auto shown = h.turn("hi");
    ASSERT_EQ(shown.result.end, TurnEnd::done) << shown.result.reason;
    EXPECT_EQ(shown.thinking, c.thinking);
    EXPECT_EQ(shown.thinking_blocks, c.thinking.empty() ? 0 : 1);
    EXPECT_EQ(shown.peek, c.peek);
    EXPECT_EQ(shown.answer, c.answer);
    EXPECT_EQ(shown.result.completion_tokens, c.tokens);
    if (c.tokens) {
      EXPECT_EQ(shown.tokens, *c.tokens);
    }
    EXPECT_EQ(h.agent.conversation(),
              (std::vector<ChatMessage>{{"user", "hi"}, {"assistant", c.answer}}));
  }
}

const std::string kInvalidUtf8 = "data: {\"choices\":[{\"delta\":{\"content\":\"caf\xC3\"}}]}\n\n";

INSTANTIATE_TEST_SUITE_P(
    Servers, StreamShapes,
    testing::Values(
        ShapeCase{"ReasoningContentWithUsageLast",
                  sse({delta_event({{"role", "assistant"}, {"content", nullptr}}),
                       reasoning("Let me"), reasoning(" think.\nThe user "), reasoning("greets.\n"),
                       content("\n\nHello"), content(", you!"), usage_event(7)}),
                  "text/event-stream", "Let me think.\nThe user greets.", "The user greets.",
                  "Hello, you!", 7},
        ShapeCase{
            "ReasoningFieldWithoutUsage",
            sse({reasoning("Short.", "reasoning"), content("Ok."), delta_event(json::object())}),
            "text/event-stream", "Short.", "Short.", "Ok.", std::nullopt},
        ShapeCase{"ThinkTagsInContent",
                  sse({content("<th"), content("ink>\nPlan: greet"), content(".\n</th"),
                       content("ink>\n\nHi"), content(" there <think> stays.")}),
                  "text/event-stream", "Plan: greet.", "Plan: greet.", "Hi there <think> stays.",
                  std::nullopt},
        ShapeCase{"EmptyThinkBlockIsNoThinking",
                  sse({content("<think>\n\n</think>\n\nOK"), usage_event(1)}), "text/event-stream",
                  "", "", "OK", 1},
        ShapeCase{"CrLfCommentsAndOtherFields",
                  ": ping\r\nevent: message\r\nid: 4\r\ndata:" + content("A\\nB").dump() +
                      "\r\n\r\n" + "data: " + content(" é").dump() + "\r\n\r\ndata: [DONE]\r\n\r\n",
                  "text/event-stream", "", "A\\nB é", "A\\nB é", std::nullopt},
        ShapeCase{"NullContentAndNoChoices",
                  sse({delta_event({{"content", nullptr}}), json{{"choices", json::array()}},
                       json{{"object", "chat.completion.chunk"}}, content("x")}),
                  "text/event-stream", "", "x", "x", std::nullopt},
        ShapeCase{"InvalidUtf8ShowsAReplacementCharacter", kInvalidUtf8 + "data: [DONE]\n\n",
                  "text/event-stream", "", "caf\xEF\xBF\xBD", "caf\xEF\xBF\xBD", std::nullopt},
        // The template opened the block in the prompt: the content starts mid-thought.
        ShapeCase{"LoneCloseTagEndsTheReasoning",
                  sse({content("Okay, the user"), content(" greets.\n</th"),
                       content("ink>\n\nHello!"), finish_event("stop")}),
                  "text/event-stream", "Okay, the user greets.", "Okay, the user greets.", "Hello!",
                  std::nullopt},
        // Complete answers whatever the end of the stream looks like.
        ShapeCase{"FinishReasonThenCloseWithoutDone",
                  sse({content("Hi"), finish_event("stop"), usage_event(2)}, false),
                  "text/event-stream", "", "", "Hi", 2, "turbo"},
        ShapeCase{"DoneWithoutItsBlankLine", sse({content("Hi")}, false) + "data: [DONE]",
                  "text/event-stream", "", "", "Hi", std::nullopt, "turbo"},
        ShapeCase{"DoneWithOneLineBreak", sse({content("Hi")}, false) + "data: [DONE]\r\n",
                  "text/event-stream", "", "", "Hi", std::nullopt, "turbo"},
        ShapeCase{"WholeJsonFromAServerThatDidNotStream",
                  json{{"choices",
                        {{{"message", {{"content", "Whole."}, {"reasoning_content", "Why."}}}}}},
                       {"usage", {{"completion_tokens", 3}}}}
                      .dump(),
                  "application/json", "Why.", "Why.", "Whole.", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpAgentRequest, SendsTheConversationModelAndMode) {
  const FakeChatServer server([](const json& request) {
    ChatReply r;
    r.pieces = {
        sse({content("answer "), content(std::to_string(request["messages"].size()).c_str())})};
    return r;
  });
  for (const auto& [mode, thinks, effort] :
       {std::tuple{"turbo-think", true, "medium"}, std::tuple{"turbo", false, "none"}}) {
    auto options = options_for(server.url() + "/v1/", mode);  // a base_url for other clients
    options.system_prompt = "Be brief.";
    AgentHarness h(options);
    EXPECT_EQ(h.turn("one").answer, "answer 2");
    EXPECT_EQ(h.turn("two").answer, "answer 4");
    const json request = server.requests().back();
    EXPECT_EQ(request["path"], "/v1/chat/completions");
    EXPECT_EQ(request["model"], "fake-model");  // the first the server lists
    EXPECT_EQ(request["stream"], true);
    EXPECT_EQ(request["stream_options"], json({{"include_usage", true}}));
    EXPECT_EQ(request["chat_template_kwargs"]["enable_thinking"], thinks);
    EXPECT_EQ(request["reasoning_effort"], effort);
    EXPECT_EQ(request["messages"], json::parse(R"([
      {"role": "system", "content": "Be brief."}, {"role": "user", "content": "one"},
      {"role": "assistant", "content": "answer 2"}, {"role": "user", "content": "two"}])"));
  }
  auto options = options_for(server.url() + "/llm/", "");
  options.model = "chosen";
  AgentHarness h(options);
  EXPECT_EQ(h.turn("one").answer, "answer 1");
  const json request = server.requests().back();
  EXPECT_EQ(request["model"], "chosen");
  EXPECT_EQ(request["path"], "/llm/v1/chat/completions");
  EXPECT_FALSE(request.contains("chat_template_kwargs"));
  EXPECT_FALSE(request.contains("reasoning_effort"));
}

TEST(HttpAgentRequest, AsksAgainWithoutAnEffortTheServerRefuses) {
  const FakeChatServer server([](const json& request) {
    if (request.contains("reasoning_effort")) {
      return reply({R"({"error":{"message":"1 validation error: reasoning_effort: Input should )"
                    R"(be 'low', 'medium' or 'high'"}})"},
                   ChatReply::Then::end, 400, "application/json");
    }
    return reply({sse({content("fine")})});
  });
  AgentHarness h(options_for(server.url(), "turbo"));
  EXPECT_EQ(h.turn("one").answer, "fine");
  EXPECT_EQ(h.turn("two").answer, "fine");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3U);  // refused once, then never sent again
  EXPECT_EQ(requests[1]["chat_template_kwargs"]["enable_thinking"], false);
}

struct FailureCase {
  const char* name;
  ChatReply reply;
  std::string reason;  // "{url}" stands for the server's address
  std::string answer;  // shown before the failure
  std::string models = R"({"data":[{"id":"m"}]})";
};

class TurnFailures : public testing::TestWithParam<FailureCase> {};

TEST_P(TurnFailures, EndTheTurnWithAReasonAndKeepWhatWasShown) {
  const FailureCase& c = GetParam();
  const FakeChatServer server(
      [&](const json& request) {
        // The first turn succeeds, so that the failure's effect on the conversation shows.
        if (request["messages"].size() == 1) return reply({sse({content("first")})});
        return c.reply;
      },
      c.models);
  auto options = options_for(server.url());
  options.idle_timeout_s = 0.2;
  AgentHarness h(options);
  if (c.models.find("\"m\"") != std::string::npos) {
    ASSERT_EQ(h.turn("one").result.end, TurnEnd::done);
  }
  const auto before = h.agent.conversation();
  const auto shown = h.turn("two");
  std::string reason = c.reason;
  if (const auto at = reason.find("{url}"); at != std::string::npos) {
    reason.replace(at, 5, server.url());
  }
  EXPECT_EQ(shown.result.end, TurnEnd::error);
  EXPECT_EQ(shown.result.reason, reason);
  EXPECT_EQ(h.manager.state.error, reason);
  EXPECT_EQ(shown.answer, c.answer);
  auto after = before;
  if (!c.answer.empty()) {
    after.push_back({"user", "two"});
    after.push_back({"assistant", c.answer});
  }
  EXPECT_EQ(h.agent.conversation(), after);
}

const std::string kPartial =
    "data: " + content("par").dump() + "\n\ndata: " + content("tial").dump() + "\n\n";

// After the partial answer, `drip` every few milliseconds for ever.
ChatReply dripping(std::vector<std::string> pieces, std::string drip) {
  ChatReply r = reply(std::move(pieces), ChatReply::Then::drip);
  r.drip_piece = std::move(drip);
  r.gap = std::chrono::milliseconds(10);
  return r;
}

ChatReply with_huge_headers() {
  ChatReply r = reply({sse({content("never read")})});
  for (int i = 0; i < 40; ++i)
    r.headers.emplace_back("X-Pad-" + std::to_string(i), std::string(4000, 'h'));
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TurnFailures,
    testing::Values(
        FailureCase{"HttpErrorShowsTheServersMessage",
                    reply({R"({"error":{"code":400,"message":"context too long"}})"},
                          ChatReply::Then::end, 400, "application/json"),
                    "HTTP 400 from {url}/v1/chat/completions: context too long", ""},
        FailureCase{"HttpErrorWithAnHtmlPage",
                    reply({"<html><body>Bad gateway</body></html>"}, ChatReply::Then::end, 502,
                          "text/html"),
                    "HTTP 502 from {url}/v1/chat/completions", ""},
        FailureCase{
            "HtmlInsteadOfEvents",
            reply({"\n<!doctype html><html>web ui</html>"}, ChatReply::Then::end, 200, "text/html"),
            "{url}/v1/chat/completions answered with an HTML page, not an event stream: "
            "is base_url right?",
            ""},
        FailureCase{"StreamEndsWithoutDone", reply({kPartial}),
                    "the stream from {url}/v1/chat/completions ended without [DONE]", "partial"},
        FailureCase{"ServerClosesMidEvent",
                    reply({kPartial, "data: {\"choi"}, ChatReply::Then::drop),
                    "the stream from {url}/v1/chat/completions was cut off in the middle of an "
                    "event",
                    "partial"},
        FailureCase{"MalformedJson", reply({kPartial + "data: {\"choices\": [oops\n\n"}),
                    "malformed JSON in an event from the server: {\"choices\": [oops", "partial"},
        FailureCase{
            "ErrorFieldThenDone",  // older servers' error report
            reply({kPartial + "error: {\"code\":500,\"message\":\"slot unavailable\",\"type\":"
                              "\"server_error\"}\n\ndata: [DONE]\n\n"}),
            "slot unavailable", "partial"},
        FailureCase{"ErrorEventInTheStream",
                    reply({kPartial + "data: {\"error\":{\"message\":\"out of memory\"}}\n\n"}),
                    "out of memory", "partial"},
        FailureCase{"SilentServer", reply({kPartial}, ChatReply::Then::hold),
                    "{url} sent nothing for 0.2 s", "partial"},
        // What a server can make the client hold, or wait for, is bounded.
        FailureCase{"HeadersPastTheLimit", with_huge_headers(),
                    "the headers of the answer from {url}/v1/chat/completions are larger than "
                    "64 KB",
                    ""},
        FailureCase{"OnlyKeepAliveComments", dripping({kPartial}, ": keep-alive\n\n"),
                    "{url} sent no answer text for 0.2 s", "partial"},
        FailureCase{"AByteAtATime",
                    dripping({kPartial, "data: {\"choices\":[{\"delta\":{\"content\":\""}, "a"),
                    "{url} sent no answer text for 0.2 s", "partial"},
        FailureCase{"NoModelListed", reply({}),
                    "{url}/v1/models lists no model: set model in "
                    "the [runtime] section",
                    "", R"({"data":[]})"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpAgentAnswerEnds, LengthLimitGetsANoticeAfterTheAnswer) {
  const FakeChatServer server([](const json&) {
    return reply({sse({content("Once upon a"), finish_event("length"), usage_event(3)})});
  });
  AgentHarness h(options_for(server.url(), "turbo"));
  const auto shown = h.turn("story");
  ASSERT_EQ(shown.result.end, TurnEnd::done) << shown.result.reason;
  const std::string out = h.out->agent_output();
  const auto answer = out.find("Once upon a");
  const auto notice = out.find("the model reached its length limit");
  ASSERT_NE(notice, std::string::npos) << out;
  EXPECT_LT(answer, out.rfind('\n', notice));  // on a line of its own
  EXPECT_LT(notice, out.find("Done in"));
}

TEST(HttpAgentAnswerEnds, ToolCallsAreShownAndNotRun) {
  // No tools are offered, yet the model asks for two: one streamed in pieces, one whole.
  const std::string evil_args = "{\"path\": \"a\x1b[2Jb\"}";
  const FakeChatServer server([&](const json&) {
    const auto call = [](json function, int index) {
      return delta_event({{"tool_calls", {{{"index", index}, {"function", std::move(function)}}}}});
    };
    return reply({sse(
        {delta_event({{"role", "assistant"}, {"content", ""}}),
         call({{"name", "get_weather"}, {"arguments", ""}}, 0),
         call({{"arguments", "{\"city\": "}}, 0), call({{"arguments", "\"Paris\"}"}}, 0),
         call({{"name", "read_file"}, {"arguments", evil_args}}, 1), finish_event("tool_calls")})});
  });
  AgentHarness h(options_for(server.url(), "turbo"));
  const auto shown = h.turn("weather?");
  ASSERT_EQ(shown.result.end, TurnEnd::done) << shown.result.reason;
  const std::string not_run = " => not run: this agent offers the model no tools\n";
  EXPECT_EQ(shown.tools,
            "get_weather {\"city\": \"Paris\"}" + not_run + "read_file " + evil_args + not_run);
  const std::string out = h.out->agent_output();
  EXPECT_EQ(out.find("\x1b[2J"), std::string::npos) << "controls reach the terminal";
  EXPECT_NE(out.find(unicode::visible_controls(evil_args)), std::string::npos) << out;
}

TEST(HttpAgentFailures, ConnectionRefused) {
  std::string url;
  {
    const FakeChatServer server([](const json&) { return ChatReply{}; });
    url = server.url();
  }  // nothing listens there any more
  AgentHarness h(options_for(url));
  const auto shown = h.turn("hi");
  EXPECT_EQ(shown.result.end, TurnEnd::error);
  EXPECT_EQ(shown.result.reason, "connection refused at " + url);
  EXPECT_TRUE(h.agent.conversation().empty());
}

TEST(HttpAgentCancel, ClosesTheConnectionAtOnceAndKeepsThePartialAnswer) {
  const FakeChatServer server([](const json& request) {
    if (request["messages"].size() > 1) return reply({sse({content("next")})});
    ChatReply r = reply({"data: " + content("Once upon").dump() + "\n\n"}, ChatReply::Then::drip);
    r.drip_piece = "data: " + content(" a time").dump() + "\n\n";
    r.gap = std::chrono::milliseconds(5);
    return r;
  });
  // Thinking asked off: untagged content is answer at once, not held as possible reasoning.
  AgentHarness h(options_for(server.url(), "turbo"));
  host_test::Shown shown;
  std::thread worker([&] { shown = h.turn("story"); });
  ASSERT_TRUE(h.wait_for_content());
  const auto cancelled_at = std::chrono::steady_clock::now();
  EXPECT_TRUE(h.agent.cancel());
  const auto closed_at = server.wait_client_closed();
  worker.join();
  ASSERT_TRUE(closed_at.has_value());
  // The stream never ends on its own: only closing the connection stops the server.
  EXPECT_LT(*closed_at - cancelled_at, std::chrono::milliseconds(100));
  EXPECT_EQ(shown.result.end, TurnEnd::interrupted);
  EXPECT_EQ(h.manager.state.error, "Interrupted");
  ASSERT_TRUE(shown.answer.starts_with("Once upon")) << shown.answer;
  EXPECT_EQ(h.agent.conversation(),
            (std::vector<ChatMessage>{{"user", "story"}, {"assistant", shown.answer}}));
  EXPECT_EQ(h.turn("go on").answer, "next");
  EXPECT_FALSE(h.agent.cancel());  // no turn runs
}

TEST(HttpAgentCancel, BeforeAnyAnswerDropsThePrompt) {
  const FakeChatServer server([](const json&) { return reply({}, ChatReply::Then::hold); });
  AgentHarness h(options_for(server.url()));
  host_test::Shown shown;
  std::thread worker([&] { shown = h.turn("hello?"); });
  for (int i = 0; i < 10'000 && server.requests().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  h.agent.cancel();
  worker.join();
  EXPECT_EQ(shown.result.end, TurnEnd::interrupted);
  EXPECT_TRUE(h.agent.conversation().empty());
}

TEST(HttpAgentVolume, AnAnswerPastTheLimitEndsTheTurn) {
  const std::string piece(2 * 1024 * 1024, 'x');
  const std::string event = "data: " + content(piece.c_str()).dump() + "\n\n";
  const FakeChatServer server([&](const json&) {
    return reply(std::vector<std::string>(10, event));  // 20 MB in all
  });
  AgentHarness h(options_for(server.url(), "turbo"));
  const auto shown = h.turn("go");
  EXPECT_EQ(shown.result.reason,
            "the answer from " + server.url() + "/v1/chat/completions is larger than 8 MB");
  EXPECT_EQ(shown.answer.size(), 4 * piece.size());  // what fitted was shown
}

TEST(HttpAgentVolume, LongAnswersAndThinkingArriveWhole) {
  // 1 MB of thinking in 100-byte deltas, then a 5 MB answer in 1 KB deltas, as one stream.
  std::string body;
  std::string thinking;
  for (int i = 0; i < 10'000; ++i) {
    const std::string delta = std::string(90, 'a' + i % 26) + " step " + std::to_string(i % 10) +
                              (i % 50 == 49 ? "\n" : " ");
    thinking += delta;
    body += "data: " + reasoning(delta.c_str()).dump() + "\n\n";
  }
  std::string answer;
  for (int i = 0; i < 5'000; ++i) {
    const std::string delta = std::string(1023, 'x') + "\n";
    answer += delta;
    body += "data: " + content(delta.c_str()).dump() + "\n\n";
  }
  body += "data: [DONE]\n\n";
  const FakeChatServer server([&](const json&) { return reply(random_pieces(body, 1, 4096)); });
  AgentHarness h(options_for(server.url()));
  const auto shown = h.turn("go");
  ASSERT_EQ(shown.result.end, TurnEnd::done) << shown.result.reason;
  EXPECT_EQ(shown.thinking, thinking.substr(0, thinking.size() - 1));  // stripped
  EXPECT_EQ(shown.answer, answer);
  EXPECT_EQ(shown.peek.size(), 120U);  // the cut of the last line
}

}  // namespace
