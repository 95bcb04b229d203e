// A scripted Agent Client Protocol agent for tests. It answers initialize and session/new, and
// plays one scene per prompt: the prompt's first word names the scene, the rest is its
// argument. What the client answered to the agent's own requests comes back as answer text
// ("read: …", "error: …"), so tests see it in the output.
//
//   fake_acp_agent [--ignore-eof] [--ignore-term] [--stderr TEXT] [--version N] [--stamps FILE]
//                  [--renew-gate FILE] [--hang-initialize-while FILE]
//
// With --renew-gate, a session/new after the first is answered only once FILE exists (refused
// when it holds "refuse"). With --hang-initialize-while, initialize is answered once FILE is gone.
//
// Scenes: say TEXT · think TEXT · tools · plan · usage N · commands · user TEXT · diff PATH ·
// perm (asks with every option kind; says which option came back) · read PATH [LINE LIMIT] ·
// write PATH TEXT · term CMD ARGS… · watch SHELL-COMMAND (until cancelled) · malformed · unknown ·
// crash · stop REASON · chores PATH (see chores()) · edit[-part] PATH NEW [WRITTEN] (see edit()) ·
// hang (until cancelled, then a few words more) · deaf (never answers, not even a cancel) · late ·
// burst N · id-string · big N (a line of N bytes) · lines N (N word-sized chunks as fast as the
// pipe takes them, a line break after every 14th; with --stamps, the monotonic clock's nanoseconds
// as each was written go to FILE, one a line, after the last).

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using Json = nlohmann::json;

namespace {

bool ignore_eof = false;
std::string hang_file;  // initialize waits while this file exists
bool cancelled = false;
std::string session = "s-1";
long long next_id = 100;
std::string stamps_path;
std::string renew_gate;
int sessions_opened = 0;

void send(const Json& j) {
  std::string line = j.dump();
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

void update(const Json& u) {
  send({{"jsonrpc", "2.0"},
        {"method", "session/update"},
        {"params", {{"sessionId", session}, {"update", u}}}});
}

void say(const std::string& text) {
  update(
      {{"sessionUpdate", "agent_message_chunk"}, {"content", {{"type", "text"}, {"text", text}}}});
}

[[noreturn]] void end_of_input() {
  if (ignore_eof) {
    for (;;) ::pause();
  }
  std::exit(0);
}

Json read_message() {
  std::string line;
  for (;;) {
    if (!std::getline(std::cin, line)) end_of_input();
    Json j = Json::parse(line, nullptr, false);
    if (!j.is_discarded()) return j;
  }
}

// Sends a request and serves what comes meanwhile (a cancel) until its answer.
Json call(const std::string& method, Json params, const Json& id_override = nullptr) {
  const Json id = id_override.is_null() ? Json(next_id++) : id_override;
  params["sessionId"] = session;
  send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
  for (;;) {
    Json m = read_message();
    if (m.value("method", "") == "session/cancel") {
      cancelled = true;
      continue;
    }
    if (m.contains("id") && m["id"] == id && !m.contains("method")) return m;
  }
}

std::string answer_text(const Json& reply, const std::string& key) {
  if (reply.contains("error")) return "error: " + reply["error"].value("message", "");
  return reply["result"].value(key, Json()).dump();
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

std::string rest_after_first(const std::string& text) {
  const auto space = text.find(' ');
  return space == std::string::npos ? "" : text.substr(space + 1);
}

void announce(Json tool_call) {
  tool_call["sessionUpdate"] = "tool_call";
  update(tool_call);
}

// Asks permission for a tool call (allow once or reject once); the option chosen, or
// "cancelled".
std::string ask(const Json& tool_call) {
  const Json reply = call("session/request_permission",
                          {{"toolCall", tool_call},
                           {"options",
                            {{{"optionId", "yes"}, {"name", "Allow"}, {"kind", "allow_once"}},
                             {{"optionId", "no"}, {"name", "Reject"}, {"kind", "reject_once"}}}}});
  const Json outcome = reply["result"]["outcome"];
  return outcome.value("outcome", "") == "selected" ? outcome.value("optionId", "") : "cancelled";
}

// What a coding agent does in a turn: reads PATH through the client, asks to replace "hello"
// with "goodbye" in it (showing the diff) and writes it through the client once allowed, asks
// to run a shell command and runs it once allowed, each answer reported in its words; then a
// sentence full of terminal escapes (clipboard, clear screen, hyperlink) a client must show,
// never obey.
void chores(const std::string& path) {
  update({{"sessionUpdate", "tool_call"},
          {"toolCallId", "r1"},
          {"title", "Read " + path},
          {"kind", "read"},
          {"status", "in_progress"},
          {"locations", {{{"path", path}}}}});
  const Json read = call("fs/read_text_file", {{"path", path}});
  const std::string old_text = read.contains("error") ? "" : read["result"].value("content", "");
  update(
      {{"sessionUpdate", "tool_call_update"},
       {"toolCallId", "r1"},
       {"status", read.contains("error") ? "failed" : "completed"},
       {"content", {{{"type", "content"}, {"content", {{"type", "text"}, {"text", old_text}}}}}}});

  std::string new_text = old_text;
  if (const auto at = new_text.find("hello"); at != std::string::npos) {
    new_text.replace(at, 5, "goodbye");
  }
  const Json edit = {
      {"toolCallId", "e1"},
      {"title", "Edit " + path},
      {"kind", "edit"},
      {"status", "pending"},
      {"content",
       {{{"type", "diff"}, {"path", path}, {"oldText", old_text}, {"newText", new_text}}}}};
  announce(edit);
  const std::string edit_answer = ask(edit);
  if (edit_answer == "yes") {
    const Json written = call("fs/write_text_file", {{"path", path}, {"content", new_text}});
    say("edit: " + (written.contains("error") ? answer_text(written, "") : "written") + ". ");
  } else {
    say("edit refused (" + edit_answer + "). ");
  }
  update({{"sessionUpdate", "tool_call_update"},
          {"toolCallId", "e1"},
          {"status", edit_answer == "yes" ? "completed" : "failed"}});

  const std::string command = "touch ran.txt";
  const Json run = {{"toolCallId", "x1"},
                    {"title", "Run " + command},
                    {"kind", "execute"},
                    {"status", "pending"},
                    {"rawInput", {{"command", command}}}};
  announce(run);
  const std::string run_answer = ask(run);
  if (run_answer == "yes") {
    const Json created = call("terminal/create", {{"command", "sh"}, {"args", {"-c", command}}});
    const std::string id = created["result"].value("terminalId", "");
    call("terminal/wait_for_exit", {{"terminalId", id}});
    call("terminal/release", {{"terminalId", id}});
    say("command: ran. ");
  } else {
    say("command refused (" + run_answer + "). ");
  }
  update({{"sessionUpdate", "tool_call_update"},
          {"toolCallId", "x1"},
          {"status", run_answer == "yes" ? "completed" : "failed"}});

  say("Escapes: \x1b]52;c;b3duZWQ=\x07 then \x1b[2J then "
      "\x1b]8;;https://example.com\x07link\x1b]8;;\x07 end.");
}

// An edit call whose diff turns PATH (read through the client; a new file when it cannot be
// read) into the line NEW, then a write of the line WRITTEN through the client while the call
// runs: the same change as the diff, or another one. With `part`, the diff holds only the
// file's first line and NEW takes its place, and the write is the whole file so changed.
void edit(const std::string& path, const std::string& new_line, const std::string& written_line,
          bool part) {
  static int calls = 0;
  const std::string id = "edit-" + std::to_string(++calls);
  const Json read = call("fs/read_text_file", {{"path", path}});
  const std::string old_text = read.contains("error") ? "" : read["result"].value("content", "");
  const std::size_t first_end = std::min(old_text.find('\n'), old_text.size() - 1) + 1;
  const std::string rest = part ? old_text.substr(first_end) : "";
  Json diff = {{"type", "diff"}, {"path", path}, {"newText", new_line + "\n"}};
  if (!read.contains("error")) diff["oldText"] = part ? old_text.substr(0, first_end) : old_text;
  update({{"sessionUpdate", "tool_call"},
          {"toolCallId", id},
          {"title", "Edit " + path},
          {"kind", "edit"},
          {"status", "in_progress"},
          {"content", {diff}}});
  call("fs/write_text_file", {{"path", path}, {"content", written_line + "\n" + rest}});
  update({{"sessionUpdate", "tool_call_update"}, {"toolCallId", id}, {"status", "completed"}});
  say("edited");
}

std::string play(const std::string& prompt, const Json& prompt_id) {
  const std::vector<std::string> w = words(prompt);
  const std::string scene = w.empty() ? "" : w[0];
  const std::string arg = rest_after_first(prompt);
  if (scene == "say") {
    say(arg);
  } else if (scene == "think") {
    update(
        {{"sessionUpdate", "agent_thought_chunk"}, {"content", {{"type", "text"}, {"text", arg}}}});
    say("thought about it");
  } else if (scene == "tools") {
    // Starts empty, filled by an update; then a failing one; then one never announced.
    update({{"sessionUpdate", "tool_call"},
            {"toolCallId", "t1"},
            {"title", ""},
            {"kind", "read"},
            {"status", "pending"}});
    update({{"sessionUpdate", "tool_call_update"},
            {"toolCallId", "t1"},
            {"title", "Read notes.txt"},
            {"status", "in_progress"},
            {"rawInput", {{"path", "notes.txt"}}},
            {"unknownField", 1}});
    update({{"sessionUpdate", "tool_call_update"},
            {"toolCallId", "t1"},
            {"status", "completed"},
            {"content",
             {{{"type", "content"},
               {"content", {{"type", "text"}, {"text", "line one\nline two"}}}}}}});
    update({{"sessionUpdate", "tool_call"},
            {"toolCallId", "t2"},
            {"title", "grep TODO"},
            {"kind", "search"},
            {"status", "in_progress"}});
    update({{"sessionUpdate", "tool_call_update"},
            {"toolCallId", "t2"},
            {"status", "failed"},
            {"rawOutput", {{"error", "grep: bad pattern"}}}});
    update({{"sessionUpdate", "tool_call"},
            {"toolCallId", "t3"},
            {"title", "Run tests"},
            {"kind", "execute"},
            {"status", "in_progress"},
            {"rawInput", {{"command", "make test"}}}});
    update({{"sessionUpdate", "tool_call_update"},
            {"toolCallId", "t3"},
            {"status", "completed"},
            {"_meta",
             {{"terminal_output", {{"terminal_id", "x"}, {"data", "all tests passed\n"}}},
              {"terminal_exit", {{"terminal_id", "x"}, {"exit_code", 0}}}}}});
    update({{"sessionUpdate", "no_such_update"}, {"whatever", true}});
    say("tools done");
  } else if (scene == "plan") {
    // A first plan, then the same moved on.
    update({{"sessionUpdate", "plan"},
            {"entries",
             {{{"content", "Read the code"}, {"priority", "high"}, {"status", "in_progress"}},
              {{"content", "Fix the bug"}, {"priority", "medium"}, {"status", "pending"}},
              {{"content", "Write a test"}, {"priority", "low"}, {"status", "pending"}}}}});
    update({{"sessionUpdate", "plan"},
            {"entries",
             {{{"content", "Read the code"}, {"priority", "high"}, {"status", "completed"}},
              {{"content", "Fix the bug"}, {"priority", "medium"}, {"status", "in_progress"}},
              {{"content", "Write a test"}, {"priority", "low"}, {"status", "pending"}}}}});
  } else if (scene == "usage") {
    update({{"sessionUpdate", "usage_update"}, {"used", std::stoll(arg)}, {"size", 200000}});
    say("counted");
  } else if (scene == "commands") {
    update({{"sessionUpdate", "available_commands_update"},
            {"availableCommands",
             {{{"name", "init"}, {"description", "set up"}},
              {{"name", "review"}, {"description", "review code"}}}}});
    say("commands sent");
  } else if (scene == "user") {
    update(
        {{"sessionUpdate", "user_message_chunk"}, {"content", {{"type", "text"}, {"text", arg}}}});
    say("echoed");
  } else if (scene == "diff") {
    update({{"sessionUpdate", "tool_call"},
            {"toolCallId", "d1"},
            {"title", "Edit " + arg},
            {"kind", "edit"},
            {"status", "completed"},
            {"content",
             {{{"type", "diff"},
               {"path", arg},
               {"oldText", "alpha\nbeta\ngamma\n"},
               {"newText", "alpha\nBETA\ngamma\n"}}}}});
    update({{"sessionUpdate", "tool_call"},
            {"toolCallId", "d2"},
            {"title", "Create new.txt"},
            {"kind", "edit"},
            {"status", "completed"},
            {"content", {{{"type", "diff"}, {"path", "new.txt"}, {"newText", "fresh\n"}}}}});
  } else if (scene == "perm") {
    const Json reply =
        call("session/request_permission",
             {{"toolCall",
               {{"toolCallId", "p1"},
                {"title", "Run rm"},
                {"kind", "execute"},
                {"rawInput", {{"command", "rm -rf build\x1b]0;owned\x07"}}}}},
              {"options",
               {{{"optionId", "always"}, {"name", "Always allow"}, {"kind", "allow_always"}},
                {{"optionId", "no"}, {"name", "Reject"}, {"kind", "reject_once"}},
                {{"optionId", "never"}, {"name", "Never"}, {"kind", "reject_always"}},
                {{"optionId", "yes"}, {"name", "Allow"}, {"kind", "allow_once"}}}}});
    const Json outcome = reply["result"]["outcome"];
    const std::string said =
        "permission: " + outcome.value("outcome", "") + " " + outcome.value("optionId", "");
    // On the tool call as well: a client drops the answer of a turn it has cancelled.
    update({{"sessionUpdate", "tool_call_update"},
            {"toolCallId", "p1"},
            {"status", cancelled ? "failed" : "completed"},
            {"content", {{{"type", "content"}, {"content", {{"type", "text"}, {"text", said}}}}}}});
    say(said);
    if (cancelled) return "cancelled";
  } else if (scene == "read") {
    Json params = {{"path", w.size() > 1 ? w[1] : ""}};
    if (w.size() > 3) {
      params["line"] = std::stoll(w[2]);
      params["limit"] = std::stoll(w[3]);
    }
    say("read: " + answer_text(call("fs/read_text_file", params), "content"));
  } else if (scene == "write") {
    const Json reply = call("fs/write_text_file", {{"path", w.size() > 1 ? w[1] : ""},
                                                   {"content", rest_after_first(arg)}});
    say(reply.contains("error") ? answer_text(reply, "") : "written");
  } else if (scene == "term") {
    Json args = Json::array();
    for (std::size_t i = 2; i < w.size(); ++i) args.push_back(w[i]);
    const Json created =
        call("terminal/create", {{"command", w.size() > 1 ? w[1] : ""},
                                 {"args", args},
                                 {"env", {{{"name", "FAKE_VAR"}, {"value", "v42"}}}},
                                 {"outputByteLimit", 64}});
    if (created.contains("error")) {
      say(answer_text(created, ""));
    } else {
      const std::string id = created["result"]["terminalId"];
      update({{"sessionUpdate", "tool_call"},
              {"toolCallId", "c1"},
              {"title", "Run " + w[1]},
              {"kind", "execute"},
              {"status", "in_progress"},
              {"content", {{{"type", "terminal"}, {"terminalId", id}}}}});
      const Json exit = call("terminal/wait_for_exit", {{"terminalId", id}});
      const Json out = call("terminal/output", {{"terminalId", id}});
      update(
          {{"sessionUpdate", "tool_call_update"}, {"toolCallId", "c1"}, {"status", "completed"}});
      call("terminal/release", {{"terminalId", id}});
      const Json after = call("terminal/output", {{"terminalId", id}});
      say("exit: " + exit["result"].dump() + " output: " + out["result"].dump() +
          " after release: " + answer_text(after, "output"));
    }
  } else if (scene == "watch") {
    // `sh -c` with the rest of the prompt, shown while it runs, until the turn is cancelled.
    const Json created = call(
        "terminal/create", {{"command", "sh"}, {"args", {"-c", arg}}, {"outputByteLimit", 4096}});
    const std::string id = created["result"]["terminalId"];
    update({{"sessionUpdate", "tool_call"},
            {"toolCallId", "w1"},
            {"title", "Watch"},
            {"kind", "execute"},
            {"status", "in_progress"},
            {"content", {{{"type", "terminal"}, {"terminalId", id}}}}});
    while (!cancelled) {
      Json m = read_message();
      if (m.value("method", "") == "session/cancel") cancelled = true;
    }
    call("terminal/kill", {{"terminalId", id}});
    update({{"sessionUpdate", "tool_call_update"}, {"toolCallId", "w1"}, {"status", "failed"}});
    call("terminal/release", {{"terminalId", id}});
    return "cancelled";
  } else if (scene == "malformed") {
    std::fputs("this is not json\n{\"jsonrpc\":\"2.0\"}\n[[[[[[1]]]]]]\n", stdout);
    std::fflush(stdout);
    say("still here");
  } else if (scene == "unknown") {
    const Json reply = call("x/teleport", {{"where", "mars"}});
    say("unknown: " + std::to_string(reply["error"].value("code", 0)));
  } else if (scene == "crash") {
    std::fputs("fatal: the fake agent crashed on purpose\n", stderr);
    std::fflush(stderr);
    say("about to crash");
    std::_Exit(3);
  } else if (scene == "chores") {
    chores(w.size() > 1 ? w[1] : "notes.txt");
  } else if (scene == "edit" || scene == "edit-part") {
    const std::string new_line = w.size() > 2 ? w[2] : "";
    edit(w.size() > 1 ? w[1] : "", new_line, w.size() > 3 ? w[3] : new_line, scene == "edit-part");
  } else if (scene == "stop") {
    say("stopping");
    return arg;
  } else if (scene == "hang") {
    say("waiting");
    while (!cancelled) {
      Json m = read_message();
      if (m.value("method", "") == "session/cancel") cancelled = true;
    }
    say("words after the cancel");  // as agents do that finish their sentence
    return "cancelled";
  } else if (scene == "deaf") {
    say("not listening");
    for (;;) read_message();
  } else if (scene == "late") {
    send({{"jsonrpc", "2.0"}, {"id", prompt_id}, {"result", {{"stopReason", "end_turn"}}}});
    say("after the result");
    return "";
  } else if (scene == "burst") {
    const int n = std::stoi(arg);
    for (int i = 0; i < n; ++i) say("c" + std::to_string(i) + " ");
  } else if (scene == "lines") {
    const int n = std::stoi(arg);
    std::vector<long long> sent;
    sent.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      say((i % 14 == 0 ? "w" : " w") + std::to_string(i) +
          (i % 14 == 13 || i == n - 1 ? "\n" : ""));
      sent.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count());
    }
    if (!stamps_path.empty()) {
      std::ofstream out(stamps_path);
      for (const long long t : sent) out << t << '\n';
    }
  } else if (scene == "id-string") {
    const Json reply = call("fs/read_text_file", {{"path", "notes.txt"}}, Json("req-α"));
    say("string id: " + answer_text(reply, "content"));
  } else if (scene == "big") {
    say(std::string(std::stoull(arg), 'x'));
    say("after big");
  } else {
    say("unknown scene: " + scene);
  }
  return "end_turn";
}

}  // namespace

int main(int argc, char** argv) {
  int version = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--ignore-eof") ignore_eof = true;
    if (a == "--ignore-term") std::signal(SIGTERM, SIG_IGN);
    if (a == "--stderr" && i + 1 < argc) std::fprintf(stderr, "%s\n", argv[++i]);
    if (a == "--version" && i + 1 < argc) version = std::atoi(argv[++i]);
    if (a == "--stamps" && i + 1 < argc) stamps_path = argv[++i];
    if (a == "--renew-gate" && i + 1 < argc) renew_gate = argv[++i];
    if (a == "--hang-initialize-while" && i + 1 < argc) hang_file = argv[++i];
  }
  std::fflush(stderr);
  for (;;) {
    const Json m = read_message();
    const std::string method = m.value("method", "");
    if (!m.contains("id")) continue;  // notifications outside a turn
    const Json& id = m["id"];
    if (method == "initialize") {
      while (!hang_file.empty() && std::ifstream(hang_file)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      send({{"jsonrpc", "2.0"},
            {"id", id},
            {"result",
             {{"protocolVersion", version},
              {"agentCapabilities", {{"loadSession", false}}},
              {"agentInfo", {{"name", "fake-agent"}, {"version", "1.2.3"}}}}}});
    } else if (method == "session/new") {
      if (sessions_opened++ > 0 && !renew_gate.empty()) {
        while (::access(renew_gate.c_str(), F_OK) != 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::string word;
        std::ifstream(renew_gate) >> word;
        if (word == "refuse") {
          send({{"jsonrpc", "2.0"},
                {"id", id},
                {"error", {{"code", -32603}, {"message", "no more sessions"}}}});
          continue;
        }
      }
      session = "s-" + std::to_string(::getpid());
      send({{"jsonrpc", "2.0"}, {"id", id}, {"result", {{"sessionId", session}}}});
    } else if (method == "session/prompt") {
      cancelled = false;
      std::string text;
      for (const Json& block : m["params"]["prompt"]) text += block.value("text", "");
      const std::string reason = play(text, id);
      if (!reason.empty()) {
        send({{"jsonrpc", "2.0"}, {"id", id}, {"result", {{"stopReason", reason}}}});
      }
    } else {
      send({{"jsonrpc", "2.0"},
            {"id", id},
            {"error", {{"code", -32601}, {"message", "no " + method}}}});
    }
  }
}
