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
    QMessageBox::StandardButtons shown = QMessageBox::Yes | QMessageBox::No;
    if (buttons == Buttons::Ok) shown = QMessageBox::Ok;
    if (buttons == Buttons::YesNoNoToAllDefaultNo) shown |= QMessageBox::NoToAll;
    QMessageBox box(qtIcon(icon), fromUtf8(title), displayText(text), shown, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    if (buttons == Buttons::Ok) {
        box.exec();
        return Answer::Ok;
    }
    box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
    // Closing the box with Escape or its close button is the safe answer.
    box.setEscapeButton(QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::NoToAll:
        return Answer::NoToAll;
    default:
        return Answer::No;
    }
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
    const QtOpenFileSetup setup = qtOpenFileSetup(folder, fileName, filter);
    QString selected = fromUtf8(setup.selectedFilter);
    const QString chosen =
        QFileDialog::getOpenFileName(QApplication::activeWindow(), fromUtf8(title), fromUtf8(setup.start),
                                     fromUtf8(setup.filter), &selected);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

std::optional<int> QtDialogs::number(const std::string& prompt, const std::string& title, int value,
                                     int minimum, int maximum) {
    bool ok = false;
    const int chosen = QInputDialog::getInt(QApplication::activeWindow(), fromUtf8(title),
                                            displayText(prompt), value, minimum, maximum, 1, &ok);
    if (!ok) return std::nullopt;
    return chosen;
}

namespace {

// The patterns of one Qt filter entry: those in its trailing parentheses, or the whole entry.
QString entryPatterns(const QString& entry) {
    const QString e = entry.trimmed();
    const qsizetype open = e.lastIndexOf(QLatin1Char('('));
    if (e.endsWith(QLatin1Char(')')) && open >= 0) return e.mid(open + 1, e.size() - open - 2).trimmed();
    return e;
}

} // namespace

std::string qtFileFilter(const std::string& filter) {
    const QString f = fromUtf8(filter);
    if (!f.contains(QLatin1Char('|'))) return filter;
    const QStringList parts = f.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString written = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')).trimmed();
        // "*.*" means every file; Qt matches it literally, which would hide names without a dot.
        QStringList patterns = written.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
        const QString shown = QStringLiteral("(") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        // Qt reads the patterns from the trailing parentheses; a description that already ends
        // with the written patterns gets them in Qt's form instead of a second pair.
        const QString writtenShown = QStringLiteral("(") + written + QLatin1Char(')');
        if (description.endsWith(writtenShown))
            filters << description.chopped(writtenShown.size()) + shown;
        else
            filters << description + QLatin1Char(' ') + shown;
    }
    if (parts.size() % 2 == 1 && !parts.last().trimmed().isEmpty()) filters << parts.last().trimmed();
    return filters.join(QStringLiteral(";;")).toStdString();
}

QtOpenFileSetup qtOpenFileSetup(const std::string& folder, const std::string& fileName,
                                const std::string& filter) {
    QtOpenFileSetup setup{folder, qtFileFilter(filter), {}};
    const QString name = fromUtf8(fileName);
    if (name.isEmpty()) return setup;
    if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?'))) {
        setup.start = folder.empty() ? fileName : QDir(fromUtf8(folder)).filePath(name).toStdString();
        return setup;
    }
    // A name with wildcards picks the files to show first, it is not a file to open: select
    // the filter entry with exactly those patterns, or put one in front of the others.
    const QString wanted = QString(name).replace(QLatin1Char(';'), QLatin1Char(' ')).simplified();
    QStringList entries = fromUtf8(setup.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    for (const QString& entry : entries)
        if (entryPatterns(entry) == wanted) {
            setup.selectedFilter = entry.toStdString();
            return setup;
        }
    entries.prepend(wanted);
    setup.filter = entries.join(QStringLiteral(";;")).toStdString();
    setup.selectedFilter = wanted.toStdString();
    return setup;
}

} // namespace vantrel
