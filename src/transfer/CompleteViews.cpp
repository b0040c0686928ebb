#include "transfer/CompleteViews.h"

#include "app/Guard.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/EventYield.h"
#include "transfer/LogPane.h"
#include "transfer/Progress.h"
#include "transfer/RowCopy.h"
#include "transfer/SchemaCopy.h"
#include "transfer/Sessions.h"
#include "transfer/StatementSink.h"
#include "transfer/TableSetAside.h"
#include "transfer/ViewCopy.h"

namespace transfer {

namespace {

constexpr int NoSuchTable = 1146;

} // namespace

void ViewsAfterTables::copyAsTable(const QString &name)
{
    // A view has no rows of its own: it arrives as the plain copy makes it, a table.
    const std::string table = name.toStdString();
    run_.ui.log.appendEntry("-- " + table + ": a view, copied as a table of its columns and rows");
    std::vector<ColumnDefinition> columns;
    if (!run_.g.attempt(120, [&] { columns = describeColumns(run_.source, table, run_.ui.yield); }))
        return;
    const bool created = copySchema(run_.sink, table, columns, run_.session.types);
    const bool read = run_.g.attempt(122, [&] {
        const long long n = countRows(run_.source, table);
        RowStream rows(run_.source, table, columns, run_.session.noBackslashEscapes);
        copyRows(rows, run_.sink, table, n, run_.ui.yield, run_.ui.progress);
    });
    if (created)
        showListTable(run_.destinationList, name, run_.session.names);
    (created && read && run_.sink.sending() ? run_.copied : run_.failed) << name;
}

bool ViewsAfterTables::make()
{
    if (views_.empty())
        return true;
    std::string database;
    if (!run_.g.attempt(120, [&] {
            platform::RecordSet r = run_.source.execute("SELECT DATABASE()");
            database = r.eof() ? std::string() : std::string(r.value(0).bytes);
            r.close();
        }))
        return true;
    std::vector<Pending> pending = views_;
    for (bool progress = true; progress && !pending.empty();) {
        progress = false;
        for (auto view = pending.begin(); view != pending.end();) {
            try {
                makeView(*view, database);
                progress = true;
            } catch (const platform::DbError &e) {
                if (e.isConnectionLost()) {
                    run_.notCopied(view->name, e.number(), e.what());
                    return false;
                }
                if (e.number() == NoSuchTable) {
                    ++view;
                    continue;
                }
                run_.notCopied(view->name, e.number(), e.what());
            }
            view = pending.erase(view);
        }
    }
    for (const Pending &view : pending)
        copyAsTable(view.name);
    return true;
}

void ViewsAfterTables::makeView(const Pending &view, const std::string &database)
{
    const std::string name = view.name.toStdString();
    const std::string create = viewDefinitionFor(run_.source, name, database);
    const std::string existing = view.existing.toStdString();
    if (existing.empty()) {
        run_.send(create);
    } else if (destinationHasView(run_.destination, existing)) {
        run_.send("CREATE OR REPLACE " + create.substr(std::string_view("CREATE ").size()));
    } else {
        // A base table of that name gives way only once the view is made.
        TableSetAside old(run_.destination, existing, name);
        try {
            run_.send(create);
        } catch (const platform::DbError &) {
            old.putBack(false);
            throw;
        }
        old.dropOld();
    }
    removeListTable(run_.destinationList, view.existing, run_.session.names);
    showListTable(run_.destinationList, view.name, run_.session.names);
    run_.copied << view.name;
}

} // namespace transfer
