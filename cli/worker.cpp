#include "cli/worker.hpp"

#include <utility>

namespace vantorel {

namespace {
// How many times a side looks at the flag before it sleeps: about the time
// a segment's half takes to convert.
constexpr int kLooks = 1 << 18;
}  // namespace

Worker::Worker() : thread_([this] { Run(); }) {}

Worker::~Worker() {
  // A job still running (its owner left by a throw) ends first.
  if (state_ == kJob) AwaitState(kDone, kDone);
  Set(kQuit);
  thread_.join();
}

void Worker::Start(std::function<void()> job) {
  job_ = std::move(job);
  Set(kJob);
}

void Worker::Wait() {
  AwaitState(kDone, kDone);
  state_ = kIdle;
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void Worker::AwaitState(State a, State b) {
  const auto reached = [&] {
    const int now = state_.load(std::memory_order_acquire);
    return now == a || now == b;
  };
  for (int i = 0; i < kLooks; ++i) {
    if (reached()) return;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, reached);
}

void Worker::Set(State state) {
  {
    // Under the lock, so that a side about to sleep cannot miss it.
    const std::lock_guard lock(mutex_);
    state_.store(state, std::memory_order_release);
  }
  changed_.notify_all();
}

void Worker::Run() {
  for (;;) {
    AwaitState(kJob, kQuit);
    if (state_ == kQuit) return;
    try {
      job_();
    } catch (...) {
      error_ = std::current_exception();
    }
    Set(kDone);
  }
}

}  // namespace vantorel
