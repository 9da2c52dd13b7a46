#pragma once
// The main window as the program opens it, for tests that drive its commands.
#include "shell/frmMain.h"

#include <memory>

namespace simtest {

// A new main window, loaded and shown; a test waits for it to be exposed before clicking.
inline std::unique_ptr<frmMain> openMainWindow() {
    auto w = std::make_unique<frmMain>();
    w->Form_Load();
    w->show();
    return w;
}

} // namespace simtest
