#include "sides/ConnectionProfile.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "sides/SideTunnel.h"

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

// Where a login of the profile connects: its server, or the local end of its SSH tunnel; then the
// name the server's certificate must be made out to is still the server's own.
struct LoginTarget {
    std::string connectionString;
    platform::ConnectionSecurity security;
    int localPort = 0; // through a tunnel: the port of its local end
};

LoginTarget loginTarget(const ConnectionProfile &profile)
{
    if (!profile.tunnel || !profile.tunnel->chosen())
        return {connectionString(profile).toStdString(), profile.security, 0};
    bool ok = false;
    const int port = profile.port.trimmed().isEmpty() ? 3306 : profile.port.trimmed().toInt(&ok);
    if (!profile.port.trimmed().isEmpty() && (!ok || port < 1 || port > 65535))
        throw platform::DbError(2003, "The port \"" + profile.port.toStdString() + "\" is not a number from 1 to 65535.");
    ConnectionProfile local = profile;
    local.server = QStringLiteral("127.0.0.1");
    local.port = QString::number(profile.tunnel->reach(profile.server.trimmed().toStdString(), port));
    LoginTarget target{connectionString(local).toStdString(), profile.security, local.port.toInt()};
    target.security.identityName = profile.server.trimmed().toStdString();
    return target;
}

// Logs in with the profile's security; when the server's certificate is new and the user trusts
// it, once more with that certificate accepted.
template <class LogIn>
void logInTrusting(const ConnectionProfile &profile, LogIn &&logIn)
{
    const LoginTarget target = loginTarget(profile);
    const auto logInWith = [&](const platform::ConnectionSecurity &security) { logIn(security, target.connectionString); };
    try {
        logInWith(target.security);
    } catch (const platform::CertificateRefusal &refusal) {
        if (refusal.kind() != platform::CertificateRefusal::Kind::Untrusted || !profile.confirmCertificate
            || !profile.confirmCertificate(refusal))
            throw;
        platform::ConnectionSecurity accepted = target.security;
        accepted.acceptedCertificate = refusal.offered();
        logInWith(accepted);
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
    logInTrusting(profile, [&](const platform::ConnectionSecurity &security, const std::string &to) {
        connection.setSecurity(security);
        connection.open(to);
    });
    if (profile.onLogin)
        profile.onLogin(connection.tlsState());
}

ConnectionProfile furtherSessionProfile(const ConnectionProfile &profile, const platform::TlsState &met)
{
    ConnectionProfile further = profile;
    if (profile.tunnel && profile.tunnel->chosen()) {
        const LoginTarget target = loginTarget(profile);
        further.server = QStringLiteral("127.0.0.1");
        further.port = QString::number(target.localPort);
        further.security = target.security;
        further.tunnel = nullptr;
    }
    further.onLogin = nullptr;
    further.confirmCertificate = nullptr;
    if (met.encrypted && !met.certificate.empty()) {
        further.security.rememberedCertificate = met.certificate;
        further.security.acceptedCertificate.clear();
    }
    return further;
}

void openConnectionsTogether(platform::Connection &first, platform::Connection &second, const ConnectionProfile &profile)
{
    logInTrusting(profile, [&](const platform::ConnectionSecurity &security, const std::string &to) {
        // A login retried with the certificate accepted starts both sessions anew.
        for (platform::Connection *c : {&first, &second})
            if (c->isOpen())
                c->close();
        first.setSecurity(security);
        second.setSecurity(security);
        platform::Connection::openTogether(first, second, to);
    });
    if (profile.onLogin) {
        profile.onLogin(first.tlsState());
        profile.onLogin(second.tlsState());
    }
}

} // namespace sides
