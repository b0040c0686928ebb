// "tabulink copy --complete" of a 1,000,000-row table, run as a script runs it (no display, its
// login from the options and the environment), against "Send Complete Table(s)" started from the
// window on the same table in the same run; each twice, each into a fresh database that has
// written out what the one before left.
//   TABULINK_BENCH_ROWS=200000 bench_cli   (a quicker run)
#include "BenchTools.h"
#include "BenchWindow.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

double commandLineCopy(const sides::ConnectionProfile &from, const sides::ConnectionProfile &to, const QString &settings)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("TABULINK_PASSWORD1"), from.password);
    env.insert(QStringLiteral("TABULINK_PASSWORD2"), to.password);
    program.setProcessEnvironment(env);
    program.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    program.start(QStringLiteral(TABULINK_PROGRAM),
                  {QStringLiteral("copy"), QStringLiteral("--complete"), QStringLiteral("--settings"), settings,
                   QStringLiteral("--host1"), from.server, QStringLiteral("--port1"), from.port, QStringLiteral("--user1"),
                   from.user, QStringLiteral("--database1"), from.database, QStringLiteral("--host2"), to.server,
                   QStringLiteral("--port2"), to.port, QStringLiteral("--user2"), to.user, QStringLiteral("--database2"),
                   to.database, QStringLiteral("t")});
    return finished(program, "tabulink copy --complete") ? timer.elapsed() / 1000.0 : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long long n = benchRowsAndUser(1000000);
    sandbox::ScratchDatabase source(1, QStringLiteral("cl_src"));
    fillBenchTable(source, n);
    source.exec("ANALYZE TABLE t");
    QTemporaryDir folder;
    const QString settings = folder.filePath(QStringLiteral("settings.ini"));
    std::printf("%lld rows, MySQL #1 to MySQL #2 on loopback\n", n);
    for (int round = 1; round <= 2; ++round) {
        double window = 0, line = 0;
        {
            sandbox::ScratchDatabase to(2, QStringLiteral("cl_window"));
            settle(to);
            window = copyThroughWindow(ProfilesFrom([&](int side) { return benchProfile(side == 1 ? source : to); }),
                                       {QStringLiteral("t")}, true)
                         .seconds;
        }
        {
            sandbox::ScratchDatabase to(2, QStringLiteral("cl_line"));
            settle(to);
            line = commandLineCopy(benchProfile(source), benchProfile(to), settings);
            if (*to.query("SELECT COUNT(*) FROM t")[0][0] != std::to_string(n))
                std::printf("  the command line's copy is incomplete!\n");
        }
        std::printf("round %d: window %.2f s, command line %.2f s: %.2fx the window's time (target at most 1.0x)\n",
                    round, window, line, line / window);
    }
    return 0;
}
