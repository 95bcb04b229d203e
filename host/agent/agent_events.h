#pragma once
// The agent events as typed records: each event's payload decoded once, where it arrives, so
// that everything downstream takes a `TypedEvent` and `std::visit` checks that every kind is
// handled. Agents that do not speak through the output manager may build these directly.

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "zell/overloaded.h"
#include "zell/payload.h"

namespace host::events {

struct ThinkingStart {
  bool reset = true;
};
// `tokens` in a chunk: the turn's running token estimate after it, as the source counted it;
// -1 when the source did not say.
struct ThinkingChunk {
  std::string chunk;
  long long tokens = -1;
};
struct ThinkingPeek {
  std::string text;
};
struct ThinkingDone {
  std::string text;
};
struct Stage {
  std::string stage;
};
struct StreamStart {};
// A piece of the answer, whole: the manager never sends a piece longer than an event carries.
struct Content {
  std::string chunk;
  long long tokens = -1;
};
struct ToolStart {
  std::string name;
  std::string args;
  int index = -1;
};
struct ToolResult {
  bool error = false;
  int index = -1;
  std::string result;
  std::string name;
  std::string args;
};
struct Done {};
struct Error {
  std::string message;
};
// A notice for the user ("the answer was cut at the length limit").
struct Info {
  std::string text;
};

// The user's own words, as the agent reports them.
struct UserMessage {
  std::string text;
};
// Something went wrong that does not end the turn (the agent sent an unreadable message).
struct Problem {
  std::string message;
};

// A tool call as it stands now, sent again each time it changes (its status, its output so
// far): the transcript draws it once and then in place. `first` marks its first showing.
struct ToolCall {
  std::string id;
  std::string name;
  std::string args;
  std::string status;  // pending, in_progress, completed, failed
  std::string result;
  bool error = false;
  bool first = false;
};
// The agent's plan as it stands now, drawn in place of the last one.
struct PlanEntry {
  std::string content;
  std::string status;
  std::string priority;
};
struct Plan {
  std::vector<PlanEntry> entries;
};

// A plan's entries in one payload value (one line each, tab-separated; tabs and line breaks in
// the content become spaces), and back.
[[nodiscard]] std::string encode_plan(const std::vector<PlanEntry>& entries);
[[nodiscard]] std::vector<PlanEntry> decode_plan(std::string_view text);

using TypedEvent = std::variant<ThinkingStart, ThinkingChunk, ThinkingPeek, ThinkingDone, Stage,
                                StreamStart, Content, ToolStart, ToolResult, Done, Error, Info,
                                UserMessage, Problem, ToolCall, Plan>;

// The typed form of an agent event; nullopt for a type outside the vocabulary. Missing keys
// take the record's defaults; numbers that do not parse do too.
[[nodiscard]] std::optional<TypedEvent> decode(std::string_view type, const zell::Payload& payload);

// For `std::visit` with one lambda per kind.
using zell::Overloaded;

}  // namespace host::events
