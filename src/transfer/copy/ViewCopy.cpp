#include "transfer/copy/ViewCopy.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/DefinitionCheck.h"
#include "transfer/shared/ServerText.h"

#include <QRegularExpression>


namespace transfer {

namespace {

// Drops every `db`. in front of a name, outside string literals.
std::string withoutDatabase(std::string_view sql, const std::string &database, bool backslashEscapes)
{
    std::string qualifier;
    platform::appendBackquoted(qualifier, database);
    qualifier += '.';
    std::string out;
    out.reserve(sql.size());
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            const size_t start = i;
            for (++i; i < sql.size(); ++i) {
                if (backslashEscapes && sql[i] == '\\') {
                    ++i;
                } else if (sql[i] == c) {
                    if (i + 1 < sql.size() && sql[i + 1] == c)
                        ++i;
                    else
                        break;
                }
            }
            out.append(sql.substr(start, i - start + 1));
            continue;
        }
        if (c == '`' && sql.substr(i, qualifier.size()) == qualifier) {
            i += qualifier.size() - 1;
            continue;
        }
        if (c == '`') { // another name: copied whole, doubled backquotes and all
            const size_t start = i;
            for (++i; i < sql.size(); ++i) {
                if (sql[i] == '`') {
                    if (i + 1 < sql.size() && sql[i + 1] == '`')
                        ++i;
                    else
                        break;
                }
            }
            out.append(sql.substr(start, i - start + 1));
            continue;
        }
        out += c;
    }
    return out;
}

} // namespace

std::string viewDefinitionFor(platform::Connection &source, const std::string &view, const std::string &sourceDatabase)
{
    std::string show = "SHOW CREATE VIEW ";
    platform::appendBackquoted(show, view);
    platform::RecordSet r = source.execute(show);
    if (r.eof() || r.fieldCount() < 2)
        throw platform::DbError(1347, "No definition of the view " + view);
    std::string definition(r.value(1).bytes);
    r.close();
    // CREATE ALGORITHM=… DEFINER=`u`@`h` SQL SECURITY … VIEW `v` AS select …, and nothing else:
    // whatever stands before VIEW `v` AS must be those options, or the text is some other statement.
    const auto notOne = [&] {
        return platform::DbError(0, "The server " + source.serverName() + " sent a definition of the view " + view
                                        + " that is not one. It was not passed on: nothing was sent for it.");
    };
    const std::string head = "CREATE ";
    std::string named = " VIEW ";
    platform::appendBackquoted(named, view);
    named += " AS ";
    const size_t viewWord = definition.find(named);
    if (!definition.starts_with(head) || viewWord == std::string::npos)
        throw notOne();
    std::string options = definition.substr(head.size(), viewWord - head.size());
    const size_t definer = options.find("DEFINER=");
    if (definer != std::string::npos) {
        const size_t end = options.find(" SQL SECURITY", definer);
        options.erase(definer, end == std::string::npos ? std::string::npos : end + 1 - definer);
    }
    static const QRegularExpression allowed(QRegularExpression::anchoredPattern(
        QStringLiteral("(ALGORITHM=(UNDEFINED|MERGE|TEMPTABLE) ?)?(SQL SECURITY (DEFINER|INVOKER))? ?")));
    if (!allowed.match(QString::fromStdString(options)).hasMatch())
        throw notOne();
    checkViewBody(source, view, std::string_view(definition).substr(viewWord + named.size()));
    std::string made = head + options + definition.substr(viewWord);
    made = withoutDatabase(made, sourceDatabase, !source.noBackslashEscapes());
    checkOneStatement(source, "a definition of the view " + view, made, source.noBackslashEscapes());
    return made;
}

bool destinationHasView(platform::Connection &destination, const std::string &name)
{
    std::string q = "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_TYPE = "
                    "'VIEW' AND TABLE_NAME = ";
    platform::appendStringLiteral(q, name, destination.noBackslashEscapes());
    platform::RecordSet r = destination.execute(q);
    const bool has = !r.eof() && r.value(0).bytes != "0";
    r.close();
    return has;
}

} // namespace transfer
