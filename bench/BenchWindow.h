#pragma once
// An operation as the user starts it in the table manager: the described copy by a click on "Send
// Table(s) to MySQL #2", the complete copy and the comparison by a right-click on List1 and a click
// on their entry.

#include "BenchSupport.h"
#include "support/Fakes.h"
#include "support/Input.h"
#include "tables/Form2.h"
#include "ui_Form2.h"

#include <QApplication>
#include <QMenu>

#include <cstdio>

namespace {

struct WindowRun {
    double seconds = 0;
    double growthMb = 0;
    qint64 longestGap = 0;
    QStringList boxes;
    QString log; // the log pane's text
};

enum class Start { SendButton, CompleteEntry, CompareEntry, MatchEntry };

// setUp sees the program's services before the window is made (its settings, say).
inline WindowRun runThroughWindow(const ProfilesFrom &profiles, const QStringList &tables, Start start,
                                  const std::function<void(ServedServices &)> &setUp = {})
{
    ServedServices served;
    if (setUp)
        setUp(served);
    tableswindow::Form2 form(served.services, profiles, [] {});
    form.show();
    for (const QString &t : tables)
        form.ui().List1->addItem(t);
    for (int i = 0; i < form.ui().List1->count(); ++i)
        form.ui().List1->item(i)->setSelected(true);
    form.ui().List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    QCoreApplication::processEvents();
    const long long rssBefore = statusKb("VmRSS:");
    resetPeak();
    GapMeter gaps;
    QElapsedTimer timer;
    timer.start();
    if (start != Start::SendButton) {
        input::rightClick(form.ui().List1, QPoint(10, 10));
        QMenu *menu = input::openMenu();
        if (!menu) {
            std::printf("  no menu opened\n");
            return {};
        }
        gaps.skip(); // the benchmark's own wait for the menu
        timer.restart();
        if (start == Start::MatchEntry)
            served.t.dialogs.choices.push_back(0); // the box's first button: change MySQL #2
        input::chooseByMouse(menu, start == Start::CompleteEntry ? 1 : start == Start::CompareEntry ? 2 : 3);
    } else {
        input::click(form.ui().PushButton3);
    }
    served.t.runStarted();
    WindowRun r;
    r.seconds = timer.elapsed() / 1000.0;
    r.growthMb = (statusKb("VmHWM:") - rssBefore) / 1024.0;
    r.longestGap = gaps.longest();
    r.boxes = served.t.dialogs.texts();
    r.log = form.logPane().text();
    if (!r.boxes.isEmpty() && start != Start::CompareEntry && start != Start::MatchEntry)
        std::printf("  the copy showed: %s\n", qPrintable(r.boxes.join(QStringLiteral(" | "))));
    return r;
}

inline WindowRun copyThroughWindow(const ProfilesFrom &profiles, const QStringList &tables, bool complete)
{
    return runThroughWindow(profiles, tables, complete ? Start::CompleteEntry : Start::SendButton);
}

} // namespace
