#include "host/agent/demo_script.h"

namespace host {

std::string_view demo_script() {
  static constexpr std::string_view script = R"jsonl(
{"op": "user", "text": "parse_duration(\"90s\") returns 0 since yesterday. Can you find out why and fix it?"}
{"op": "sleep", "seconds": 0.4}
{"op": "start_thinking"}
{"op": "think", "text": "The user reports that parse_duration(\"90s\") returns 0. That smells like the unit suffix is not recognised, so the number is thrown away. I should find where parse_duration is defined and where the suffix table lives, then read the function.", "chunk_chars": 14, "delay": 0.05}
{"op": "set_stage", "stage": "searching"}
{"op": "sleep", "seconds": 0.6}
{"op": "log_tool", "name": "grep", "args": "-rn \"parse_duration\" src/ tests/"}
{"op": "sleep", "seconds": 0.9}
{"op": "tool_result", "result": "src/duration.c:18:long parse_duration(const char *text)\nsrc/duration.h:9:long parse_duration(const char *text);\nsrc/config.c:112:    cfg->timeout = parse_duration(value);\ntests/duration_test.c:21:    assert(parse_duration(\"90s\") == 90);\n"}
{"op": "start_thinking", "reset": false}
{"op": "set_stage", "stage": "reading"}
{"op": "log_tool", "name": "read_file", "args": "src/duration.c"}
{"op": "sleep", "seconds": 0.7}
{"op": "tool_result", "result": "#include \"duration.h\"\n#include <stdlib.h>\n#include <string.h>\n\nstatic const struct { char unit; long factor; } UNITS[] = {\n    {'s', 1}, {'m', 60}, {'h', 3600},\n};\n\nlong parse_duration(const char *text) {\n    char *end;\n    long n = strtol(text, &end, 10);\n    for (size_t i = 0; i <= sizeof UNITS / sizeof UNITS[0]; i++)\n        if (end[1] == UNITS[i].unit) return n * UNITS[i].factor;\n    return 0;\n}\n"}
{"op": "start_thinking", "reset": false}
{"op": "think", "text": "Found it: the loop compares end[1] instead of end[0], so the character after the unit is checked. It also runs one entry past the table with <=. Both need fixing.", "chunk_chars": 16, "delay": 0.04}
{"op": "set_stage", "stage": "editing"}
{"op": "log_tool", "name": "edit_file", "args": "src/duration.c"}
{"op": "sleep", "seconds": 0.5}
{"op": "tool_result", "result": "--- a/src/duration.c\n+++ b/src/duration.c\n@@ -12,6 +12,6 @@ long parse_duration(const char *text) {\n     char *end;\n     long n = strtol(text, &end, 10);\n-    for (size_t i = 0; i <= sizeof UNITS / sizeof UNITS[0]; i++)\n-        if (end[1] == UNITS[i].unit) return n * UNITS[i].factor;\n+    for (size_t i = 0; i < sizeof UNITS / sizeof UNITS[0]; i++)\n+        if (end[0] == UNITS[i].unit) return n * UNITS[i].factor;\n     return 0;\n }\n"}
{"op": "start_thinking", "reset": false}
{"op": "log_tool", "name": "bash", "args": "make test && rm -rf build/tmp"}
{"op": "approve", "tool": "bash", "command": "make test && rm -rf build/tmp"}
{"op": "sleep", "seconds": 1.2}
{"op": "tool_result", "result": "cc -O2 -Wall -c src/duration.c -o build/duration.o\ncc -O2 -Wall tests/duration_test.c build/duration.o -o build/duration_test\n./build/duration_test\nok 1 - parse_duration(\"90s\") == 90\nok 2 - parse_duration(\"2m\") == 120\nok 3 - parse_duration(\"1h\") == 3600\nok 4 - parse_duration(\"7\") == 0\n4 tests, 0 failures\n"}
{"op": "say", "text": "Found and fixed it. The suffix check in `parse_duration` looked at the wrong character:\n\n- it compared `end[1]` (the character **after** the unit) instead of `end[0]`;\n- the loop ran one entry past the end of `UNITS` because of `<=`.\n\nThe corrected loop:\n\n```c\nfor (size_t i = 0; i < sizeof UNITS / sizeof UNITS[0]; i++)\n    if (end[0] == UNITS[i].unit) return n * UNITS[i].factor;\n```\n\nAll four duration tests pass again. A plain number without a unit still returns 0, as before; say if it should mean seconds instead.", "chunk_chars": 6, "delay": 0.02}
{"op": "done"}
)jsonl";
  return script;
}

}  // namespace host
