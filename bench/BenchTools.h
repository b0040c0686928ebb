#pragma once
// The mariadb command-line tools, run on the same rows as the program, for the figures to compare
// with: each gets its login as arguments of its own (no shell), so any password works.

#include "sides/ConnectionProfile.h"
#include "support/Sandbox.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// A login of the benchmark's own on both servers, whose password holds what a shell would split.
constexpr const char *BenchUser = "tabulink_bench";
constexpr const char *BenchPassword = "pa;ss 'w\"ord $x";

inline void createBenchUser(int server)
{
    sandbox::ScratchDatabase db(server, QStringLiteral("user"));
    db.exec(std::string("CREATE USER IF NOT EXISTS '") + BenchUser + "'@'%' IDENTIFIED BY 'pa;ss ''w\"ord $x'");
    db.exec(std::string("ALTER USER '") + BenchUser + "'@'%' IDENTIFIED BY 'pa;ss ''w\"ord $x'");
    db.exec(std::string("GRANT ALL ON *.* TO '") + BenchUser + "'@'%'");
}

// TABULINK_BENCH_ROWS, or the benchmark's own size; the benchmark's login made on both servers.
inline long long benchRowsAndUser(long long fallback)
{
    const QByteArray wanted = qgetenv("TABULINK_BENCH_ROWS");
    for (int server : {1, 2})
        createBenchUser(server);
    return wanted.isEmpty() ? fallback : wanted.toLongLong();
}

// The profile of db as the benchmark's user, at port (another one for a relay in front).
inline sides::ConnectionProfile benchProfile(const sandbox::ScratchDatabase &db, int port = 0)
{
    sides::ConnectionProfile p = db.profile();
    p.user = QString::fromLatin1(BenchUser);
    p.password = QString::fromLatin1(BenchPassword);
    if (port)
        p.port = QString::number(port);
    return p;
}

// The benchmarks' table t: a key, numbers, text with a quote in it, times, decimals.
inline void createBenchTable(const sandbox::ScratchDatabase &db)
{
    db.exec("CREATE TABLE t (id INT PRIMARY KEY, n INT, s VARCHAR(40), dt DATETIME, d DECIMAL(12,2))");
}

inline void fillBenchTable(const sandbox::ScratchDatabase &db, long long rows)
{
    createBenchTable(db);
    constexpr long long Chunk = 500000;
    for (long long from = 1; from <= rows; from += Chunk) {
        const long long to = std::min(rows, from + Chunk - 1);
        db.exec("INSERT INTO t SELECT seq, seq % 1000, CONCAT('name ', seq, ' O''Brien'), "
                "'2020-01-01' + INTERVAL seq SECOND, seq / 100 FROM seq_"
                + std::to_string(from) + "_to_" + std::to_string(to));
    }
}

// Has the server write out the pages earlier loads left changed in memory, so each contender
// starts with none of that work behind it: otherwise whichever runs after a load pays for it.
inline void settle(const sandbox::ScratchDatabase &db)
{
    const std::string share = *db.query("SELECT @@GLOBAL.innodb_max_dirty_pages_pct")[0][0];
    db.exec("SET GLOBAL innodb_max_dirty_pages_pct = 0");
    for (int wait = 0; wait < 300; ++wait) { // 30 s at most
        // SHOW, not information_schema: MySQL keeps its status in performance_schema.
        const sandbox::Rows dirty = db.query("SHOW GLOBAL STATUS LIKE 'Innodb_buffer_pool_pages_dirty'");
        if (std::stoll(*dirty.at(0).at(1)) < 50)
            break;
        QThread::msleep(100);
    }
    db.exec("SET GLOBAL innodb_max_dirty_pages_pct = " + share);
}

// A server's own counters: what it was asked and what it sent. Reading them is one question.
struct ServerCounters {
    long long questions = 0;
    long long bytesSent = 0;
};

inline ServerCounters serverCounters(const sandbox::ScratchDatabase &db)
{
    const sandbox::Rows r = db.query("SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE VARIABLE_NAME "
                                     "IN ('QUESTIONS', 'BYTES_SENT') ORDER BY VARIABLE_NAME");
    return {std::stoll(*r.at(1).at(0)), std::stoll(*r.at(0).at(0))};
}

// What a run cost: its time, the questions each server was asked and the bytes each sent.
struct Cost {
    double seconds = 0;
    long long questionsOne = 0;
    long long questionsTwo = 0;
    double kbOne = 0;
    double kbTwo = 0;
    QString said;
};

// Reading the status costs one question and its own answer; that is taken off.
inline Cost measure(const sandbox::ScratchDatabase &one, const sandbox::ScratchDatabase &two, const std::function<double()> &run)
{
    const ServerCounters idleOne = serverCounters(one), beforeOne = serverCounters(one);
    const ServerCounters idleTwo = serverCounters(two), beforeTwo = serverCounters(two);
    const long long statusBytesOne = beforeOne.bytesSent - idleOne.bytesSent;
    const long long statusBytesTwo = beforeTwo.bytesSent - idleTwo.bytesSent;
    Cost c;
    c.seconds = run();
    const ServerCounters afterOne = serverCounters(one), afterTwo = serverCounters(two);
    c.questionsOne = afterOne.questions - beforeOne.questions - 1;
    c.questionsTwo = afterTwo.questions - beforeTwo.questions - 1;
    c.kbOne = static_cast<double>(afterOne.bytesSent - beforeOne.bytesSent - statusBytesOne) / 1e3;
    c.kbTwo = static_cast<double>(afterTwo.bytesSent - beforeTwo.bytesSent - statusBytesTwo) / 1e3;
    return c;
}

// A hosted server far away, as the slow-link benchmarks put it behind SlowLink.
constexpr double FarOneWayMs = 25;
constexpr double FarBitsPerSecond = 100e6;

inline QStringList loginArguments(const sides::ConnectionProfile &p)
{
    return {QStringLiteral("--no-defaults"), QStringLiteral("--ssl"), QStringLiteral("--protocol=tcp"),
            QStringLiteral("-h") + p.server, QStringLiteral("-P") + p.port, QStringLiteral("-u") + p.user,
            QStringLiteral("--password=") + p.password};
}

inline bool finished(QProcess &p, const char *what)
{
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::printf("  %s failed: %s\n", what, p.readAllStandardError().constData());
        return false;
    }
    return true;
}

// mariadb-dump --single-transaction of table t | mariadb: seconds.
inline double dumpAndLoad(const sides::ConnectionProfile &from, const sides::ConnectionProfile &to,
                          const QString &table = QStringLiteral("t"))
{
    QProcess dump, load;
    dump.setStandardOutputProcess(&load);
    QElapsedTimer timer;
    timer.start();
    load.start(QStringLiteral("mariadb"), loginArguments(to) << to.database);
    dump.start(QStringLiteral("mariadb-dump"), loginArguments(from) << QStringLiteral("--single-transaction")
                                                                    << from.database << table);
    const bool ok = finished(dump, "mariadb-dump") && finished(load, "mariadb");
    return ok ? timer.elapsed() / 1000.0 : -1;
}

// The rows of t as the mariadb client writes them in batch mode: tab-separated, escaped.
inline bool exportRows(const sides::ConnectionProfile &from, const QString &file)
{
    QProcess client;
    client.setStandardOutputFile(file);
    client.start(QStringLiteral("mariadb"), loginArguments(from) << QStringLiteral("-B") << QStringLiteral("-N")
                                                                 << QStringLiteral("-e")
                                                                 << QStringLiteral("SELECT * FROM t") << from.database);
    return finished(client, "mariadb -B");
}

// LOAD DATA LOCAL INFILE of file into the empty table t, by the mariadb client: seconds.
inline double loadFile(const sides::ConnectionProfile &to, const QString &file)
{
    QProcess client;
    QElapsedTimer timer;
    timer.start();
    client.start(QStringLiteral("mariadb"), loginArguments(to)
                                                << QStringLiteral("--local-infile=1") << QStringLiteral("-e")
                                                << QStringLiteral("LOAD DATA LOCAL INFILE '%1' INTO TABLE t").arg(file)
                                                << to.database);
    return finished(client, "LOAD DATA LOCAL") ? timer.elapsed() / 1000.0 : -1;
}

// The statements of a file, sent one by one by the mariadb client: seconds.
inline double sendFile(const sides::ConnectionProfile &to, const QString &file)
{
    QProcess client;
    client.setStandardInputFile(file);
    QElapsedTimer timer;
    timer.start();
    client.start(QStringLiteral("mariadb"), loginArguments(to) << to.database);
    return finished(client, "mariadb < statements") ? timer.elapsed() / 1000.0 : -1;
}

} // namespace
