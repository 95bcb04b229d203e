// Resident size of the application with a long transcript: the real chat screen at 120×40, on
// a headless pilot in this (fresh) process, gets the first N entries of a mixed transcript
// (bench/scrollback/make_entries.py), read one at a time so that the input never sits in
// memory whole, and paints a frame. Then VmRSS and VmHWM are read from /proc/self/status.
//
//   app_memory_bench <entries_file> <N>
//
// Prints `memory n=<N> rss_kb=<x> hwm_kb=<y> empty_rss_kb=<z> text_kb=<t>`, where empty_rss
// is the same process with the chat open and the transcript still empty.

#include <fmt/format.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/app/bench_app.h"
#include "termui/pilot.h"

namespace {

using namespace bench_app;

long status_kb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <entries_file> <N>\n", argv[0]);
    return 2;
  }
  const long wanted = std::atol(argv[2]);
  BenchApp app;
  termui::Pilot pilot(app, SCREEN);
  pilot.pause();
  const long empty_rss = status_kb("VmRSS");

  host::tui::ChatLog& log = app.chat_screen().log();
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  long count = 0;
  std::size_t text_bytes = 0;
  std::vector<Entry> one(1);
  std::string head;
  while (count < wanted && std::getline(in, head)) {
    std::istringstream fields(head);
    std::size_t length = 0;
    fields >> one[0].kind >> length;
    one[0].text.resize(length);
    in.read(one[0].text.data(), static_cast<std::streamsize>(length));
    in.ignore(1);  // the line feed after the text
    append_entries(log, one, 1);
    text_bytes += length;
    ++count;
  }
  one.clear();
  pilot.pause();
  fmt::print("memory n={} rss_kb={} hwm_kb={} empty_rss_kb={} text_kb={} history={}\n", count,
             status_kb("VmRSS"), status_kb("VmHWM"), empty_rss, text_bytes / 1024,
             log.history().size());
  return count == wanted ? 0 : 1;
}
