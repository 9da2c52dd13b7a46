#include "shell/PaneLog.h"

#include "shell/frmMain.h"

#include <exception>

namespace vantrel {

void PaneLog::line(const QString& text) {
    if (!log_ && !failed_) {
        try {
            log_.emplace(defaultLogTarget());
        } catch (const std::exception& e) {
            failed_ = true;
            w_.SetMsg(QString::fromStdString(e.what()));
        }
    }
    if (log_) log_->line(text.toStdString());
    w_.SetMsg(text);
}

void PaneLog::finish() {
    if (!log_) return;
    line(QStringLiteral("Run log --> ") + QString::fromStdString(log_->path()));
    if (const std::string error = log_->error(); !error.empty())
        w_.SetMsg(QStringLiteral("The run log %1 is incomplete: %2")
                      .arg(QString::fromStdString(log_->path()), QString::fromStdString(error)));
    log_.reset();
}

} // namespace vantrel
