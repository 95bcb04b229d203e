#pragma once
// The files a "@" mention completes from, listed on a thread of their own so that listing a
// huge tree never holds up a key. The first ask starts a listing, and there is no list until it
// is done. Once the files may have changed (`stale`), the next ask lists them again, and the
// last list serves until the new one is done. `done` is called on the listing thread whenever
// a list is ready: the owner wakes the UI thread with it.

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "host/tui/prompt_files.h"

namespace host::tui {

class FileLister {
 public:
  FileLister(std::filesystem::path root, std::function<void()> done);
  ~FileLister() { stop(); }
  FileLister(const FileLister&) = delete;
  FileLister& operator=(const FileLister&) = delete;

  // UI thread: the last list made, null before the first is done. Starts a listing when there
  // is no list yet or it is stale, unless one is under way.
  [[nodiscard]] const FileIndex* files();
  // A listing is under way.
  [[nodiscard]] bool listing() const;
  // UI thread: the files may have changed since the last listing began.
  void stale() { stale_ = true; }
  // Ends a listing under way (its list is dropped) and lists no more. Safe to call again.
  void stop();

 private:
  void start();

  std::filesystem::path root_;
  std::function<void()> done_;
  // The UI thread's.
  std::optional<FileIndex> index_;
  bool stale_ = false;
  bool stopped_ = false;
  std::unique_ptr<ScanStop> scan_stop_;  // the running listing's
  std::thread thread_;
  // Shared with the listing thread.
  mutable std::mutex mutex_;
  std::optional<FileIndex> made_;  // a finished list not yet taken
  bool running_ = false;
};

}  // namespace host::tui
