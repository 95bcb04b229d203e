#pragma once
// Agent scripts: JSON Lines, one object per line, an "op" and its arguments. A script is
// checked whole before any of it runs, so a mistake on line 40 writes nothing at all.

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// A script that cannot run; what() names the source and line ("demo.jsonl:3: unknown op …").
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Step {
  std::string op;
  nlohmann::json args;  // the line's object; every argument present has been type-checked
  int line = 0;         // 1-based line number in the source
};

// Parses and checks a whole script. Blank lines are skipped. Throws ScriptError for the first
// line that is not a JSON object, lacks "op", names an unknown op, lacks a required argument,
// has an argument of the wrong type or range, or has an argument the op does not take.
[[nodiscard]] std::vector<Step> parse_script(std::string_view text, std::string_view source);

// The ops a script may use, in the order --help lists them.
[[nodiscard]] const std::vector<std::string>& script_ops();

// The script format and every op with its arguments, for --help.
[[nodiscard]] std::string script_help();

}  // namespace host
