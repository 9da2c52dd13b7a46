#pragma once
// Which machine's sequence runs when: the ticked entries of the client list in list order,
// one at a time on the window's thread, or up to N at once on worker threads.
#include "batch/Sequence.h"

#include <functional>

namespace vantrel {

class Schedule {
  public:
    // Asked on the window's thread after a machine whose restart failed on the new account's
    // logon, with the index of the next entry: true to go on, false to stop the run there.
    using LogonQuestion = std::function<bool(const MachineOutcome& outcome, int nextIndex)>;

    Schedule(BatchHost& host, const BatchInputs& in, bool wait, Results& results, LogonQuestion askGoOn)
        : host_(host), in_(in), wait_(wait), results_(results), askGoOn_(std::move(askGoOn)) {}

    // Runs the sequences of the ticked machines, `atOnce` at most at the same time. Returns
    // false when the run has to stop (the window is closing); throws a worker's fault once
    // every machine in flight has finished.
    bool run(int atOnce);
    bool halted() const { return halted_; }

  private:
    bool oneAtATime();
    bool severalAtOnce(int atOnce);
    bool turn() {
        host_.yield();
        return !host_.stopRequested();
    }

    BatchHost& host_;
    const BatchInputs& in_;
    const bool wait_;
    Results& results_;
    LogonQuestion askGoOn_;
    bool halted_ = false;
};

} // namespace vantrel
