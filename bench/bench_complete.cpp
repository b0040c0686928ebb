// "Send Complete Table(s)" of a 1,000,000-row table between the sandbox servers, through the table
// manager window, against mariadb-dump --single-transaction piped into mariadb. Prints both times
// and their ratio, the statements the destination received, peak memory growth (also for a table
// four times larger) and the longest gap between two handled window events.
//   TABULINK_BENCH_ROWS=100000 bench_complete   (a quicker run)
#include "BenchSupport.h"
#include "app/Services.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form2.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

using namespace tableswindow;

namespace {

void fill(const sandbox::ScratchDatabase &db, long long rows)
{
    db.exec("CREATE TABLE t (id INT PRIMARY KEY, n INT, s VARCHAR(40), dt DATETIME, d DECIMAL(12,2))");
    constexpr long long Chunk = 500000;
    for (long long from = 1; from <= rows; from += Chunk) {
        const long long to = std::min(rows, from + Chunk - 1);
        db.exec("INSERT INTO t SELECT seq, seq % 1000, CONCAT('name ', seq, ' O''Brien'), "
                "'2020-01-01' + INTERVAL seq SECOND, seq / 100 FROM seq_"
                + std::to_string(from) + "_to_" + std::to_string(to));
    }
}

long long questions(int server)
{
    sandbox::ScratchDatabase probe(server, QStringLiteral("q"));
    return std::stoll(*probe.query("SHOW GLOBAL STATUS LIKE 'Questions'")[0][1]);
}

double dumpSeconds(const sandbox::ScratchDatabase &from, const sandbox::ScratchDatabase &to)
{
    const sides::ConnectionProfile a = from.profile();
    const sides::ConnectionProfile b = to.profile();
    const std::string command = "mariadb-dump --no-defaults --ssl --protocol=tcp -h" + a.server.toStdString() + " -P"
                                + a.port.toStdString() + " -u" + a.user.toStdString() + " -p"
                                + a.password.toStdString() + " --single-transaction " + a.database.toStdString()
                                + " t | mariadb --no-defaults --ssl --protocol=tcp -h" + b.server.toStdString() + " -P"
                                + b.port.toStdString() + " -u" + b.user.toStdString() + " -p"
                                + b.password.toStdString() + " " + b.database.toStdString();
    QElapsedTimer timer;
    timer.start();
    if (std::system(command.c_str()) != 0)
        std::printf("mariadb-dump | mariadb failed\n");
    return timer.elapsed() / 1000.0;
}

struct Result {
    double seconds;
    double growthMb;
    long long statements;
    qint64 longestGap;
};

Result completeCopy(const sandbox::ScratchDatabase &from, const sandbox::ScratchDatabase &to)
{
    ServedServices served;
    TestServices &t = served.t;
    const ProfilesFrom profiles = sandbox::sidesOn(from, to);
    Form2 form(served.services, profiles, [] {});
    form.show();
    form.ui().List1->addItem(QStringLiteral("t"));
    form.PushButton1_Click();
    form.ui().List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    QCoreApplication::processEvents();
    const long long before = questions(2);
    const long long rssBefore = statusKb("VmRSS:");
    resetPeak();
    GapMeter gaps;
    QElapsedTimer timer;
    timer.start();
    form.sendCompleteTables(1);
    const double seconds = timer.elapsed() / 1000.0;
    const double growthMb = (statusKb("VmHWM:") - rssBefore) / 1024.0;
    // Less the two scratch databases the count itself makes and drops, and its own status read.
    const long long statements = questions(2) - before - 4;
    if (!t.dialogs.messages.empty())
        std::printf("  the copy showed: %s\n", qPrintable(t.dialogs.texts().join(QStringLiteral(" | "))));
    return {seconds, growthMb, statements, gaps.longest()};
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QByteArray wanted = qgetenv("TABULINK_BENCH_ROWS");
    const long long rows = wanted.isEmpty() ? 1000000 : wanted.toLongLong();
    for (const long long n : {rows, 4 * rows}) {
        sandbox::ScratchDatabase source(1, QStringLiteral("cb_src"));
        sandbox::ScratchDatabase viaDump(2, QStringLiteral("cb_dump"));
        sandbox::ScratchDatabase complete(2, QStringLiteral("cb_complete"));
        fill(source, n);
        source.exec("ANALYZE TABLE t");
        const double mb = std::stod(*source.query("SELECT DATA_LENGTH FROM information_schema.TABLES WHERE "
                                                  "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 't'")[0][0]) / 1e6;
        std::printf("%lld rows (%.0f MB of InnoDB data)\n", n, mb);
        const double dump = n == rows ? dumpSeconds(source, viaDump) : 0;
        const Result r = completeCopy(source, complete);
        std::printf("  complete copy, verification included: %.1f s (%.0f rows/s)\n", r.seconds, n / r.seconds);
        if (dump > 0)
            std::printf("  mariadb-dump --single-transaction | mariadb: %.1f s; ratio %.2f (target at least 1.5)\n",
                        dump, dump / r.seconds);
        std::printf("  statements the destination received: %lld (target at most 10 + %.0f)\n", r.statements,
                    mb / 64.0 + 1);
        std::printf("  peak memory growth: %.1f MB (target below 64 MB)\n", r.growthMb);
        std::printf("  longest gap between window events: %lld ms (target below 100 ms)\n",
                    static_cast<long long>(r.longestGap));
        if (*complete.query("SELECT COUNT(*) FROM t")[0][0] != std::to_string(n))
            std::printf("  the copy is incomplete!\n");
    }
    return 0;
}
