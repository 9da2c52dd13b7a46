#pragma once
// Which machine's sequence runs when: the ticked entries of the client list in list order,
// one at a time on the window's thread, or up to N at once on worker threads. Every ticked
// entry ends with an outcome, also one that was never started.
#include "batch/Sequence.h"

#include <functional>
#include <optional>
#include <vector>

namespace vantrel {

class Schedule {
  public:
    // Asked on the window's thread after a machine whose restart failed on the new account's
    // logon, with the number of ticked machines not touched yet: true to go on with them.
    using LogonQuestion = std::function<bool(const MachineOutcome& outcome, int untouched)>;

    Schedule(BatchHost& host, const BatchInputs& in, bool wait, Results& results, LogonQuestion askGoOn)
        : host_(host), in_(in), wait_(wait), results_(results), askGoOn_(std::move(askGoOn)) {}

    // Runs the sequences of the ticked machines, `atOnce` at most at the same time; gives
    // their outcomes in the order they ended. Throws a worker's fault once every machine in
    // flight has finished.
    std::vector<MachineOutcome> run(int atOnce);

  private:
    class Gate;
    std::vector<MachineOutcome> oneAtATime(Gate& gate);
    std::vector<MachineOutcome> severalAtOnce(Gate& gate, int atOnce);
    // Takes in a machine that has ended; asks the question after a logon failure.
    void settle(Gate& gate, const MachineOutcome& outcome, int nextIndex, int inFlightUntouched);
    // A ticked entry that will not be started: its row and its outcome.
    MachineOutcome notTried(int index, const std::string& machine, const std::string& why);
    int tickedFrom(int index);
    // "Machine n of N" to the host; `inFlight` with several at once.
    void showPosition(int next, std::optional<int> inFlight);

    BatchHost& host_;
    const BatchInputs& in_;
    const bool wait_;
    Results& results_;
    LogonQuestion askGoOn_;
    std::vector<MachineOutcome> outcomes_;
    int started_ = 0;        // machines whose sequence began
    int taken_ = 0;          // ticked entries passed: started, or not tried
    int total_ = 0;          // N, as last counted
    int countedLength_ = -1; // the list's length when N was counted
};

// The machine an entry stands for (machineName), letter case folded.
// Entries with the same key never run their sequences at the same time.
std::string machineKey(const std::string& entry);

} // namespace vantrel
