// The installed program's command line, run as a script or cron runs it: no display, the logins
// of a settings file as the windows save them, against the sandbox servers. What it prints, its
// exit codes, and what it leaves in the databases.
#include "app/SavedLogin.h"
#include "app/SecuritySettings.h"
#include "app/SettingsStore.h"
#include "app/SshSettings.h"
#include "platform/QSettingsBackend.h"
#include "support/CopyHarness.h"
#include "support/Sandbox.h"
#include "transfer/copy/CompleteCopy.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

struct Ran {
    int code = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
};

// Every cell of a table, as bytes (a TIMESTAMP as its instant: the servers are in other zones).
Rows cells(const ScratchDatabase &db, const std::string &table)
{
    return db.query("SELECT id, HEX(v), HEX(b), d, UNIX_TIMESTAMP(ts) FROM `" + table + "` ORDER BY id");
}

void createValues(const ScratchDatabase &db, const std::string &table, int rows)
{
    db.exec("CREATE TABLE `" + table + "` (id INT PRIMARY KEY, v VARCHAR(40), b VARBINARY(8), d DECIMAL(20,6), "
            "ts TIMESTAMP(3) NULL)");
    db.exec("INSERT INTO `" + table + "` SELECT seq, CONCAT('Zoë ', seq, ' O''Brien 😀'), X'00FF275C0A', seq / 7, "
            "FROM_UNIXTIME(seq * 1000) FROM seq_1_to_" + std::to_string(rows));
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void copiesEveryCellAsTheWindowDoes_data();
    void copiesEveryCellAsTheWindowDoes();
    void exitCodesAndJsonTellTheOutcome();
    void aTerminalShowsTheBar();
    void passwordsFromTheEnvironmentOrAFile();
    void aTableIsReplacedOnlyWhenAsked();
    void matchChangesOnlyWhenToldTo();
    void interruptedCopyLeavesTheOldTable();
    void throughTheSshTunnelTheSettingsName();

private:
    // The installed program, run without a display, with these arguments and variables.
    // wrapper: a program that runs the installed one (arguments then go in it).
    Ran run(const QStringList &arguments, const QStringList &environment = {}, int interruptAfterMs = -1,
            const QStringList &wrapper = {});
    // A settings file as the connection window saves it, for #1 and #2 on these databases.
    QString settingsFor(const ScratchDatabase &one, const ScratchDatabase &two, bool withSecondPassword = true);

    QTemporaryDir prefix_;
    QTemporaryDir home_;
    QString program_;
    int settingsFiles_ = 0;
};

void CommandLineTest::initTestCase()
{
    QProcess install;
    install.start(QStringLiteral(TABULINK_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(TABULINK_BUILD_DIR), QStringLiteral("--prefix"),
                   prefix_.path()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
    program_ = prefix_.filePath(QStringLiteral("bin/tabulink"));
    QVERIFY(QFileInfo(program_).isExecutable());
    // The manual and the shell's completion come with it.
    QVERIFY(QFileInfo::exists(prefix_.filePath(QStringLiteral("share/man/man1/tabulink.1"))));
    const QString completion = prefix_.filePath(QStringLiteral("share/bash-completion/completions/tabulink"));
    QProcess bash;
    bash.start(QStringLiteral("bash"), {QStringLiteral("-n"), completion});
    QVERIFY(bash.waitForFinished());
    QVERIFY2(bash.exitCode() == 0, bash.readAllStandardError().constData());
}

Ran CommandLineTest::run(const QStringList &arguments, const QStringList &environment, int interruptAfterMs,
                         const QStringList &wrapper)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "TABULINK_PASSWORD1", "TABULINK_PASSWORD2"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path()); // never the user's own settings
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/no-bus"));
    for (const QString &pair : environment)
        env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    QProcess p;
    p.setProcessEnvironment(env);
    if (wrapper.isEmpty())
        p.start(program_, arguments);
    else
        p.start(wrapper.first(), wrapper.mid(1));
    if (!p.waitForStarted())
        return {};
    if (interruptAfterMs >= 0) {
        QThread::msleep(static_cast<unsigned long>(interruptAfterMs));
        ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    }
    p.waitForFinished(300000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString CommandLineTest::settingsFor(const ScratchDatabase &one, const ScratchDatabase &two, bool withSecondPassword)
{
    const QString path = home_.filePath(QStringLiteral("settings%1.ini").arg(++settingsFiles_));
    platform::QSettingsBackend backend(platform::QSettingsBackend::AtPath{path}, QStringLiteral("Tabulink"));
    app::SettingsStore store(backend);
    for (const auto &[side, db] : {std::pair{1, &one}, std::pair{2, &two}}) {
        const sides::ConnectionProfile p = db->profile();
        const app::LoginFields f = app::loginFields(side);
        store.write(f.server.key, p.server);
        store.write(f.port.key, p.port);
        store.write(f.user.key, p.user);
        store.write(f.database.key, p.database);
        store.write(f.password.key, side == 2 && !withSecondPassword ? QString() : p.password);
        app::SideSecurity security;
        security.connection = p.security;
        app::writeSideSecurity(store, side, security);
    }
    return path;
}

void CommandLineTest::copiesEveryCellAsTheWindowDoes_data()
{
    QTest::addColumn<bool>("complete");
    QTest::newRow("copy") << false;
    QTest::newRow("copy --complete") << true;
}

void CommandLineTest::copiesEveryCellAsTheWindowDoes()
{
    QFETCH(bool, complete);
    ScratchDatabase one(1, QStringLiteral("clicopy1"));
    ScratchDatabase two(2, QStringLiteral("clicopy2"));
    ScratchDatabase byWindow(2, QStringLiteral("clicopyw"));
    createValues(one, "t", 3000);
    createValues(one, "u", 10);
    QStringList arguments{QStringLiteral("copy"), QStringLiteral("--settings"), settingsFor(one, two),
                          QStringLiteral("t"), QStringLiteral("u")};
    if (complete)
        arguments.insert(1, QStringLiteral("--complete"));
    const Ran r = run(arguments);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.lines().size(), 2);
    QVERIFY2(r.lines().contains(QStringLiteral("t: copied")), qPrintable(r.out));
    QVERIFY2(!r.err.contains(QStringLiteral("rows/s")), qPrintable(r.err)); // no bar where no terminal reads it
    QVERIFY(r.lines().contains(QStringLiteral("u: copied")));
    // The same tables copied by the window's runner: every cell the same.
    CopyHarness h;
    h.copy(one, byWindow, {QStringLiteral("t"), QStringLiteral("u")},
           complete ? CopyHarness::Run(transfer::runCompleteTransfer) : CopyHarness::Run(transfer::runTransfer));
    QCOMPARE(cells(two, "t"), cells(byWindow, "t"));
    QCOMPARE(cells(two, "t"), cells(one, "t"));
    QCOMPARE(cells(two, "u"), cells(one, "u"));
    const bool keyed = !two.query("SHOW INDEX FROM t WHERE Key_name = 'PRIMARY'").empty();
    QCOMPARE(keyed, complete);
}

void CommandLineTest::aTerminalShowsTheBar()
{
    ScratchDatabase one(1, QStringLiteral("clibar1"));
    ScratchDatabase two(2, QStringLiteral("clibar2"));
    createValues(one, "t", 20000);
    // script(1) gives the program a terminal, as a person's shell does.
    QStringList command{program_, QStringLiteral("copy"), QStringLiteral("--settings"), settingsFor(one, two),
                        QStringLiteral("t")};
    for (QString &word : command)
        word = u'\'' + word + u'\'';
    const Ran r = run({}, {}, -1, {QStringLiteral("script"), QStringLiteral("-qec"), command.join(u' '), QStringLiteral("/dev/null")});
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QStringLiteral("20000 of 20000 rows, ")), qPrintable(r.out));
    QVERIFY(r.out.contains(QStringLiteral(" rows/s")));
    QVERIFY(r.out.contains(QStringLiteral("s left")));
    QVERIFY(r.out.contains(QStringLiteral("t: copied")));
}

void CommandLineTest::exitCodesAndJsonTellTheOutcome()
{
    ScratchDatabase one(1, QStringLiteral("clicmp1"));
    ScratchDatabase two(2, QStringLiteral("clicmp2"));
    createValues(one, "t", 500);
    createValues(two, "t", 500);
    const QString settings = settingsFor(one, two);
    const QStringList compare{QStringLiteral("compare"), QStringLiteral("--settings"), settings};

    Ran r = run(compare + QStringList{QStringLiteral("t")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("t: same (500 rows)\n"));
    QVERIFY2(r.err.isEmpty() || !r.err.contains(QStringLiteral("Run-time error")), qPrintable(r.err));

    two.exec("UPDATE t SET v = 'other' WHERE id = 42");
    r = run(compare + QStringList{QStringLiteral("--all"), QStringLiteral("--json")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.lines().size(), 1);
    const QJsonObject o = QJsonDocument::fromJson(r.lines()[0].toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("table")).toString(), QStringLiteral("t"));
    QCOMPARE(o.value(QStringLiteral("outcome")).toString(), QStringLiteral("differs"));
    QCOMPARE(o.value(QStringLiteral("rows")).toInt(), 500);
    QCOMPARE(o.value(QStringLiteral("keysDiffering")).toVariant().toStringList(), QStringList{QStringLiteral("42")});
    QCOMPARE(o.value(QStringLiteral("message")).toString(), QStringLiteral("t: rows differ: 1 of 500 (keys 42 differs)"));

    // From #2, with a table #2 does not have: the rest is still compared.
    r = run(compare + QStringList{QStringLiteral("--from"), QStringLiteral("2"), QStringLiteral("t"),
                                  QStringLiteral("nosuch")});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.lines().contains(QStringLiteral("t: rows differ: 1 of 500 (keys 42 differs)")), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("nosuch")), qPrintable(r.out));

    r = run(compare + QStringList{QStringLiteral("--password1"), QStringLiteral("wrong"), QStringLiteral("t")});
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains(QStringLiteral("cannot log in to MySQL #1")), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());

    r = run({QStringLiteral("compare"), QStringLiteral("--colour"), QStringLiteral("t")});
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains(QStringLiteral("Unknown option 'colour'")), qPrintable(r.err));
    r = run({QStringLiteral("compare"), QStringLiteral("--from"), QStringLiteral("3"), QStringLiteral("t")});
    QCOMPARE(r.code, 3);
    r = run({QStringLiteral("compare"), QStringLiteral("--tables-at-once"), QStringLiteral("0"), QStringLiteral("t")});
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains(QStringLiteral("--tables-at-once takes a number from 1 to 16, not \"0\".")), qPrintable(r.err));
    // One table at a time says what several at once say.
    r = run(compare + QStringList{QStringLiteral("--tables-at-once"), QStringLiteral("1"), QStringLiteral("--from"),
                                  QStringLiteral("2"), QStringLiteral("t"), QStringLiteral("nosuch")});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.lines().contains(QStringLiteral("t: rows differ: 1 of 500 (keys 42 differs)")), qPrintable(r.out));
    r = run({QStringLiteral("--help")});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("Exit codes: 0 done")));
    QVERIFY(r.out.contains(QStringLiteral("seen by every user of the computer through ps")));
}

void CommandLineTest::passwordsFromTheEnvironmentOrAFile()
{
    ScratchDatabase one(1, QStringLiteral("clipw1"));
    ScratchDatabase two(2, QStringLiteral("clipw2"));
    createValues(one, "t", 5);
    createValues(two, "t", 5);
    const QStringList compare{QStringLiteral("compare"), QStringLiteral("--settings"), settingsFor(one, two, false),
                              QStringLiteral("t")};
    Ran r = run(compare);
    QCOMPARE(r.code, 3); // #2's password is not saved
    r = run(compare, {QStringLiteral("TABULINK_PASSWORD2=") + two.profile().password});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QFile file(home_.filePath(QStringLiteral("password2")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(two.profile().password.toUtf8() + "\n");
    file.close();
    r = run(compare + QStringList{QStringLiteral("--password-file2"), file.fileName()});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    r = run(compare + QStringList{QStringLiteral("--password-file2"), home_.filePath(QStringLiteral("none"))});
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains(QStringLiteral("cannot be read")), qPrintable(r.err));
}

void CommandLineTest::aTableIsReplacedOnlyWhenAsked()
{
    ScratchDatabase one(1, QStringLiteral("clirep1"));
    ScratchDatabase two(2, QStringLiteral("clirep2"));
    createValues(one, "t", 100);
    two.exec("CREATE TABLE t (id INT PRIMARY KEY)");
    two.exec("INSERT INTO t VALUES (1)");
    const QString settings = settingsFor(one, two);
    for (const bool complete : {false, true}) {
        QStringList copy{QStringLiteral("copy"), QStringLiteral("--settings"), settings, QStringLiteral("t")};
        if (complete)
            copy << QStringLiteral("--complete");
        const Ran r = run(copy);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QStringLiteral("No (without --replace)")), qPrintable(r.err));
        QCOMPARE(two.query("SELECT COUNT(*) FROM t"), (Rows{{Cell("1")}}));
    }
    const Ran r = run({QStringLiteral("copy"), QStringLiteral("--complete"), QStringLiteral("--replace"),
                       QStringLiteral("--settings"), settings, QStringLiteral("t")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(cells(two, "t"), cells(one, "t"));
}

void CommandLineTest::matchChangesOnlyWhenToldTo()
{
    ScratchDatabase one(1, QStringLiteral("climatch1"));
    ScratchDatabase two(2, QStringLiteral("climatch2"));
    createValues(one, "t", 1000);
    createValues(two, "t", 1000);
    two.exec("UPDATE t SET v = 'x' WHERE id = 7");
    two.exec("DELETE FROM t WHERE id = 8");
    const QString settings = settingsFor(one, two);
    const QStringList match{QStringLiteral("match"), QStringLiteral("--settings"), settings, QStringLiteral("t")};
    Ran r = run(match + QStringList{QStringLiteral("--dry-run")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QStringLiteral("t: 1 row to add, 1 to change, 0 to remove on #2\n"));
    QVERIFY(cells(two, "t") != cells(one, "t"));

    const QString script = home_.filePath(QStringLiteral("match.sql"));
    r = run(match + QStringList{QStringLiteral("--script"), script});
    QCOMPARE(r.code, 1);
    QVERIFY(QFileInfo(script).size() > 0);
    QVERIFY(cells(two, "t") != cells(one, "t"));

    const QString log = home_.filePath(QStringLiteral("match.log"));
    r = run(match + QStringList{QStringLiteral("--log"), log});
    QVERIFY2(r.code == 0, qPrintable(r.err + r.out));
    QCOMPARE(r.out, QStringLiteral("t: 1 added, 1 changed, 0 removed on #2; now same (1,000 rows)\n"));
    QCOMPARE(cells(two, "t"), cells(one, "t"));
    QFile statements(log);
    QVERIFY(statements.open(QIODevice::ReadOnly));
    QVERIFY(statements.readAll().contains("UPDATE `t` SET `v` = "));
}

void CommandLineTest::interruptedCopyLeavesTheOldTable()
{
    ScratchDatabase one(1, QStringLiteral("cliint1"));
    ScratchDatabase two(2, QStringLiteral("cliint2"));
    createValues(one, "t", 400000);
    two.exec("CREATE TABLE t (id INT PRIMARY KEY, old INT)");
    two.exec("INSERT INTO t VALUES (1, 1), (2, 2)");
    const Ran r = run({QStringLiteral("copy"), QStringLiteral("--complete"), QStringLiteral("--replace"),
                       QStringLiteral("--settings"), settingsFor(one, two), QStringLiteral("t")},
                      {}, 700);
    QCOMPARE(r.code, 130);
    QVERIFY2(r.err.contains(QStringLiteral("interrupted")), qPrintable(r.err));
    QCOMPARE(two.query("SELECT * FROM t ORDER BY id"), (Rows{{Cell("1"), Cell("1")}, {Cell("2"), Cell("2")}}));
    // The source's sessions end with the program, the one streaming rows too: none keeps the
    // source table locked while its server waits out a write time-out.
    QTRY_COMPARE_WITH_TIMEOUT(one.query("SELECT COUNT(*) FROM information_schema.processlist WHERE db = '"
                                        + one.name().toStdString() + "'")[0][0],
                              Cell("1"), 5000);
}

// The SSH tunnel a side's settings name is taken as the window would; an unknown host key is
// refused (nobody is there to say yes) until a known-hosts file knows it.
void CommandLineTest::throughTheSshTunnelTheSettingsName()
{
    const QString sshDir = qEnvironmentVariable("TABULINK_SSH_DIR");
    if (sshDir.isEmpty() || !QFileInfo::exists(sshDir + QStringLiteral("/sshd.pid")))
        QSKIP("The sandbox's OpenSSH server is not running (scripts/sandbox.sh start).");
    ScratchDatabase one(1, QStringLiteral("clissh1"));
    ScratchDatabase two(2, QStringLiteral("clissh2"));
    createValues(one, "t", 300);
    createValues(two, "t", 300);
    const QString settings = settingsFor(one, two);
    {
        platform::QSettingsBackend backend(platform::QSettingsBackend::AtPath{settings}, QStringLiteral("Tabulink"));
        app::SettingsStore store(backend);
        app::SideSsh ssh;
        ssh.enabled = true;
        ssh.host = QStringLiteral("127.0.0.1");
        ssh.port = qEnvironmentVariable("TABULINK_SSH_PORT");
        ssh.user = getuid() == 0 ? QStringLiteral("root") : qEnvironmentVariable("USER");
        ssh.login = platform::SshRoute::Login::KeyFile;
        ssh.keyFile = sshDir + QStringLiteral("/client_ed25519");
        app::writeSideSsh(store, 2, ssh);
    }
    const QStringList compare{QStringLiteral("compare"), QStringLiteral("--settings"), settings, QStringLiteral("t")};
    const QStringList home{QStringLiteral("HOME=") + home_.path()};
    Ran r = run(compare, home);
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains(QStringLiteral("is not trusted: nothing was sent to it")), qPrintable(r.err));

    // Known beside the settings file, as the window would have added it.
    QProcess scan;
    scan.start(QStringLiteral("ssh-keyscan"), {QStringLiteral("-p"), qEnvironmentVariable("TABULINK_SSH_PORT"),
                                               QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("127.0.0.1")});
    QVERIFY(scan.waitForFinished());
    QFile known(QFileInfo(settings).dir().filePath(QStringLiteral("known_hosts")));
    QVERIFY(known.open(QIODevice::WriteOnly));
    known.write(scan.readAllStandardOutput());
    known.close();
    r = run(compare, home);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("t: same (300 rows)\n"));
    known.remove();
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
