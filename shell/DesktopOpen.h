#pragma once
// Hands a document or a web address to the desktop's default handler (a browser for an HTML
// file or an address). Everything the program opens this way goes through here, so tests can
// record the request instead of starting a browser.
#include <QString>

#include <functional>

namespace vantrel {

// Asks the desktop to open `target`: an absolute file path, or an address with a scheme. False
// when no program could be started for it; what the program then does with it is its own
// business.
bool desktopOpen(const QString& target);

// Replaces the handler; an empty function restores the desktop's.
void setDesktopOpener(std::function<bool(const QString&)> opener);

} // namespace vantrel
