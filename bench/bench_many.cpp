// A whole database of small tables, as an application's schema is moved: 200 tables, then 1,000
// (or the TABULINK_BENCH_TABLES list), of 100 rows each (a key, an index, four columns), every one
// selected, started from the window. On loopback and with the destination behind a link of 25 ms
// each way and 100 Mbit/s: the complete copy against mariadb-dump --single-transaction | mariadb of
// the same database over the same link, Compare of the copied tables against Compare one table
// at a time, and "Make MySQL #2 Match" with one row changed in every tenth table. Each runs twice; both rounds are printed, with what the copy added to the program's
// memory at its peak.
//   TABULINK_BENCH_TABLES=40 bench_many
#include "BenchTools.h"
#include "BenchWindow.h"
#include "app/SettingsStore.h"
#include "support/SlowLink.h"
#include "transfer/shared/TransferRun.h"

#include <QApplication>

#include <chrono>
#include <cstdio>

namespace {

constexpr int RowsPerTable = 100;

void fill(const sandbox::ScratchDatabase &db, int tables)
{
    for (int i = 0; i < tables; ++i) {
        const std::string t = "t" + std::to_string(i);
        db.exec("CREATE TABLE " + t + " (id INT PRIMARY KEY, a INT, b VARCHAR(40), c DATETIME, KEY (a))");
        db.exec("INSERT INTO " + t + " SELECT seq, seq % 7, CONCAT('row ', seq, ' of " + t
                + "'), '2024-01-01' + INTERVAL seq MINUTE FROM seq_1_to_" + std::to_string(RowsPerTable));
    }
}

// mariadb-dump --single-transaction of the whole database | mariadb: seconds.
double dumpAndLoadAll(const sides::ConnectionProfile &from, const sides::ConnectionProfile &to)
{
    QProcess dump, load;
    dump.setStandardOutputProcess(&load);
    QElapsedTimer timer;
    timer.start();
    load.start(QStringLiteral("mariadb"), loginArguments(to) << to.database);
    dump.start(QStringLiteral("mariadb-dump"), loginArguments(from) << QStringLiteral("--single-transaction")
                                                                    << from.database);
    const bool ok = finished(dump, "mariadb-dump") && finished(load, "mariadb");
    return ok ? timer.elapsed() / 1000.0 : -1;
}

struct Figures {
    double complete = 0;
    double completeGrowthMb = 0;
    double dump = 0;
    double compare = 0;
    double compareOneByOne = 0;
    double match = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it comes
    benchRowsAndUser(0);
    QList<int> sizes;
    for (const QByteArray &n : qgetenv("TABULINK_BENCH_TABLES").split(','))
        if (n.toInt() > 0)
            sizes << n.toInt();
    if (sizes.isEmpty())
        sizes = {200, 1000};
    const sides::ConnectionProfile two = sandbox::serverProfile(2);
    SlowLink link(two.server, two.port.toInt(), std::chrono::microseconds(static_cast<long long>(FarOneWayMs * 1000)),
                  FarBitsPerSecond);
    for (const int tables : sizes) {
        sandbox::ScratchDatabase source(1, QStringLiteral("mt_src"));
        fill(source, tables);
        QStringList names;
        for (int i = 0; i < tables; ++i)
            names << QStringLiteral("t%1").arg(i);
        std::printf("%d tables of %d rows; far: the destination behind a link of %.0f ms each way and %.0f Mbit/s\n",
                    tables, RowsPerTable, FarOneWayMs, FarBitsPerSecond / 1e6);

        const auto atOnce = [](int n) {
            return [n](ServedServices &s) {
                app::SettingsStore(s.t.services.settings).write(QStringLiteral("TablesAtOnce"), QString::number(n));
            };
        };
        const auto run = [&](bool far) {
            Figures f;
            sandbox::ScratchDatabase to(2, QStringLiteral("mt_to"));
            const sides::ConnectionProfile destination = benchProfile(to, far ? link.port() : 0);
            const ProfilesFrom profiles([&](int side) { return side == 1 ? benchProfile(source) : destination; });
            // The settings outlive a window: each run says how many tables it takes at once.
            const int pool = transfer::DefaultTablesAtOnce;
            const WindowRun copied = runThroughWindow(profiles, names, Start::CompleteEntry, atOnce(pool));
            f.complete = copied.seconds;
            f.completeGrowthMb = copied.growthMb;
            if (to.tables().size() != tables)
                std::printf("  the copy is incomplete: %lld tables\n", static_cast<long long>(to.tables().size()));
            const WindowRun compared = runThroughWindow(profiles, names, Start::CompareEntry, atOnce(pool));
            f.compare = compared.seconds;
            if (compared.log.count(QStringLiteral(": same (")) != tables)
                std::printf("  the compare did not find every table the same\n");
            f.compareOneByOne = runThroughWindow(profiles, names, Start::CompareEntry, atOnce(1)).seconds;
            int spoiled = 0;
            for (int i = 0; i < tables; i += 10, ++spoiled)
                to.exec("UPDATE t" + std::to_string(i) + " SET a = a + 1 WHERE id = 50");
            const WindowRun matched = runThroughWindow(profiles, names, Start::MatchEntry, atOnce(pool));
            f.match = matched.seconds;
            if (matched.boxes.isEmpty() || matched.boxes.last().count(QStringLiteral(": same (")) != spoiled)
                std::printf("  the match did not leave every changed table the same\n");
            sandbox::ScratchDatabase dumped(2, QStringLiteral("mt_dump"));
            f.dump = dumpAndLoadAll(benchProfile(source), benchProfile(dumped, far ? link.port() : 0));
            return f;
        };
        for (int round = 1; round <= 2; ++round) {
            for (bool far : {false, true}) {
                const Figures f = run(far);
                std::printf("%d tables, round %d, %s: complete copy %.2f s (memory +%.1f MB), dump | load %.2f s "
                            "(%.1fx); compare %.2f s, one table at a time %.2f s (%.1fx); match %.2f s\n",
                            tables, round, far ? "far" : "loopback", f.complete, f.completeGrowthMb, f.dump,
                            f.dump / f.complete, f.compare, f.compareOneByOne, f.compareOneByOne / f.compare, f.match);
            }
        }
    }
    std::printf("targets, far, 200 tables: complete copy at most 10 s and at least 10x dump | load; compare at most 5 s\n");
    return 0;
}
