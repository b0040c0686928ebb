#include "transfer/compare/MatchScript.h"

namespace transfer {

MatchScript::MatchScript(const QString &path, const std::string &heading, const std::string &sessionSettings)
    : file_(path)
{
    failed_ = !file_.open(QIODevice::WriteOnly);
    std::string top;
    for (size_t at = 0; at < heading.size();) {
        const size_t end = std::min(heading.find('\n', at), heading.size());
        top += "-- " + heading.substr(at, end - at) + '\n';
        at = end + 1;
    }
    write(top + "SET " + sessionSettings);
}

void MatchScript::write(std::string_view statement)
{
    if (failed_)
        return;
    const std::string line = std::string(statement) + ";\n";
    failed_ = file_.write(line.data(), static_cast<qint64>(line.size())) != static_cast<qint64>(line.size());
}

bool MatchScript::finish(QString &why)
{
    if (failed_ || !file_.commit()) {
        why = file_.errorString();
        file_.cancelWriting();
        return false;
    }
    return true;
}

} // namespace transfer
