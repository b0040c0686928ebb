#include "transfer/shared/StatementSink.h"

#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/ServerText.h"

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

bool StatementSink::sendExpectingWarnings(std::string_view statement, unsigned int warnings)
{
    if (!send(statement))
        return false;
    try {
        if (destination_.warningCount() == warnings)
            return true;
        // One of them is not an ENUM's error value: the statement is refused with it.
        const platform::DbError refusal = warningRefusal(destination_, true);
        refuse(runtimeErrorText(refusal.number(), QString::fromUtf8(refusal.what())));
    } catch (const platform::DbError &e) {
        refuse(runtimeErrorText(e.number(), QString::fromUtf8(e.what())));
    }
    return false;
}

void StatementSink::refuseTooBig(std::string_view statement, const QString &runtimeError)
{
    constexpr size_t Shown = 200;
    std::string head(statement.substr(0, Shown));
    // Never half a character.
    while (!head.empty() && head.size() < statement.size() && (static_cast<unsigned char>(statement[head.size()]) & 0xC0) == 0x80)
        head.pop_back();
    log_.appendEntry(head + "… (" + std::to_string(statement.size()) + " bytes, not sent)");
    refuse(runtimeError);
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
