#include "sides/ConnectionProfile.h"

#include "platform/DbConnection.h"

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

} // namespace

QString connectionString(const ConnectionProfile &p)
{
    return QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};") + QStringLiteral("SERVER=") + connectionValue(p.server)
           + u';' + QStringLiteral("DATABASE=") + connectionValue(p.database) + u';' + QStringLiteral("USER=")
           + connectionValue(p.user) + u';' + QStringLiteral("PASSWORD=") + connectionValue(p.password) + u';'
           + QStringLiteral("PORT=") + connectionValue(p.port) + u';';
}

void openConnection(platform::Connection &connection, const ConnectionProfile &profile)
{
    connection.setSecurity(profile.security);
    connection.open(connectionString(profile).toStdString());
    if (profile.onLogin)
        profile.onLogin(connection.tlsState());
}

void openConnectionsTogether(platform::Connection &first, platform::Connection &second, const ConnectionProfile &profile)
{
    first.setSecurity(profile.security);
    second.setSecurity(profile.security);
    platform::Connection::openTogether(first, second, connectionString(profile).toStdString());
    if (profile.onLogin) {
        profile.onLogin(first.tlsState());
        profile.onLogin(second.tlsState());
    }
}

} // namespace sides
