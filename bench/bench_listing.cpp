// Filling a table list from a database of 5,000 tables.
#include "tableops/TableListing.h"
#include "platform/QtEventYield.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace app;
using namespace connectwindow;
using namespace sides;
using namespace tableops;
using namespace tableswindow;
using namespace transfer;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    constexpr int Tables = 5000;
    sandbox::ScratchDatabase scratch(1, QStringLiteral("bench_listing"));
    QElapsedTimer setup;
    setup.start();
    for (int i = 0; i < Tables; ++i)
        scratch.exec("CREATE TABLE `table_" + std::to_string(i) + "` (id INT) ENGINE=MEMORY");
    std::printf("created %d tables in %.1f s\n", Tables, setup.elapsed() / 1000.0);

    TestServices t;
    const ProfilesFrom noLogins([](int) { return ConnectionProfile(); });
    Form2 form(t.services, noLogins, [] {});
    form.show();
    platform::QtEventYield yield([&t] { return t.lock.ending(); });
    QElapsedTimer timer;
    timer.start();
    addTablesToMySQLList(form.list1(), scratch.profile(), t.dialogs, yield);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("listing %d tables into List1: %.3f s (%d entries, %zu boxes)\n", Tables, seconds, form.list1().count(),
                t.dialogs.messages.size());
    return form.list1().count() == Tables ? 0 : 1;
}
