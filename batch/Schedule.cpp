#include "batch/Schedule.h"

#include "batch/WindowThread.h"
#include "batch/WorkerThreads.h"
#include "common/Dialogs.h"

#include <QEventLoop>
#include <QObject>

#include <deque>
#include <set>
#include <stdexcept>

namespace vantrel {

bool Schedule::run(int atOnce) {
    return atOnce == 1 ? oneAtATime() : severalAtOnce(atOnce);
}

bool Schedule::oneAtATime() {
    Sequence sequence(host_, in_, wait_, results_);
    // The count is read again at every turn: the user may add or remove entries meanwhile.
    for (int i = 0; i < host_.clientCount(); ++i) {
        if (!turn()) return false;
        if (i >= host_.clientCount() || !host_.clientTicked(i)) continue;
        const MachineOutcome outcome = sequence.run(i, host_.clientText(i));
        if (!outcome.carryOn) return false;
        if (outcome.logonFailed && !askGoOn_(outcome, i + 1)) {
            halted_ = true;
            return true;
        }
    }
    return true;
}

// Machines are handed to worker threads in list order, never more than atOnce in their
// sequence; the window's thread reads the list, hands each machine's calls to the window and
// waits in its event loop, so it stays responsive. A close, a halt or a fault starts no
// further machine, and the run ends once those in flight have finished.
bool Schedule::severalAtOnce(int atOnce) {
    QObject context; // the workers' calls and their ends arrive through it
    WorkerDialogs workerBoxes(&context);
    QEventLoop wake;
    std::set<int> inFlight;
    std::deque<MachineOutcome> finished;
    bool closing = false;
    std::string fault;

    // Takes in the machines that have ended; false when no further machine may start.
    auto settle = [&](int nextIndex) {
        while (!finished.empty()) {
            const MachineOutcome outcome = finished.front();
            finished.pop_front();
            if (!outcome.fault.empty() && fault.empty()) fault = outcome.fault;
            if (!outcome.carryOn) closing = true;
            if (outcome.logonFailed && fault.empty() && !closing && !halted_ && !askGoOn_(outcome, nextIndex))
                halted_ = true;
        }
        return fault.empty() && !closing && !halted_;
    };

    int next = 0;
    {
        // Declared after what its jobs use, so its threads have ended before that goes.
        WorkerThreads threads(atOnce);
        for (; next < host_.clientCount(); ++next) {
            if (!turn()) {
                closing = true;
                break;
            }
            if (next >= host_.clientCount() || !host_.clientTicked(next)) continue;
            while (inFlight.size() >= static_cast<std::size_t>(atOnce))
                wake.exec();
            if (!settle(next)) break;
            // The list may have changed while the slots were full.
            if (next >= host_.clientCount() || !host_.clientTicked(next)) continue;

            const int index = next;
            const std::string machine = host_.clientText(index);
            inFlight.insert(index);
            threads.run([&, index, machine] {
                setThreadDialogs(&workerBoxes);
                WorkerHost host(host_, &context);
                MachineOutcome outcome;
                try {
                    outcome = Sequence(host, in_, wait_, results_).run(index, machine);
                } catch (const std::exception& e) {
                    outcome.fault = e.what();
                } catch (...) {
                    outcome.fault = "Unknown error";
                }
                setThreadDialogs(nullptr);
                QMetaObject::invokeMethod(
                    &context,
                    [&, index, outcome] {
                        finished.push_back(outcome);
                        inFlight.erase(index);
                        wake.quit();
                    },
                    Qt::QueuedConnection);
            });
        }
        while (!inFlight.empty())
            wake.exec();
    }
    settle(next);
    if (!fault.empty()) throw std::runtime_error(fault);
    return !closing;
}

} // namespace vantrel
