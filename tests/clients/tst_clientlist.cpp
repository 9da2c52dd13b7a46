// The client list on its own: the duplicate rule, the index kept in step with the widget,
// the size limit, ticks and the current entry.
#include "clients/ClientList.h"

#include <QCollator>
#include <QLabel>
#include <QListWidget>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using vantrel::ClientList;

class TestClientList : public QObject {
    Q_OBJECT

    // What the duplicate test must answer, found the slow way: walk the list comparing with a
    // case-insensitive collator of the same locale.
    static bool walkFinds(const ClientList& list, const QString& name) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        for (int i = 0; i < list.count(); ++i)
            if (collator.compare(list.text(i), name) == 0) return true;
        return false;
    }

  private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void duplicateRuleFollowsCollation_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("present");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("duplicate");
        for (const char* loc : {"C", "en_US", "tr_TR"}) {
            auto row = [&](const char* tag, const QString& a, const QString& b, bool dup) {
                QTest::addRow("%s %s", loc, tag) << QString(loc) << a << b << dup;
            };
            row("other case", "host1", "HOST1", true);
            row("mixed case", "Host1", "hOsT1", true);
            row("trailing blank", "host1", "host1 ", false);
            row("leading blank", "host1", " host1", false);
            row("empty vs empty", "", "", true);
            row("empty name, no empty entry", "a", "", false);
            row("accent counts", "Hosté", "HOSTE", false);
            row("different name", "WS001", "WS002", false);
        }
    }
    void duplicateRuleFollowsCollation() {
        QFETCH(QString, locale);
        QFETCH(QString, present);
        QFETCH(QString, asked);
        QFETCH(bool, duplicate);
        QLocale::setDefault(QLocale(locale));
        QListWidget widget;
        QLabel label;
        ClientList list(&widget, &label);
        list.append(present);
        QCOMPARE(list.is_dup_list(asked), duplicate);
        QCOMPARE(list.is_dup_list(asked), walkFinds(list, asked));
    }

    // Names where a collation key and a comparison easily disagree (case folding beyond
    // ASCII, ignorable characters, canonical equivalence): the index must answer exactly
    // as the comparison does, in a plain and in a language locale.
    void indexAgreesWithComparison_data() {
        QTest::addColumn<QString>("locale");
        for (const char* loc : {"C", "en_US", "de_DE", "tr_TR"})
            QTest::addRow("%s", loc) << QString(loc);
    }
    void indexAgreesWithComparison() {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        const QStringList names = {
            u"straße"_qs,         u"STRASSE"_qs,       u"Σίσυφος"_qs,  u"ΣΊΣΥΦΟΣ"_qs,     u"σίσυφοσ"_qs,
            u"İstanbul"_qs,       u"istanbul"_qs,      u"ISTANBUL"_qs, u"\u212Aelvin"_qs, u"kelvin"_qs,
            u"e\u0301t\u00e9"_qs, u"\u00e9t\u00e9"_qs, u"ÉTÉ"_qs,      u"a\u0001b"_qs,    u"ab"_qs,
            u"ǅemal"_qs,          u"ǆemal"_qs,         u"DŽEMAL"_qs};
        for (const QString& present : names) {
            QListWidget widget;
            QLabel label;
            ClientList list(&widget, &label);
            list.append(present);
            for (const QString& asked : names)
                QVERIFY2(list.is_dup_list(asked) == walkFinds(list, asked),
                         qPrintable(QStringLiteral("%1 / %2").arg(present, asked)));
        }
    }

    // Every way the widget can change, through the list or behind its back, keeps the index
    // right: after each random step the index answers as a walk of the list does.
    void indexFollowsEveryChange() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QListWidget widget;
        QLabel label;
        ClientList list(&widget, &label);
        const QStringList pool = {"ws1", "WS1", "ws2", "Ws2 ", "lic01", "LIC01", "dc01", ""};
        QRandomGenerator rng(4711);
        for (int step = 0; step < 600; ++step) {
            const QString name = pool[rng.bounded(pool.size())];
            const int n = list.count();
            switch (rng.bounded(7)) {
            case 0:
            case 1:
                list.append(name); // no duplicate test, as a network search appends
                break;
            case 2:
                if (n) list.removeAt(rng.bounded(n));
                break;
            case 3:
                if (n) widget.item(rng.bounded(n))->setText(name);
                break;
            case 4:
                widget.insertItem(n ? rng.bounded(n) : 0, name);
                break;
            case 5:
                if (n) delete widget.takeItem(rng.bounded(n));
                break;
            case 6:
                if (rng.bounded(10) == 0)
                    list.clear();
                else if (n)
                    list.setTicked(rng.bounded(n), rng.bounded(2));
                break;
            }
            for (const QString& probe : pool)
                QVERIFY2(list.is_dup_list(probe) == walkFinds(list, probe),
                         qPrintable(QStringLiteral("step %1, probe '%2'").arg(step).arg(probe)));
        }
    }

    void namesAreKeptAsGivenInOrder() {
        QListWidget widget;
        QLabel label;
        ClientList list(&widget, &label);
        const QStringList names = {" ws9 ", "WS1", "a<b", "ws1"};
        for (const auto& n : names)
            QVERIFY(list.append(n));
        QCOMPARE(list.count(), names.size());
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(list.text(i), names[i]);
            QVERIFY(!list.ticked(i));
            QVERIFY(widget.item(i)->flags() & Qt::ItemIsUserCheckable);
        }
        QVERIFY(list.append("x", true));
        QVERIFY(list.ticked(names.size()));
        QCOMPARE(list.text(-1), QString());
        QCOMPARE(list.text(list.count()), QString());
    }

    void refusesEntriesBeyondTheLimit() {
        QListWidget widget;
        QLabel label;
        ClientList list(&widget, &label);
        list.hide();
        for (int i = 0; i < ClientList::MaxEntries; ++i)
            QVERIFY(list.append(QString::number(i)));
        list.show();
        QVERIFY(!list.append("one too many"));
        QCOMPARE(list.count(), ClientList::MaxEntries);
        QVERIFY(!list.is_dup_list("one too many"));
        QCOMPARE(list.text(ClientList::MaxEntries - 1), QString::number(ClientList::MaxEntries - 1));
        // Room again after a removal.
        list.removeAt(0);
        QVERIFY(!list.is_dup_list("0"));
        QVERIFY(list.append("one too many"));
        QVERIFY(list.is_dup_list("ONE TOO MANY"));
    }

    void currentEntryIsTheHighlightedOne() {
        QListWidget widget;
        QLabel label;
        ClientList list(&widget, &label);
        QSignalSpy set(&list, &ClientList::currentSet);
        QCOMPARE(list.current(), -1);
        for (const char* n : {"a", "b", "c"})
            list.append(n);
        QCOMPARE(list.current(), -1); // adding highlights nothing

        list.setCurrent(1);
        QCOMPARE(list.current(), 1);
        QVERIFY(widget.item(1)->isSelected());
        QVERIFY(!list.ticked(1)); // highlighting does not tick
        QCOMPARE(set.count(), 1);
        QCOMPARE(set.last().at(0).toInt(), 1);

        list.setTicked(2, true); // ticking does not highlight
        QCOMPARE(list.current(), 1);

        list.removeAt(1); // the highlighted entry is gone: nothing is highlighted
        QCOMPARE(list.current(), -1);
        QCOMPARE(list.text(1), QString("c"));

        list.setCurrent(0);
        list.setCurrent(-1);
        QCOMPARE(list.current(), -1);
        QCOMPARE(widget.selectedItems().size(), 0);
        QCOMPARE(set.last().at(0).toInt(), -1);
    }

    void setAllTicks() {
        QListWidget widget;
        QLabel label;
        ClientList list(&widget, &label);
        list.SetAllTicks(true); // empty: nothing to do
        QCOMPARE(list.count(), 0);
        for (const char* n : {"a", "b", "c"})
            list.append(n);
        list.setTicked(1, true);
        list.setCurrent(2);
        list.SetAllTicks(true);
        for (int i = 0; i < 3; ++i)
            QVERIFY(list.ticked(i));
        QCOMPARE(list.current(), 2);
        list.SetAllTicks(false);
        for (int i = 0; i < 3; ++i)
            QVERIFY(!list.ticked(i));
        QCOMPARE(list.current(), 2);
    }

    void countLabel() {
        QWidget window;
        auto* caption = new QLabel("Current Client Systems: Found", &window);
        caption->setObjectName("clientListLbl");
        auto* number = new QLabel("0", &window);
        QListWidget widget;
        ClientList list(&widget, number);
        list.append("a");
        list.append("b");
        QCOMPARE(number->text(), QString("2")); // it follows every change
        QCOMPARE(caption->text(), QString("Current Client Systems: Found"));
        list.removeAt(0);
        QCOMPARE(number->text(), QString("1"));
        list.updateCountLabel();
        QCOMPARE(caption->text(), QString("Current Client Systems: Found "));
        QCOMPARE(number->text(), QString("1"));
        list.clear();
        list.updateCountLabel();
        QCOMPARE(number->text(), QString("0"));
    }
};

QTEST_MAIN(TestClientList)
#include "tst_clientlist.moc"
