#include "transfer/copy/CompleteViews.h"

#include "app/Guard.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/EventYield.h"
#include "transfer/shared/LogPane.h"
#include "transfer/shared/Progress.h"
#include "transfer/copy/CopyReport.h"
#include "transfer/copy/RowCopy.h"
#include "transfer/copy/SchemaCopy.h"
#include "transfer/shared/Sessions.h"
#include "transfer/shared/StatementSink.h"
#include "transfer/copy/TableSetAside.h"
#include "transfer/copy/ViewCopy.h"

namespace transfer {

void ViewsAfterTables::copyAsTable(const QString &name)
{
    // A view has no rows of its own: it arrives as the plain copy makes it, a table.
    const std::string table = name.toStdString();
    run_.ui.log.appendEntry(viewAsTableLine(table));
    std::vector<ColumnDefinition> columns;
    if (!run_.g.attempt(step::Definition, [&] { columns = describeColumns(run_.source, table, run_.ui.yield); }))
        return;
    const bool created = copySchema(run_.sink, table, columns, run_.session.types);
    const bool read = run_.g.attempt(step::Rows, [&] {
        const long long n = countRows(run_.source, table);
        RowStream rows(run_.source, table, columns, run_.session.noBackslashEscapes);
        copyRows(rows, run_.sink, table, n, run_.ui.yield, run_.ui.progress);
    });
    if (created)
        showListTable(run_.destinationList, name, run_.session.names);
    const bool copied = created && read && run_.sink.sending();
    made_.push_back({name, copied ? CopiedTable::Result::Copied : CopiedTable::Result::NotCopied, 0, {}});
}

void ViewsAfterTables::notCopied(const QString &name, int number, const char *reason)
{
    made_.push_back({name, CopiedTable::Result::NotCopied, number, reason});
    run_.ui.log.appendEntry(notCopiedLine(made_.back()));
}

std::vector<CopiedTable> ViewsAfterTables::make()
{
    made_.clear();
    if (views_.empty())
        return made_;
    std::string database;
    if (!run_.g.attempt(step::Definition, [&] {
            platform::RecordSet r = run_.source.execute("SELECT DATABASE()");
            database = r.eof() ? std::string() : std::string(r.value(0).bytes);
            r.close();
        }))
        return made_;
    std::vector<Pending> pending = views_;
    for (bool progress = true; progress && !pending.empty();) {
        progress = false;
        for (auto view = pending.begin(); view != pending.end();) {
            try {
                makeView(*view, database);
                progress = true;
            } catch (const platform::DbError &e) {
                if (e.isConnectionLost()) {
                    notCopied(view->name, e.number(), e.what());
                    lost_ = true;
                    return made_;
                }
                if (e.number() == platform::server_error::NoSuchTable) {
                    ++view;
                    continue;
                }
                notCopied(view->name, e.number(), e.what());
            }
            view = pending.erase(view);
        }
    }
    for (const Pending &view : pending)
        copyAsTable(view.name);
    return made_;
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
    made_.push_back({view.name, CopiedTable::Result::Copied, 0, {}});
}

} // namespace transfer
