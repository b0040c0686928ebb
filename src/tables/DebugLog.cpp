#include "tables/DebugLog.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"

QString DebugLog::runtimeErrorText(int number, const QString &description)
{
    return QStringLiteral("Run-time error: ") + QString::number(number) + u' ' + description;
}

bool DebugLog::executeAndLog(db::Connection &connection, std::string_view statement)
{
    pane_.appendEntry(statement);
    try {
        connection.execute(statement);
        return true;
    } catch (const db::DbError &e) {
        enableSupportButton_();
        const QString message = runtimeErrorText(e.number(), QString::fromUtf8(e.what()));
        dialogs_.message(message);
        pane_.appendEntry(message.toStdString());
        return false;
    }
}
