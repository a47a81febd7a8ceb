// A second thread that does one job at a time for the thread that owns it.
// Where jobs are short and come often, as a segment's half does, each side
// looks at a flag for a while before it sleeps, so that handing a job over
// and waiting for it mostly takes no system call.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace vantorel {

class Worker {
 public:
  // Starts the thread (std::system_error where there is none to be had).
  Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;
  // Waits for a job still running, then ends the thread.
  ~Worker();

  // Runs job on the worker's thread; Wait() for it before the next.
  void Start(std::function<void()> job);
  // Waits for the job's end; what it threw is thrown here.
  void Wait();

 private:
  enum State { kIdle, kJob, kDone, kQuit };
  // Waits until state_ is one of the two.
  void AwaitState(State a, State b);
  void Set(State state);
  void Run();

  std::atomic<int> state_ = kIdle;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  std::exception_ptr error_;
  std::thread thread_;  // last: started once the rest is ready
};

}  // namespace vantorel
