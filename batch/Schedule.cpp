#include "batch/Schedule.h"

#include "batch/WindowThread.h"
#include "batch/WorkerThreads.h"
#include "common/Dialogs.h"
#include "common/Names.h"

#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

namespace vantrel {

namespace {
// How often the window's thread looks for a stop on behalf of the waiting workers.
constexpr int StopWatchMs = 20;
} // namespace

std::string machineKey(const std::string& entry) {
    return QString::fromStdString(machineName(entry)).toCaseFolded().toStdString();
}

// Where every sequence stops before its change: a stop, or the halt after a logon failure.
// Between the failure and the answer to the question the machines that get there wait.
class Schedule::Gate : public ChangeGate {
  public:
    std::optional<std::string> holdBack(BatchHost& host, int index) override {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                answered_.wait(lock, [this] { return halt_ != Halt::Asking; });
                // A machine held back counts as untouched until it ends.
                if (halt_ == Halt::Stopped) return std::string(HaltedText);
            }
            // Asked without the lock: the window's thread answers it and may want the lock.
            if (host.stopRequested()) return std::string(RunStoppedText);
            std::lock_guard<std::mutex> lock(mutex_);
            if (halt_ != Halt::Asking) { // else a failure came meanwhile: wait for its answer
                if (halt_ == Halt::Stopped) return std::string(HaltedText);
                beforeChange_.erase(index);
                return std::nullopt;
            }
        }
    }
    void logonFailed() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (halt_ == Halt::None) halt_ = Halt::Asking;
    }

    // The window's thread's side.
    void started(int index) {
        std::lock_guard<std::mutex> lock(mutex_);
        beforeChange_.insert(index);
    }
    void ended(int index) {
        std::lock_guard<std::mutex> lock(mutex_);
        beforeChange_.erase(index);
    }
    int inFlightBeforeChange() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(beforeChange_.size());
    }
    bool asking() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return halt_ == Halt::Asking;
    }
    bool halted() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return halt_ == Halt::Stopped;
    }
    // nullopt: there was nobody left to ask about, so a later failure may ask.
    void answer(std::optional<bool> goOn) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            halt_ = !goOn ? Halt::None : *goOn ? Halt::GoneOn : Halt::Stopped;
        }
        answered_.notify_all();
    }

  private:
    enum class Halt { None, Asking, GoneOn, Stopped };
    mutable std::mutex mutex_;
    std::condition_variable answered_;
    Halt halt_ = Halt::None;
    std::set<int> beforeChange_; // machines in flight that have not reached their change
};

std::vector<MachineOutcome> Schedule::run(int atOnce) {
    Gate gate;
    outcomes_.clear();
    started_ = taken_ = total_ = 0;
    countedLength_ = -1;
    return atOnce == 1 ? oneAtATime(gate) : severalAtOnce(gate, atOnce);
}

void Schedule::settle(Gate& gate, const MachineOutcome& outcome, int nextIndex, int inFlightUntouched) {
    outcomes_.push_back(outcome);
    if (!outcome.logonFailed || !gate.asking()) return;
    const int untouched = tickedFrom(nextIndex) + inFlightUntouched;
    gate.answer(untouched == 0 ? std::nullopt : std::optional<bool>(askGoOn_(outcome, untouched)));
}

MachineOutcome Schedule::notTried(int index, const std::string& machine, const std::string& why) {
    MachineOutcome outcome;
    outcome.index = index;
    outcome.machine = machine;
    outcome.notTried = why;
    ++taken_;
    results_.write(notTriedRow(machine, why));
    return outcome;
}

int Schedule::tickedFrom(int index) {
    int count = 0;
    for (int i = index; i < host_.clientCount(); ++i)
        if (host_.clientTicked(i)) ++count;
    return count;
}

// N is what was passed plus the entries ticked from `next` on. Those are counted again only
// when the list's length has changed: a count at every machine would walk the whole list each
// time. A tick changed during the run therefore shows in N once the list's length changes.
void Schedule::showPosition(int next, std::optional<int> inFlight) {
    const int length = host_.clientCount();
    if (length != countedLength_) {
        countedLength_ = length;
        total_ = taken_ + tickedFrom(next);
    }
    const int total = std::max(total_, taken_);
    std::string text = "Machine " + std::to_string(started_) + " of " + std::to_string(total);
    if (inFlight) text += ", " + std::to_string(*inFlight) + " in flight";
    host_.runPosition(text, started_, total);
}

std::vector<MachineOutcome> Schedule::oneAtATime(Gate& gate) {
    // The count is read again at every turn: the user may add or remove entries meanwhile.
    for (int i = 0; i < host_.clientCount(); ++i) {
        host_.yield();
        if (i >= host_.clientCount() || !host_.clientTicked(i)) continue;
        const std::string machine = host_.clientText(i);
        if (gate.halted() || host_.stopRequested()) {
            outcomes_.push_back(notTried(i, machine, gate.halted() ? HaltedText : RunStoppedText));
            continue;
        }
        ++started_;
        ++taken_;
        showPosition(i + 1, std::nullopt);
        settle(gate, Sequence(host_, in_, wait_, results_, gate, false).run(i, machine), i + 1, 0);
    }
    return std::move(outcomes_);
}

// Machines are handed to worker threads in list order. Until one has been updated and runs
// again with the new account, only one is in flight: a fault that strikes every machine (an
// account that cannot log on as a service) then costs one machine, as one at a time does.
// From there the run widens by one for each machine that works, up to N: a fault that spares
// the first machine alone (the one that already held the right) costs a few, not a wave.
// The window's thread reads the list, hands each machine's calls and boxes to the window and
// waits in its event loop, so it stays responsive. A stop, a halt or a fault starts no
// further machine, and the run ends once those in flight have finished.
std::vector<MachineOutcome> Schedule::severalAtOnce(Gate& gate, int atOnce) {
    QObject context; // the workers' calls and their ends arrive through it
    QEventLoop wake;
    WorkerDialogs workerBoxes([&] {
        QMetaObject::invokeMethod(
            &context, [&] { wake.quit(); }, Qt::QueuedConnection);
    });
    std::map<int, std::string> inFlight; // index -> machineKey
    std::deque<MachineOutcome> finished;
    std::string fault;
    // How many may be in flight now.
    int width = in_.action != "update" ? atOnce : 1;

    auto slotFor = [&](const std::string& key) {
        if (inFlight.size() >= static_cast<std::size_t>(width)) return false;
        for (const auto& [index, running] : inFlight)
            if (running == key) return false;
        return true;
    };
    // Shows the boxes asked for and takes in the machines that have ended; waits for either
    // first when there is neither.
    auto pump = [&](int nextIndex) {
        if (finished.empty() && !workerBoxes.waiting()) wake.exec();
        workerBoxes.serve();
        const bool ended = !finished.empty();
        while (!finished.empty()) {
            const MachineOutcome outcome = finished.front();
            finished.pop_front();
            inFlight.erase(outcome.index);
            gate.ended(outcome.index);
            if (!outcome.fault.empty() && fault.empty()) fault = outcome.fault;
            if (outcome.proved) width = std::min(width + 1, atOnce);
            settle(gate, outcome, nextIndex, gate.inFlightBeforeChange());
        }
        if (ended) showPosition(nextIndex, static_cast<int>(inFlight.size()));
        // A fault may have cut short the machine that raised the halt: nobody will ask, and the
        // machines it holds must not wait for ever.
        if (!fault.empty() && gate.asking()) gate.answer(false);
    };
    auto stopReason = [&]() -> const char* {
        if (gate.halted()) return HaltedText;
        if (host_.stopRequested()) return RunStoppedText;
        return nullptr;
    };

    // Waiting workers ask whether to stop many times a second; the window's thread looks for
    // them, so that dozens of waits do not each queue a question on it and wait for its turn.
    std::atomic<bool> stopSeen{false};
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, [&] {
        if (host_.stopRequested()) stopSeen = true;
    });
    stopWatch.start(StopWatchMs);
    {
        // Declared after what its jobs use, so its threads have ended before that goes.
        WorkerThreads threads(atOnce);
        for (int next = 0; next < host_.clientCount() && fault.empty(); ++next) {
            host_.yield();
            std::string machine;
            bool ticked = false;
            // Waits for a free slot and for an earlier entry of the same machine to finish;
            // the list may change meanwhile.
            while (fault.empty()) {
                ticked = next < host_.clientCount() && host_.clientTicked(next);
                if (!ticked) break;
                machine = host_.clientText(next);
                if (stopReason() || (!gate.asking() && slotFor(machineKey(machine)))) break;
                pump(next);
            }
            if (!ticked || !fault.empty()) continue;
            if (const char* why = stopReason()) {
                outcomes_.push_back(notTried(next, machine, why));
                continue;
            }

            const int index = next;
            inFlight.emplace(index, machineKey(machine));
            gate.started(index);
            ++started_;
            ++taken_;
            showPosition(index + 1, static_cast<int>(inFlight.size()));
            threads.run([&, index, machine] {
                setThreadDialogs(&workerBoxes);
                WorkerHost host(host_, &context, &stopSeen);
                MachineOutcome outcome;
                try {
                    outcome = Sequence(host, in_, wait_, results_, gate, true).run(index, machine);
                } catch (const std::exception& e) {
                    outcome.fault = e.what();
                } catch (...) {
                    outcome.fault = "Unknown error";
                }
                outcome.index = index;
                outcome.machine = machine;
                setThreadDialogs(nullptr);
                QMetaObject::invokeMethod(
                    &context,
                    [&, outcome] {
                        finished.push_back(outcome);
                        wake.quit();
                    },
                    Qt::QueuedConnection);
            });
        }
        while (!inFlight.empty())
            pump(host_.clientCount());
    }
    if (!fault.empty()) throw std::runtime_error(fault);
    return std::move(outcomes_);
}

} // namespace vantrel
