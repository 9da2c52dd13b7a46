#pragma once
// What a long list fill needs from the window that runs it: a place to show its current step
// and a turn of the event loop between steps. Kept as two callbacks so the fill procedures
// stay free of the window classes and can be driven directly by tests.
#include <QString>

#include <functional>

namespace vantrel {

struct FillProgress {
    // Replaces the progress window's text and lets pending events run.
    std::function<void(const QString&)> setMessage;
    // One turn of the event loop; returns false when the fill must stop (the window is closing).
    std::function<bool()> yield;
    // Loops over many entries give the event loop a turn every this many entries: a turn per
    // entry would cost more than the entry itself, and a few dozen entries still take well
    // under a millisecond, so the window stays as responsive.
    int itemsPerTurn = 32;

    void message(const QString& text) const {
        if (setMessage) setMessage(text);
    }
    bool turn() const { return yield ? yield() : true; }
    // Whether entry `index` of a loop (0, 1, ...) gets a real turn.
    bool turnDue(qsizetype index) const { return itemsPerTurn <= 1 || index % itemsPerTurn == 0; }
    // The turn of entry `index`. Nothing can ask the fill to stop between real turns, so the
    // other entries just go on.
    bool entryTurn(qsizetype index) const { return turnDue(index) ? turn() : true; }
};

} // namespace vantrel
