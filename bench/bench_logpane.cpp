// Appending to the log pane must cost the same at the hundred-thousandth line as at the first.
#include "BenchSupport.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>


#include <cstdio>
#include <functional>

using namespace app;
using namespace connectwindow;
using namespace sides;
using namespace tableswindow;
using namespace transfer;


int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TestServices t;
    const ProfilesFrom noLogins([](int) { return ConnectionProfile(); });
    Form2 form(t.services, noLogins, [] {});
    form.show();

    constexpr int Lines = 100000;
    constexpr int Block = 1000;
    const std::string head = "INSERT INTO `customers` VALUES('";
    const std::string tail = "', 'Aoife O''Brien', 'aoife@example.ie', 'Cork', '2021-03-14', 'Prefers e-mail', NULL)";
    std::string line;
    // Warm up: the window's first paint (fonts, glyph cache) and the first run of the append's
    // own code are not part of an append's cost.
    for (int i = 0; i < Block; ++i)
        form.logPane().appendEntry(head + std::to_string(i) + tail);
    QElapsedTimer warm;
    warm.start();
    while (warm.elapsed() < 200)
        QCoreApplication::processEvents();
    form.logPane().clear();
    const long long rssBefore = statusKb("VmRSS:");
    std::vector<double> blockMs;
    QElapsedTimer total;
    total.start();
    for (int b = 0; b < Lines / Block; ++b) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < Block; ++i) {
            line = head;
            line += std::to_string(b * Block + i);
            line += tail;
            form.logPane().appendEntry(line);
            // A copy yields after every row and handles events every few milliseconds, about every
            // hundred rows at a server's pace; do the same here, so the box's own work is measured.
            if (i % 100 == 99)
                QCoreApplication::processEvents();
        }
        blockMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    QCoreApplication::processEvents();
    const long long rssAfter = statusKb("VmRSS:");
    const QString all = form.logPane().text();
    std::printf("log pane: %d appends in %.2f s, pane holds %lld characters\n", Lines, total.elapsed() / 1000.0,
                static_cast<long long>(all.size()));
    std::printf("memory the pane took: %.1f MB\n", (rssAfter - rssBefore) / 1024.0);
    std::printf("first %d appends: %.3f us each\n", Block, blockMs.front() * 1000.0 / Block);
    std::printf("last  %d appends: %.3f us each\n", Block, blockMs.back() * 1000.0 / Block);
    auto average = [&](size_t from, size_t to) {
        double sum = 0;
        for (size_t i = from; i < to; ++i)
            sum += blockMs[i];
        return sum * 1000.0 / Block / static_cast<double>(to - from);
    };
    std::printf("appends 1-10,000: %.3f us each; appends 90,001-100,000: %.3f us each\n", average(0, 10),
                average(blockMs.size() - 10, blockMs.size()));
    std::printf("ratio last/first: %.2f (target below 2)\n", blockMs.back() / blockMs.front());

    // Working in the full pane: each step as the user would do it, until it is drawn.
    LogView &pane = *form.ui().Text1;
    pane.setFocus();
    const auto timed = [&](const char *what, const std::function<void()> &step) {
        QElapsedTimer timer;
        timer.start();
        step();
        pane.viewport()->repaint();
        std::printf("%s: %.2f ms\n", what, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    };
    timed("to the end (Ctrl+End), drawn", [&] { QTest::keyClick(&pane, Qt::Key_End, Qt::ControlModifier); });
    timed("scroll bar to the middle, drawn",
          [&] { pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum() / 2); });
    timed("a key typed at the very start, drawn", [&] {
        QTest::keyClick(&pane, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&pane, Qt::Key_X);
    });
    timed("select all and delete", [&] {
        QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&pane, Qt::Key_Delete);
    });
    return 0;
}
