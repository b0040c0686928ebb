#include "support/Sandbox.h"

#include <QCoreApplication>
#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <csignal>
#include <atomic>

namespace sandbox {
namespace {

QString env(const char *name, const char *fallback)
{
    const QByteArray v = qgetenv(name);
    return v.isEmpty() ? QString::fromLatin1(fallback) : QString::fromUtf8(v);
}

} // namespace

sides::ConnectionProfile serverProfile(int server, const QString &database)
{
    sides::ConnectionProfile p;
    p.server = env("TABULINK_HOST", "127.0.0.1");
    p.user = env("TABULINK_USER", "tabulink");
    // 1 and 2: this machine's MariaDB; 3: 10.5 and 4: 11.8, from the sandbox's Debian trees;
    // 5: MySQL 9.7, whose certificate is checked against the CA it made itself, since its logins
    // send the password (caching_sha2_password) where no certificate is remembered.
    static const char *const passwords[] = {"sandbox-one", "sandbox-two", "sandbox-three", "sandbox-four", "sandbox-five"};
    const int n = std::clamp(server, 1, 5);
    const QByteArray number = QByteArray::number(n);
    p.password = env(QByteArray("TABULINK_PASSWORD" + number).constData(), passwords[n - 1]);
    p.port = env(QByteArray("TABULINK_PORT" + number).constData(), QByteArray::number(33060 + n).constData());
    p.database = database;
    if (n == MySqlServer) {
        p.security.mode = platform::ConnectionSecurity::Mode::VerifyCa;
        p.security.caFile = env("TABULINK_MYSQL_CA", "/nonexistent").toStdString();
    }
    return p;
}

void openOnServer(platform::Connection &c, int server, const QString &database)
{
    const sides::ConnectionProfile p = serverProfile(server, database);
    c.setSecurity(p.security);
    c.open(sides::connectionString(p).toStdString());
}

std::string serverConnectionString(int server, const QString &database)
{
    return sides::connectionString(serverProfile(server, database)).toStdString();
}

void execOnServer(int server, const std::string &sql)
{
    platform::Connection c;
    openOnServer(c, server, {});
    c.execute(sql);
}

GlobalSetting::GlobalSetting(int server, const std::string &variable, const std::string &value)
    : server_(server), variable_(variable)
{
    platform::Connection c;
    openOnServer(c, server, {});
    platform::RecordSet r = c.execute("SELECT @@GLOBAL." + variable);
    const std::string old(r.value(0).bytes);
    r.close();
    const bool number = !old.empty() && old.find_first_not_of("0123456789") == std::string::npos;
    oldValue_ = number ? old : "'" + old + "'";
    c.execute("SET GLOBAL " + variable + " = " + value);
}

GlobalSetting::~GlobalSetting()
{
    try {
        execOnServer(server_, "SET GLOBAL " + variable_ + " = " + oldValue_);
    } catch (const std::exception &e) {
        qWarning("could not set %s back: %s", variable_.c_str(), e.what());
    }
}

ScratchDatabase::ScratchDatabase(int server, const QString &prefix) : server_(server)
{
    static std::atomic<int> counter{0};
    name_ = QStringLiteral("t_%1_%2_%3").arg(prefix).arg(QCoreApplication::applicationPid()).arg(++counter);
    execOnServer(server_, "DROP DATABASE IF EXISTS `" + name_.toStdString() + "`");
    execOnServer(server_, "CREATE DATABASE `" + name_.toStdString() + "` CHARACTER SET utf8mb4");
}

ScratchDatabase::~ScratchDatabase()
{
    connection_.reset();
    try {
        execOnServer(server_, "DROP DATABASE IF EXISTS `" + name_.toStdString() + "`");
    } catch (const std::exception &) {
        // A test that stopped its server leaves the database for the next run's DROP ... IF EXISTS.
    }
}

QString ScratchDatabase::connectionString() const { return sides::connectionString(profile()); }

platform::Connection &ScratchDatabase::connection() const
{
    if (!connection_ || !connection_->isOpen()) {
        connection_ = std::make_unique<platform::Connection>();
        openOnServer(*connection_, server_, name_);
    }
    return *connection_;
}

void ScratchDatabase::exec(const std::string &sql) const { connection().execute(sql); }

Rows ScratchDatabase::query(const std::string &sql) const
{
    Rows rows;
    platform::RecordSet r = connection().execute(sql);
    while (!r.eof()) {
        std::vector<Cell> row;
        for (int c = 0; c < r.fieldCount(); ++c) {
            const platform::FieldValue v = r.value(c);
            row.push_back(v.isNull ? Cell() : Cell(std::string(v.bytes)));
        }
        rows.push_back(std::move(row));
        r.moveNext();
    }
    return rows;
}

QStringList ScratchDatabase::tables() const
{
    QStringList names;
    for (const auto &row : query("SHOW TABLES"))
        names << QString::fromStdString(*row[0]);
    names.sort();
    return names;
}

QString missingServer(int server)
{
    try {
        platform::Connection c;
        openOnServer(c, server, {});
        return {};
    } catch (const std::exception &e) {
        if (server < 3)
            return QStringLiteral("The sandbox server %1 is not up: %2").arg(server).arg(QString::fromUtf8(e.what()));
        const QString release = server == 3 ? QStringLiteral("bullseye")
                                : server == 4 ? QStringLiteral("trixie")
                                              : QStringLiteral("sid");
        QFile reason(env("TABULINK_TREES_DIR", "/nonexistent") + u'/' + release + QStringLiteral(".failed"));
        const QString why = reason.open(QIODevice::ReadOnly) ? QString::fromUtf8(reason.readAll()).trimmed()
                                                             : QString::fromUtf8(e.what());
        return QStringLiteral("The sandbox has no server %1 (Debian %2's %3): %4")
            .arg(server)
            .arg(release, server == MySqlServer ? QStringLiteral("MySQL") : QStringLiteral("MariaDB"), why);
    }
}

int killSshSessions()
{
    QFile pidFile(qEnvironmentVariable("TABULINK_SSH_DIR") + QStringLiteral("/sshd.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return 0;
    const QString pid = QString::fromLatin1(pidFile.readAll().trimmed());
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (!children.open(QIODevice::ReadOnly))
        return 0;
    int killed = 0;
    for (const QByteArray &child : children.readAll().trimmed().split(' '))
        if (!child.isEmpty() && ::kill(child.toInt(), SIGKILL) == 0)
            ++killed;
    return killed;
}

} // namespace sandbox
