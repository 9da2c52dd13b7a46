#include "shell/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

namespace vantrel {

namespace {

QString fromUtf8(const std::string& s) {
    return QString::fromStdString(s);
}

// The program's texts break lines with CR LF; a label wants plain line feeds.
QString displayText(const std::string& s) {
    QString text = fromUtf8(s);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QMessageBox::Icon qtIcon(Icon icon) {
    switch (icon) {
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Answer QtDialogs::message(Icon icon, const std::string& title, const std::string& text, Buttons buttons) {
    QMessageBox box(qtIcon(icon), fromUtf8(title), displayText(text),
                    buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    if (buttons == Buttons::YesNo) box.setDefaultButton(QMessageBox::Yes);
    const int result = box.exec();
    if (buttons == Buttons::YesNo) return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

std::optional<std::string> QtDialogs::input(const std::string& prompt, const std::string& title,
                                            const std::string& defaultValue) {
    bool ok = false;
    const QString value =
        QInputDialog::getText(QApplication::activeWindow(), fromUtf8(title), displayText(prompt),
                              QLineEdit::Normal, fromUtf8(defaultValue), &ok);
    if (!ok) return std::nullopt;
    return value.toStdString();
}

std::optional<std::string> QtDialogs::openFile(const std::string& title, const std::string& folder,
                                               const std::string& fileName, const std::string& filter) {
    QString start = fromUtf8(folder);
    if (!fileName.empty())
        start = start.isEmpty() ? fromUtf8(fileName) : QDir(start).filePath(fromUtf8(fileName));
    const QString chosen = QFileDialog::getOpenFileName(QApplication::activeWindow(), fromUtf8(title), start,
                                                        fromUtf8(qtFileFilter(filter)));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

std::string qtFileFilter(const std::string& filter) {
    const QString f = fromUtf8(filter);
    if (!f.contains(QLatin1Char('|'))) return filter;
    const QStringList parts = f.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')).trimmed();
        // Qt reads the patterns from the trailing parentheses; a description that already ends
        // with them is kept as written.
        const QString shown = QStringLiteral("(") + patterns + QLatin1Char(')');
        filters << (description.endsWith(shown) ? description : description + QLatin1Char(' ') + shown);
    }
    if (parts.size() % 2 == 1 && !parts.last().trimmed().isEmpty()) filters << parts.last().trimmed();
    return filters.join(QStringLiteral(";;")).toStdString();
}

} // namespace vantrel
