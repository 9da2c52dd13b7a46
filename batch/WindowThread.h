#pragma once
// Handing calls between the window's thread and the run's other threads. Windows, boxes and
// the message pane live on the window's thread only; a worker hands each of its calls over
// and waits for the answer, or, for a line or a highlight that only shows, does not wait. Slow single calls
// go the other way: off the window's thread while it keeps turning.
#include "batch/BatchRun.h"
#include "common/Dialogs.h"

#include <QEventLoop>
#include <QObject>

#include <atomic>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>

namespace vantrel {

// Hands `call` to the thread of `windowObject` without waiting: for what only shows something.
// Calls handed over from one thread run in the order they were handed. Worker threads only.
template <class F> void toWindowThread(QObject* windowObject, F&& call) {
    QMetaObject::invokeMethod(windowObject, std::forward<F>(call), Qt::QueuedConnection);
}

// Runs `call` on the thread of `windowObject` and waits for it. Worker threads only.
template <class F> auto onWindowThread(QObject* windowObject, F&& call) {
    using R = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(
            windowObject, [&] { call(); }, Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(
            windowObject, [&] { result = call(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

// Runs `call` on a thread of its own while the window's thread keeps turning, and gives its
// result: for single slow calls (a domain controller that does not answer for seconds).
template <class F> auto offWindowThread(F&& call) {
    using R = std::invoke_result_t<F&>;
    R result{};
    std::exception_ptr fault;
    bool done = false;
    QObject context;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            result = call();
        } catch (...) {
            fault = std::current_exception();
        }
        QMetaObject::invokeMethod(
            &context,
            [&] {
                done = true;
                loop.quit();
            },
            Qt::QueuedConnection);
    });
    while (!done)
        loop.exec();
    worker.join();
    if (fault) std::rethrow_exception(fault);
    return result;
}

// The window's host as a worker thread sees it: every question and every line is handed to
// the window's thread and waited for, so the controls are only touched there and each
// machine's lines keep their order. Osprel is started and waited for on the worker itself.
class WorkerHost : public BatchHost {
  public:
    // `stopSeen`, when given, answers stopRequestedWhileWaiting() without going to the
    // window's thread, which keeps it current.
    WorkerHost(BatchHost& window, QObject* windowObject, const std::atomic<bool>* stopSeen = nullptr)
        : w_(window), o_(windowObject), stopSeen_(stopSeen) {}

    BatchInputs inputs() override;
    bool waitForService() override;
    int machinesAtOnce() override;
    int clientCount() override;
    bool clientTicked(int index) override;
    std::string clientText(int index) override;
    void highlightClient(int index, const std::string& machine) override;
    bool grantLogonRight() override;
    bool useDirectory() override;
    bool stopAndRestart() override;
    void showLine(const std::string& line) override;
    void progressLine(const std::string& line) override;
    void yield() override {} // the window's thread keeps turning by itself
    void beginBusy(const std::string& text) override;
    void endBusy() override;
    OsprelEnd grantWithOsprel(const std::string& machine, const std::string& account) override;
    bool stopRequested() override;
    bool stopRequestedWhileWaiting() override;

  private:
    BatchHost& w_;
    QObject* o_;
    const std::atomic<bool>* stopSeen_;
};

// The boxes of worker threads (a service procedure's, Osprel's start failure), shown by the
// window's thread one at a time, never stacked: a worker asks and waits; the window's thread
// shows what was asked when it is not inside another box (serve).
class WorkerDialogs : public Dialogs {
  public:
    // `wake` is called on the asking worker's thread, to make the window's thread serve.
    explicit WorkerDialogs(std::function<void()> wake) : wake_(std::move(wake)) {}

    Answer message(Icon icon, const std::string& title, const std::string& text, Buttons buttons) override;
    std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                     const std::string& defaultValue) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& folder,
                                        const std::string& fileName, const std::string& filter) override;
    std::optional<int> number(const std::string& prompt, const std::string& title, int value, int minimum,
                              int maximum) override;

    // On the window's thread: shows the boxes asked for, oldest first, each after the last
    // has been answered.
    void serve();
    bool waiting() const;

  private:
    template <class F> auto ask(F&& show) {
        using R = std::invoke_result_t<F&>;
        std::promise<R> answer;
        std::future<R> future = answer.get_future();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_.push_back([&] {
                try {
                    answer.set_value(show());
                } catch (...) {
                    answer.set_exception(std::current_exception());
                }
            });
        }
        wake_();
        return future.get();
    }

    std::function<void()> wake_;
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> waiting_;
};

} // namespace vantrel
