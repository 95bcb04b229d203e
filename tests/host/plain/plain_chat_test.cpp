// The plain presentation's chat over a pipe: one turn from --prompt, and a conversation from
// lines of standard input, compared byte for byte (a pipe gets no indicator frames).

#include "host/plain/plain_chat.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <thread>

#include "host/fake_chat_server.h"
#include "zell/output/capture.h"

namespace {

using host_test::ChatReply;
using host_test::delta_event;
using nlohmann::json;

const std::string kSign = "\n\x1b[1m❯\x1b[0m ";
std::string answered(const std::string& text) {
  return "\r\x1b[K\n\n  " + text + "\n\x1b[2m  Done in 0.0s\x1b[0m\n";
}

// Answers "You said: …" after a little reasoning; "fail" gets an HTTP error.
ChatReply respond(const json& request) {
  const std::string said = request["messages"].back()["content"];
  ChatReply r;
  if (said == "fail") {
    r.status = 500;
    r.content_type = "application/json";
    r.pieces = {R"({"error":{"message":"broken"}})"};
    return r;
  }
  r.pieces = host_test::random_pieces(
      host_test::sse({delta_event({{"reasoning_content", "The user said " + said}}),
                      delta_event({{"content", "You said: " + said}})}),
      7);
  return r;
}

struct Chat {
  int status = -1;
  std::string output;
};

// `during`, when given, runs on a thread beside the chat with its agent.
Chat chat(const std::string& url, const std::string& input, host::PlainChatOptions options,
          const std::function<void(host::runtime::HttpAgent&)>& during = {}) {
  zell_test::FakeClock clock;
  zell::output::OutputPorts ports;
  ports.clock = [&clock] { return clock.now(); };
  auto capture = zell_test::StdoutCapture::pipe();
  Chat c;
  {
    zell::output::OutputManager manager(ports);
    host::runtime::HttpAgentOptions agent_options;
    agent_options.base_url = url;
    host::runtime::HttpAgent agent(manager, agent_options);
    std::istringstream in(input);
    std::thread beside;
    if (during) beside = std::thread([&] { during(agent); });
    c.status = host::run_plain_chat(agent, in, options);
    if (beside.joinable()) beside.join();
  }
  c.output = capture->finish();
  return c;
}

TEST(PlainChat, PromptRunsOneTurn) {
  const host_test::FakeChatServer server(respond);
  const Chat ok = chat(server.url(), "ignored\n", {.prompt = "hello"});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.output, kSign + "hello\n" + answered("You said: hello"));

  const Chat failed = chat(server.url(), "", {.prompt = "fail"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.output, kSign + "fail\n" + "\n\x1b[31m▪ Error: HTTP 500 from " + server.url() +
                               "/v1/chat/completions: broken\x1b[0m\n\n");

  EXPECT_EQ(chat(server.url(), "", {.prompt = " "}).status, 2);
}

TEST(PlainChat, PromptEndedByCtrlCExits130) {
  const host_test::FakeChatServer server([](const json&) {
    ChatReply r;
    r.then = ChatReply::Then::hold;
    return r;
  });
  const Chat c = chat(server.url(), "", {.prompt = "wait"}, [&](host::runtime::HttpAgent& agent) {
    while (server.requests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    agent.cancel();  // what the interrupt relay does on Ctrl+C
  });
  EXPECT_EQ(c.status, 130);
  EXPECT_EQ(c.output, kSign + "wait\n\n\x1b[31m▪ Error: Interrupted\x1b[0m\n\n");
}

TEST(PlainChat, LinesOfInputAreAConversation) {
  const host_test::FakeChatServer server(respond);
  const Chat c = chat(server.url(), "first\n\n  \nfail\nsecond\r\nthird", {});
  EXPECT_EQ(c.status, 1);                                                // one turn failed
  EXPECT_EQ(c.output, kSign + "first\n" + answered("You said: first") +  //
                          kSign + "\n" + kSign + "  \n" +                //
                          kSign + "fail\n" + "\n\x1b[31m▪ Error: HTTP 500 from " + server.url() +
                          "/v1/chat/completions: broken\x1b[0m\n\n" +          //
                          kSign + "second\n" + answered("You said: second") +  //
                          kSign + "third\n" + answered("You said: third") + kSign + "\n");
  // The failed turn left no trace in what the model was sent next.
  EXPECT_EQ(server.requests().back()["messages"].size(), 5U);
}

}  // namespace
