#include "host/agent/scripted_agent.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace host {

namespace {

constexpr int DEFAULT_CHUNK_CHARS = 24;
constexpr double DEFAULT_DELAY = 0.03;

// What the peek shows after a block of thinking: its last non-blank line.
std::string peek_of(std::string_view text) {
  const std::vector<std::string> lines = unicode::split_lines(text);
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    std::string stripped = unicode::strip(*it);
    if (!stripped.empty()) return stripped;
  }
  return {};
}

}  // namespace

std::vector<std::string_view> chunk_text(std::string_view text, int chars) {
  std::vector<std::string_view> out;
  const int per = chars < 1 ? 1 : chars;
  std::size_t start = 0;
  int count = 0;
  unicode::for_each_cp(text, [&](char32_t, std::size_t offset, std::size_t len) {
    if (++count == per) {
      out.push_back(text.substr(start, offset + len - start));
      start = offset + len;
      count = 0;
    }
  });
  if (start < text.size()) out.push_back(text.substr(start));
  return out;
}

ScriptedAgent::ScriptedAgent(zell::output::OutputManager& manager, std::vector<Step> steps,
                             AgentOptions options, std::shared_ptr<zell::output::Writer> out)
    : m_(manager), steps_(std::move(steps)), options_(options), out_(std::move(out)) {}

void ScriptedAgent::run() {
  play(steps_);
}

bool ScriptedAgent::play(const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    if (stopped()) break;
    step(s);
  }
  if (!stopped()) return true;
  m_.set_error("Interrupted");
  return false;
}

void ScriptedAgent::run_on_worker() {
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      run();
    } catch (...) {
      failure = std::current_exception();
    }
  });
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

bool ScriptedAgent::pause(double seconds) const {
  if (options_.speed <= 0 || seconds <= 0) return !stopped();
  const double scaled = seconds / options_.speed;
  if (options_.stop) return !options_.stop->wait_for(scaled);
  std::this_thread::sleep_for(std::chrono::duration<double>(scaled));
  return true;
}

void ScriptedAgent::step(const Step& s) {
  const nlohmann::json& a = s.args;
  auto str = [&](const char* key) { return a.value(key, std::string()); };
  auto chunk_chars = [&] { return a.value("chunk_chars", DEFAULT_CHUNK_CHARS); };
  auto delay = [&] { return a.value("delay", DEFAULT_DELAY); };
  const std::string& op = s.op;
  if (op == "start_thinking") {
    m_.start_thinking(a.value("reset", true));
  } else if (op == "feed_thinking") {
    m_.feed_thinking(str("chunk"));
  } else if (op == "set_thinking_peek") {
    m_.set_thinking_peek(str("text"));
  } else if (op == "thinking_done") {
    m_.thinking_done(str("full_text"));
  } else if (op == "set_stage") {
    m_.set_stage(str("stage"));
  } else if (op == "start_streaming") {
    m_.start_streaming();
  } else if (op == "stream") {
    m_.stream(str("chunk"));
  } else if (op == "log_tool") {
    last_index_ = m_.log_tool(str("name"), str("args"));
  } else if (op == "tool_result") {
    if (skip_next_result_) {
      skip_next_result_ = false;
      return;
    }
    m_.tool_result(str("result"), a.value("error", false), a.value("idx", last_index_));
  } else if (op == "print_info") {
    m_.print_info(str("text"));
  } else if (op == "set_error") {
    m_.set_error(str("msg"));
  } else if (op == "done") {
    m_.done();
  } else if (op == "user") {
    user(str("text"));
  } else if (op == "sleep") {
    (void)pause(a.value("seconds", 0.0));
  } else if (op == "think") {
    think(str("text"), chunk_chars(), delay());
  } else if (op == "say") {
    say(str("text"), chunk_chars(), delay());
  } else if (op == "approve") {
    approve(str("tool"), str("command"));
  }
}

void ScriptedAgent::user(std::string_view text) {
  const bool was_running = m_.indicator_running();
  if (was_running) m_._stop_indicator();
  out_->write("\n\x1b[1m❯\x1b[0m " + unicode::visible_controls(text) + "\n");
  out_->flush();
  if (was_running) m_._start_indicator();
}

void ScriptedAgent::think(std::string_view text, int chunk_chars, double delay) {
  const auto chunks = chunk_text(text, chunk_chars);
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    if (i > 0 && !pause(delay)) return;
    m_.feed_thinking(chunks[i]);
  }
  m_.set_thinking_peek(peek_of(text));
  m_.thinking_done(text);
}

void ScriptedAgent::say(std::string_view text, int chunk_chars, double delay) {
  const auto chunks = chunk_text(text, chunk_chars);
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    if (i > 0 && !pause(delay)) return;
    m_.stream(chunks[i]);
  }
}

void ScriptedAgent::approve(std::string_view tool, std::string_view command) {
  const zell::output::ApprovalCallback ask = m_.approval_callback();
  // No hook means nobody can approve: a destructive command does not run.
  const bool approved = ask && ask(tool, command);
  if (approved) return;
  m_.tool_result("Denied by user", true, last_index_);
  skip_next_result_ = true;
}

std::vector<ScriptTurn> split_turns(const std::vector<Step>& steps) {
  std::vector<ScriptTurn> turns;
  for (const Step& s : steps) {
    if (s.op == "user") {
      turns.push_back({s.args.value("text", std::string()), true, {}});
    } else {
      if (turns.empty()) turns.emplace_back();
      turns.back().steps.push_back(s);
    }
  }
  return turns;
}

std::vector<Step> demo_runtime_reply(std::string_view config_path) {
  const std::string answer =
      "This is the **demo runtime**: it plays a scripted turn and cannot answer prompts of "
      "its own.\n\nTo talk to a model, start a local model server and point `" +
      std::string(config_path) +
      "` at it:\n\n```toml\n[runtime]\nbackend = \"http\"\nbase_url = "
      "\"http://127.0.0.1:8080\"\n```\n\nThen start vellumine again.";
  const auto op = [](nlohmann::json args) {
    return Step{args.value("op", ""), std::move(args), 0};
  };
  return {
      op({{"op", "start_thinking"}}),
      op({{"op", "think"},
          {"text", "No model server is configured, so the demo runtime answers."},
          {"chunk_chars", 16},
          {"delay", 0.03}}),
      op({{"op", "say"}, {"text", answer}, {"chunk_chars", 8}, {"delay", 0.02}}),
      op({{"op", "done"}}),
  };
}

}  // namespace host
