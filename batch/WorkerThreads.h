#pragma once
// At most N threads for N machines at once, each kept for the next machine instead of a
// thread per machine: a thousand machines start a handful of threads, not a thousand.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QThread;

namespace vantrel {

class WorkerThreads {
  public:
    explicit WorkerThreads(int most);
    // Waits for the jobs handed in to finish, then ends the threads.
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Runs `job` on an idle thread; a new thread is started only while none is idle and fewer
    // than `most` exist. With all busy the job waits for the first one free.
    void run(std::function<void()> job);
    int threadCount() const;

  private:
    void work();

    const int most_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    int idle_ = 0;
    bool ending_ = false;
    // QThreads rather than bare threads: Osprel's QProcess wants the thread's event dispatcher.
    std::vector<std::unique_ptr<QThread>> threads_;
};

} // namespace vantrel
