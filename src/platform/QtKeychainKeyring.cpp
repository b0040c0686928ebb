#include "platform/QtKeychainKeyring.h"

#include <qt6keychain/keychain.h>

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

} // namespace

Keyring::Result QtKeychainKeyring::read(const QString &key, QString &secret, QString &why)
{
    QKeychain::ReadPasswordJob job(Service);
    const Result r = runJob(job, key, why);
    if (r == Result::Done)
        secret = job.textData();
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
