#include "host/tui/prompt_history.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <system_error>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace host::tui {
namespace {

bool is_text(std::string_view s) {
  return unicode::sanitize(s) == s;
}

}  // namespace

PromptHistory::PromptHistory(std::filesystem::path path) : path_(std::move(path)) {
  std::ifstream in(*path_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    if (!j.is_string()) continue;
    std::string prompt = j.get<std::string>();
    if (!is_text(prompt) || unicode::is_blank(prompt)) continue;
    entries_.push_back(std::move(prompt));
  }
  if (entries_.size() > LIMIT) {
    entries_.erase(entries_.begin(), entries_.end() - static_cast<std::ptrdiff_t>(LIMIT));
  }
}

std::optional<std::filesystem::path> PromptHistory::default_path() {
  const std::filesystem::path name = std::filesystem::path("vellumine") / "history";
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') return std::filesystem::path(state) / name;
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return std::filesystem::path(home) / ".local" / "state" / name;
  return std::nullopt;
}

bool PromptHistory::add(std::string_view prompt) {
  if (unicode::is_blank(prompt) || !is_text(prompt)) return true;
  if (entries_.empty() || entries_.back() != prompt) entries_.emplace_back(prompt);
  if (entries_.size() > LIMIT) entries_.erase(entries_.begin());
  return save();
}

std::vector<std::string> PromptHistory::search(std::string_view query, std::size_t limit) const {
  std::vector<std::string> found;
  for (auto it = entries_.rbegin(); it != entries_.rend() && found.size() < limit; ++it) {
    if (it->find(query) == std::string::npos) continue;
    if (std::find(found.begin(), found.end(), *it) != found.end()) continue;
    found.push_back(*it);
  }
  return found;
}

bool PromptHistory::save() const {
  if (!path_) return true;
  std::error_code ec;
  std::filesystem::create_directories(path_->parent_path(), ec);
  std::filesystem::path temp = *path_;
  temp += ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    for (const std::string& e : entries_) out << nlohmann::json(e).dump() << '\n';
    out.flush();
    if (!out) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, *path_, ec);
  if (ec) std::filesystem::remove(temp, ec);
  return !ec;
}

}  // namespace host::tui
