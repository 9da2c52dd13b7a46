#pragma once
// The dialog seam's real boxes: Qt message, input and file-open dialogs over the active window.
#include "common/Dialogs.h"

namespace vantrel {

class QtDialogs : public Dialogs {
  public:
    Answer message(Icon icon, const std::string& title, const std::string& text, Buttons buttons) override;
    std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                     const std::string& defaultValue) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& folder,
                                        const std::string& fileName, const std::string& filter) override;
};

// Turns a filter written as "Description|pattern|Description|pattern" into Qt's
// "Description (pattern);;Description (pattern)"; a filter without '|' is kept as it is.
std::string qtFileFilter(const std::string& filter);

} // namespace vantrel
