#include "termui/timers.h"

#include <algorithm>

namespace termui {

void Timer::stop() {
  if (auto a = alive_.lock()) *a = false;
}

bool Timer::active() const {
  const auto a = alive_.lock();
  return a && *a;
}

Timer Timers::add(Clock::time_point due, Clock::duration interval, std::function<void()> callback) {
  auto alive = std::make_shared<bool>(true);
  Timer handle(alive);
  entries_.push_back(Entry{due, interval, std::move(callback), std::move(alive)});
  return handle;
}

void Timers::run_due(Clock::time_point now) {
  // Callbacks may add timers, so walk by index over the entries present at the start.
  const std::size_t count = entries_.size();
  for (std::size_t i = 0; i < count && i < entries_.size(); ++i) {
    if (!*entries_[i].alive || entries_[i].due > now) continue;
    auto callback = entries_[i].callback;  // the callback may grow entries_
    auto alive = entries_[i].alive;
    if (entries_[i].interval.count() > 0) {
      auto& e = entries_[i];
      while (e.due <= now) e.due += e.interval;
    } else {
      *alive = false;
    }
    callback();
  }
  std::erase_if(entries_, [](const Entry& e) { return !*e.alive; });
}

std::optional<Timers::Clock::time_point> Timers::next_due() const {
  std::optional<Clock::time_point> best;
  for (const auto& e : entries_) {
    if (*e.alive && (!best || e.due < *best)) best = e.due;
  }
  return best;
}

}  // namespace termui
