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

    void message(const QString& text) const {
        if (setMessage) setMessage(text);
    }
    bool turn() const { return yield ? yield() : true; }
};

} // namespace vantrel
