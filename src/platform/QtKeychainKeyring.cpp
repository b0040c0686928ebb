#include "platform/QtKeychainKeyring.h"

#include <qt6keychain/keychain.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QEventLoop>

namespace platform {

namespace {

const QString Service = QStringLiteral("Tabulink");

Keyring::Result runJob(QKeychain::Job &job, const QString &key, QString &why)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(key);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    switch (job.error()) {
    case QKeychain::NoError:
        return Keyring::Result::Done;
    case QKeychain::EntryNotFound:
        return Keyring::Result::NotFound;
    default:
        why = job.errorString();
        return Keyring::Result::Unavailable;
    }
}

// The keychain library reports an item of a locked keyring, whose unlock prompt failed or was
// dismissed, as not there at all. The Secret Service itself tells the two apart: its search
// names the locked items it holds, by the attributes the library stores them under.
bool lockedInSecretService(const QString &key)
{
    using Attributes = QMap<QString, QString>;
    qDBusRegisterMetaType<Attributes>();
    QDBusMessage search = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"),
                                                         QStringLiteral("/org/freedesktop/secrets"),
                                                         QStringLiteral("org.freedesktop.Secret.Service"),
                                                         QStringLiteral("SearchItems"));
    search << QVariant::fromValue(Attributes{{QStringLiteral("user"), key}, {QStringLiteral("server"), Service}});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(search, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2)
        return false;
    const auto locked = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().at(1));
    return !locked.isEmpty();
}

} // namespace

Keyring::Result QtKeychainKeyring::read(const QString &key, QString &secret, QString &why)
{
    QKeychain::ReadPasswordJob job(Service);
    const Result r = runJob(job, key, why);
    if (r == Result::Done)
        secret = job.textData();
    if (r == Result::NotFound && lockedInSecretService(key)) {
        why = QStringLiteral("the keyring is locked");
        return Result::Unavailable;
    }
    return r;
}

Keyring::Result QtKeychainKeyring::write(const QString &key, const QString &secret, QString &why)
{
    QKeychain::WritePasswordJob job(Service);
    job.setTextData(secret);
    return runJob(job, key, why);
}

Keyring::Result QtKeychainKeyring::remove(const QString &key, QString &why)
{
    QKeychain::DeletePasswordJob job(Service);
    const Result r = runJob(job, key, why);
    return r == Result::NotFound ? Result::Done : r;
}

} // namespace platform
