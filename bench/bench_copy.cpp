// Copying a 100,000-row table between the two sandbox servers by a click on "Send Table(s) to
// MySQL #2", against the mariadb client sending the same one-row INSERT statements over TLS as the
// program's sessions are, and a bare Connector/C loop without TLS. Prints rates and memory.
//   TABULINK_BENCH_ROWS=20000 bench_copy   (a quicker run)
#include "BenchSupport.h"
#include "BenchTools.h"
#include "support/Input.h"
#include "platform/DbConnection.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "transfer/copy/RowCopy.h"
#include "transfer/copy/SchemaCopy.h"
#include "transfer/shared/SqlText.h"
#include "ui_Form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <mysql.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

using namespace app;
using namespace connectwindow;
using namespace sides;
using namespace tableswindow;
using namespace transfer;

namespace {

int Rows = 100000;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double seconds;
    double cpu;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (const QByteArray wanted = qgetenv("TABULINK_BENCH_ROWS"); !wanted.isEmpty())
        Rows = wanted.toInt();
    sandbox::ScratchDatabase source(1, QStringLiteral("bench_src"));
    sandbox::ScratchDatabase destination(2, QStringLiteral("bench_dst"));
    sandbox::ScratchDatabase bare(2, QStringLiteral("bench_bare"));
    source.exec("CREATE TABLE orders (id INT PRIMARY KEY, customer VARCHAR(40), email VARCHAR(60), "
                "amount DECIMAL(10,2), placed DATETIME, note TEXT, tag VARBINARY(8))");
    source.exec("INSERT INTO orders SELECT seq, CONCAT('Customer ', seq), CONCAT('c', seq, '@example.com'), "
                "seq / 7, '2024-01-01' + INTERVAL seq MINUTE, IF(seq % 3 = 0, NULL, CONCAT('O''Brien\\\\', seq)), "
                "UNHEX(HEX(seq)) FROM seq_1_to_" + std::to_string(Rows));
    const auto size = source.query("SELECT SUM(LENGTH(id) + LENGTH(customer) + LENGTH(email) + LENGTH(amount) + "
                                   "LENGTH(placed) + IFNULL(LENGTH(note), 0) + LENGTH(tag)) FROM orders");
    const double dataMb = std::stod(*size[0][0]) / 1e6;
    std::printf("table: %d rows, %.1f MB of values\n", Rows, dataMb);

    // The bare loop: the same statements, built beforehand, sent one by one with mysql_real_query.
    platform::Connection reader;
    reader.open(source.connectionString().toStdString());
    FakeYield noYield;
    QElapsedTimer readTimer;
    readTimer.start();
    transfer::RowStream rows(reader, "orders", transfer::describeColumns(reader, "orders", noYield), false);
    std::vector<std::string> statements;
    const std::string head = transfer::insertHead("orders");
    while (rows.readBatch(noYield))
        for (size_t k = 0; k < rows.batch().rowCount(); ++k)
            transfer::buildInsertStatement(statements.emplace_back(), head, rows.batch(), k, rows.encoding());
    std::printf("reading the table and building its statements (part of the program's work): %.2f s\n",
                static_cast<double>(readTimer.nsecsElapsed()) / 1e9);
    const std::string create = "CREATE TABLE `orders`(`id` INT(11),`customer` VARCHAR(40),`email` VARCHAR(60),"
                               "`amount` DECIMAL(10,2),`placed` DATETIME,`note` TEXT,`tag` VARBINARY(8))";
    // The mariadb client: the same statements from a file, one by one, over TLS.
    QTemporaryDir folder;
    const QString statementsFile = folder.filePath(QStringLiteral("inserts.sql"));
    {
        QFile out(statementsFile);
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        for (const std::string &s : statements) {
            out.write(s.data(), static_cast<qint64>(s.size()));
            out.write(";\n");
        }
    }
    for (int server : {1, 2})
        createBenchUser(server);
    sandbox::ScratchDatabase viaClient(2, QStringLiteral("bench_client"));
    auto client = [&]() -> double {
        viaClient.exec("DROP TABLE IF EXISTS `orders`");
        viaClient.exec(create);
        return sendFile(benchProfile(viaClient), statementsFile);
    };
    auto bareLoop = [&]() -> Timing {
        bare.exec("DROP TABLE IF EXISTS `orders`");
        bare.exec(create);
        MYSQL *m = mysql_init(nullptr);
        const ConnectionProfile p = bare.profile();
        unsigned int tcp = MYSQL_PROTOCOL_TCP;
        mysql_optionsv(m, MYSQL_OPT_PROTOCOL, &tcp);
        mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
        unsigned int timeout = 5000; // as the program's connections have
        mysql_optionsv(m, MYSQL_OPT_READ_TIMEOUT, &timeout);
        mysql_optionsv(m, MYSQL_OPT_WRITE_TIMEOUT, &timeout);
        if (!mysql_real_connect(m, p.server.toUtf8().constData(), p.user.toUtf8().constData(),
                                p.password.toUtf8().constData(), p.database.toUtf8().constData(), p.port.toUInt(),
                                nullptr, 0))
            std::abort();
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuSeconds();
        for (const std::string &s : statements)
            if (mysql_real_query(m, s.data(), s.size()) != 0)
                std::abort();
        const Timing t{static_cast<double>(timer.nsecsElapsed()) / 1e9, cpuSeconds() - cpu};
        mysql_close(m);
        return t;
    };
    // The program: through the table manager window, as a click on "Send Table(s) to MySQL #2".
    ServedServices served;
    TestServices &t = served.t;
    const ProfilesFrom profiles = sandbox::sidesOn(source, destination);
    Form2 form(served.services, profiles, [] {});
    form.show();
    form.ui().List1->addItem(QStringLiteral("orders"));
    form.ui().List1->setCurrentRow(0);
    auto program = [&](double &peakGrowthMb) -> Timing {
        form.PushButton13_Click(); // each round starts with an empty log pane
        const long long rssBefore = statusKb("VmRSS:");
        resetPeak();
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuSeconds();
        input::click(form.ui().PushButton3); // from the second round on, the overwrite question is answered Yes
        t.runStarted();
        const Timing result{static_cast<double>(timer.nsecsElapsed()) / 1e9, cpuSeconds() - cpu};
        peakGrowthMb = std::max(peakGrowthMb, (statusKb("VmHWM:") - rssBefore) / 1024.0);
        const auto copied = destination.query("SELECT COUNT(*) FROM orders");
        if (*copied[0][0] != std::to_string(Rows) || t.dialogs.texts().filter(QStringLiteral("error")).size() > 0) {
            std::printf("copy failed: %s rows\n", copied[0][0]->c_str());
            std::exit(1);
        }
        return result;
    };

    // A first round of each, not counted: the window's first paint, the servers' caches.
    double unusedPeak = 0;
    bareLoop();
    program(unusedPeak);
    // Then rounds in alternating order, so drift in the servers' pace touches both alike.
    constexpr int Rounds = 3;
    std::vector<double> ratios, clientRatios;
    double peakGrowthMb = 0, programCpu = 0, bareCpu = 0;
    for (int round = 1; round <= Rounds; ++round) {
        Timing b{}, p{};
        if (round % 2) {
            b = bareLoop();
            p = program(peakGrowthMb);
        } else {
            p = program(peakGrowthMb);
            b = bareLoop();
        }
        const double c = client();
        clientRatios.push_back(c / p.seconds);
        std::printf("round %d: the mariadb client %.2f s (%.0f rows/s): the program at %.1f%% of it\n", round, c,
                    Rows / c, 100.0 * c / p.seconds);
        programCpu += p.cpu / Rounds;
        bareCpu += b.cpu / Rounds;
        ratios.push_back(b.seconds / p.seconds);
        std::printf("round %d: program %.2f s (%.0f rows/s), bare loop %.2f s (%.0f rows/s): %.1f%%\n", round,
                    p.seconds, Rows / p.seconds, b.seconds, Rows / b.seconds, 100.0 * b.seconds / p.seconds);
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(clientRatios.begin(), clientRatios.end());
    std::printf("program / mariadb client, median of %d rounds: %.1f%% (target at least 90%%)\n", Rounds,
                100.0 * clientRatios[Rounds / 2]);
    std::printf("program / bare, median of %d rounds: %.1f%% (target at least 95%%)\n", Rounds,
                100.0 * ratios[Rounds / 2]);
    std::printf("client CPU per row: program %.1f us, bare loop %.1f us (difference %.1f us)\n",
                programCpu * 1e6 / Rows, bareCpu * 1e6 / Rows, (programCpu - bareCpu) * 1e6 / Rows);
    std::printf("peak memory growth during a copy: %.1f MB (target below 2 x %.1f + 50 = %.1f MB)\n", peakGrowthMb,
                dataMb, 2 * dataMb + 50);
    return 0;
}
