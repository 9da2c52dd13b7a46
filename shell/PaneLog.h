#pragma once
// The pane lines of a window command other than the batch run (the registry page's run, the
// message run), shown and kept in a run log of their own. The file is made at the command's
// first line, so a command that says nothing leaves none.
#include "batch/RunLog.h"

#include <QString>

#include <optional>

class frmMain;

namespace vantrel {

class PaneLog {
  public:
    explicit PaneLog(frmMain& w) : w_(w) {}
    // Into the log, then into the pane.
    void line(const QString& text);
    // The command's last line: where its log is, when it has one.
    void finish();

  private:
    frmMain& w_;
    std::optional<RunLog> log_;
    bool failed_ = false; // the log could not be made: said once, not tried again
};

} // namespace vantrel
