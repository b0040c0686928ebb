#include "sides/ConnectionProfile.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"

namespace sides {

namespace {

QString connectionValue(const QString &value)
{
    if (!value.contains(u';') && !value.contains(u'{') && !value.contains(u'}'))
        return value;
    QString braced = value;
    braced.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + braced + u'}';
}

// Logs in with the profile's security; when the server's certificate is new and the user trusts
// it, once more with that certificate accepted.
template <class LogIn>
void logInTrusting(const ConnectionProfile &profile, LogIn &&logIn)
{
    try {
        logIn(profile.security);
    } catch (const platform::CertificateRefusal &refusal) {
        if (refusal.kind() != platform::CertificateRefusal::Kind::Untrusted || !profile.confirmCertificate
            || !profile.confirmCertificate(refusal))
            throw;
        platform::ConnectionSecurity accepted = profile.security;
        accepted.acceptedCertificate = refusal.offered();
        logIn(accepted);
    }
}

} // namespace

QString serverAddress(const ConnectionProfile &p)
{
    return p.server + u':' + (p.port.isEmpty() ? QStringLiteral("3306") : p.port);
}

QString connectionString(const ConnectionProfile &p)
{
    return QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};") + QStringLiteral("SERVER=") + connectionValue(p.server)
           + u';' + QStringLiteral("DATABASE=") + connectionValue(p.database) + u';' + QStringLiteral("USER=")
           + connectionValue(p.user) + u';' + QStringLiteral("PASSWORD=") + connectionValue(p.password) + u';'
           + QStringLiteral("PORT=") + connectionValue(p.port) + u';';
}

void openConnection(platform::Connection &connection, const ConnectionProfile &profile)
{
    logInTrusting(profile, [&](const platform::ConnectionSecurity &security) {
        connection.setSecurity(security);
        connection.open(connectionString(profile).toStdString());
    });
    if (profile.onLogin)
        profile.onLogin(connection.tlsState());
}

void openConnectionsTogether(platform::Connection &first, platform::Connection &second, const ConnectionProfile &profile)
{
    logInTrusting(profile, [&](const platform::ConnectionSecurity &security) {
        // A login retried with the certificate accepted starts both sessions anew.
        for (platform::Connection *c : {&first, &second})
            if (c->isOpen())
                c->close();
        first.setSecurity(security);
        second.setSecurity(security);
        platform::Connection::openTogether(first, second, connectionString(profile).toStdString());
    });
    if (profile.onLogin) {
        profile.onLogin(first.tlsState());
        profile.onLogin(second.tlsState());
    }
}

} // namespace sides
