#include "transfer/StatementSink.h"

#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "transfer/LogPane.h"

namespace transfer {

QString runtimeErrorText(int number, const QString &description)
{
    return QStringLiteral("Run-time error: ") + QString::number(number) + u' ' + description;
}

bool StatementSink::send(std::string_view statement)
{
    if (!sending_)
        return false;
    log_.appendEntry(statement);
    try {
        destination_.execute(statement);
        return true;
    } catch (const platform::DbError &e) {
        refuse(runtimeErrorText(e.number(), QString::fromUtf8(e.what())));
        return false;
    }
}

void StatementSink::refuse(const QString &runtimeError)
{
    sending_ = false;
    onFailure_(runtimeError);
}

void RuntimeErrorReport::operator()(const QString &runtimeError) const
{
    enableSupportButton_();
    dialogs_.message(runtimeError);
    log_.appendEntry(runtimeError.toStdString());
}

} // namespace transfer
