// The working indicator's thread: start, stop, and the frame loop.
//
// The thread sleeps between frames on a condition variable rather than a plain sleep, so a stop
// wakes it at once, and a stop waits only for a frame in progress: it costs the rest of that
// frame, not the rest of the half second. Each started thread has its own stop/drawing/done
// record, so a thread still on its way out can never be mistaken for, or revived by, the next.

#include <unistd.h>

#include <algorithm>

#include "zell/output/indicator_frame.h"
#include "zell/output/output_manager.h"

namespace zell::output {

namespace {

constexpr auto STOP_WAIT = std::chrono::seconds(1);

}  // namespace

namespace {

// The indicator redraws one line in place: into a file or a pipe its frames would only be
// noise. Writers other than a descriptor (the full screen's, tests') always get frames.
bool draws_frames(const Writer& out) {
  const auto* fd_writer = dynamic_cast<const FdWriter*>(&out);
  return fd_writer == nullptr || ::isatty(fd_writer->fd()) == 1;
}

}  // namespace

void OutputManager::_start_indicator() {
  if (!draws_frames(*_ports.out)) return;
  std::vector<std::thread> ended;
  auto run = std::make_shared<IndicatorRun>();
  {
    const std::lock_guard guard(_indicator_mutex);
    if (_indicator_running.load()) return;
    _indicator_running.store(true);
    // The previous thread may still be on its way out (a stop does not wait for a thread
    // that is between frames): it is kept aside and joined once it has ended.
    if (_indicator_thread.joinable()) {
      _retired_threads.emplace_back(std::move(_indicator_thread), std::move(_indicator_run));
    }
    _indicator_run = run;
    auto first_ended = std::stable_partition(_retired_threads.begin(), _retired_threads.end(),
                                             [](const auto& entry) { return !entry.second->done; });
    for (auto it = first_ended; it != _retired_threads.end(); ++it) {
      ended.push_back(std::move(it->first));
    }
    _retired_threads.erase(first_ended, _retired_threads.end());
  }
  for (std::thread& t : ended) t.join();

  try {
    _indicator_thread = std::thread(&OutputManager::_run_indicator, this, run);
  } catch (const std::system_error&) {
    // Thread creation can fail transiently (EAGAIN): one more try, then the error is the
    // caller's, with the indicator marked stopped so that no later stop waits for a thread
    // that never ran.
    try {
      _indicator_thread = std::thread(&OutputManager::_run_indicator, this, run);
    } catch (...) {
      const std::lock_guard guard(_indicator_mutex);
      _indicator_running.store(false);
      run->stop = true;
      run->done = true;
      throw;
    }
  }
}

void OutputManager::_stop_indicator() {
  {
    std::unique_lock lock(_indicator_mutex);
    if (!_indicator_running.load()) return;
    _indicator_running.store(false);
    if (const std::shared_ptr<IndicatorRun> run = _indicator_run) {
      run->stop = true;
      _indicator_cv.notify_all();
      // Only a frame in progress is waited for. A thread between frames (asleep, or not yet
      // at its first frame) checks the stop flag under this lock before it draws again, so it
      // will write nothing more; it ends in its own time and is joined later.
      _indicator_cv.wait_for(lock, STOP_WAIT, [&] { return !run->drawing; });
    }
  }
  try {
    _write("\x1b[?25h");
    _write("\r\x1b[J");
    _flush();
  } catch (const OutputError&) {
    // Nobody is reading any more (broken pipe, I/O error): nothing left to erase.
  }
}

void OutputManager::_run_indicator(std::shared_ptr<IndicatorRun> run) {
  bool output_failed = false;
  long long tick = 0;
  for (;;) {
    {
      const std::lock_guard guard(_indicator_mutex);
      if (run->stop) break;
      run->drawing = true;
    }
    ++tick;
    bool other_failure = false;
    try {
      _draw_frame(tick);
    } catch (const OutputError&) {
      output_failed = true;
    } catch (const StreamClosed&) {
      output_failed = true;
    } catch (...) {
      // Any other error (the host's input field failed, say) ends the thread; the indicator
      // stays marked running until the next stop. It must not escape the thread: that would
      // end the process.
      other_failure = true;
    }
    {
      const std::lock_guard guard(_indicator_mutex);
      run->drawing = false;
    }
    _indicator_cv.notify_all();
    if (output_failed || other_failure) break;
    std::unique_lock lock(_indicator_mutex);
    if (_indicator_cv.wait_for(lock, _ports.frame_period, [&] { return run->stop; })) break;
  }
  {
    const std::lock_guard guard(_indicator_mutex);
    // An output error stops the indicator quietly, cursor left as it is; only the run that is
    // still current may clear the flag.
    if (output_failed && !run->stop) _indicator_running.store(false);
    run->done = true;
  }
  _indicator_cv.notify_all();
}

void OutputManager::_draw_frame(long long tick) {
  double start_time = 0.0;
  std::string stage;
  std::string status;
  std::shared_ptr<ports::InputField> field;
  {
    const std::lock_guard guard(_lock);
    start_time = state.start_time;
    stage = _custom_stage;
    status = _status_line;
    field = _input_field;
  }
  indicator::FrameInputs in;
  in.tick = tick;
  // Before any turn has started there is no time to count (the start is still the epoch).
  in.elapsed = start_time == 0.0 ? 0.0 : _ports.clock() - start_time;
  in.custom_stage = stage;
  std::string typed;
  if (field) {
    field->collect_typeahead();
    typed = field->get_typeahead_text();
    in.queued = field->_queue_size();
  }
  in.typed = typed;
  in.cols = _ports.cols();
  in.status_line = status;
  for (const std::string& w : indicator::frame_writes(in)) _write(w);
  _flush();
}

}  // namespace zell::output
