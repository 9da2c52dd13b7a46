#pragma once
// The dialog seam's real boxes: Qt message, input and file-open dialogs over the active window.
#include "common/Dialogs.h"

#include <string>

namespace vantrel {

class QtDialogs : public Dialogs {
  public:
    Answer message(Icon icon, const std::string& title, const std::string& text, Buttons buttons) override;
    std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                     const std::string& defaultValue) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& folder,
                                        const std::string& fileName, const std::string& filter) override;
    std::optional<int> number(const std::string& prompt, const std::string& title, int value, int minimum,
                              int maximum) override;
};

// Turns a filter written as "Description|pattern|Description|pattern" into Qt's
// "Description (pattern);;Description (pattern)"; a filter without '|' is kept as it is.
// "*.*" becomes "*", so that names without a dot are shown too.
std::string qtFileFilter(const std::string& filter);

// What the Qt open dialog is given for a folder, an initial file name and a filter in either
// form. A file name with wildcards is not put in the name box: it becomes the selected filter.
struct QtOpenFileSetup {
    std::string start;          // the folder, or the folder and the initial file name
    std::string filter;         // Qt's form
    std::string selectedFilter; // empty: the first entry
};
QtOpenFileSetup qtOpenFileSetup(const std::string& folder, const std::string& fileName,
                                const std::string& filter);

} // namespace vantrel
