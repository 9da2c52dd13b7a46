#include "batch/WorkerThreads.h"

#include <QThread>

namespace vantrel {

WorkerThreads::WorkerThreads(int most) : most_(most < 1 ? 1 : most) {}

WorkerThreads::~WorkerThreads() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_)
        t->wait();
}

void WorkerThreads::run(std::function<void()> job) {
    bool startOne = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
        startOne = idle_ < static_cast<int>(jobs_.size()) && static_cast<int>(threads_.size()) < most_;
    }
    if (startOne) {
        threads_.emplace_back(QThread::create([this] { work(); }));
        threads_.back()->start();
    } else {
        wake_.notify_one();
    }
}

int WorkerThreads::threadCount() const {
    return static_cast<int>(threads_.size());
}

void WorkerThreads::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
        --idle_;
        // Jobs handed in before the end are still done.
        if (jobs_.empty()) return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

} // namespace vantrel
