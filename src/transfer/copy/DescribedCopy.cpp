#include "transfer/copy/DescribedCopy.h"

#include "app/Guard.h"
#include "platform/DbConnection.h"
#include "platform/Dialogs.h"
#include "sides/TableList.h"
#include "transfer/copy/RowCopy.h"
#include "transfer/copy/SchemaCopy.h"
#include "transfer/copy/TableSetAside.h"
#include "transfer/shared/Sessions.h"

#include <optional>

namespace transfer {

namespace {

class TransferRunner {
public:
    TransferRunner(const TransferEnds &ends, const TransferUi &ui, app::Guard &g)
        : ends_(ends), ui_(ui), g_(g), sink_(destination_, ui.log, ui.onSendFailure)
    {
    }

    void run()
    {
        if (!connect())
            return;
        if (!walkSelectedTables(g_, ends_.source, [&](const QString &name) { return copyTable(name); }))
            return;
        g_(step::Close, [&] { source_.close(); });
        g_(step::Close, [&] { destination_.close(); });
    }

    const QStringList &leftAlone() const { return leftAlone_; }
    std::vector<CopiedTable> &tables() { return tables_; }

private:
    bool connect()
    {
        return openRunSessions(g_, ui_.yield,
                               {{&source_, nullptr, ends_.sourceProfile}, {&destination_, nullptr, ends_.destinationProfile}})
               && g_.attempt(step::Login, [&] {
                      prepareSourceSession(source_);
                      session_ = prepareDestinationSession(destination_, source_);
                      sink_.setStatementLimit(session_.maxAllowedPacket);
                  });
    }

    // False when the run must end: the source could not be read.
    bool copyTable(const QString &name)
    {
        tables_.push_back({name, CopiedTable::Result::NotCopied, 0, {}});
        if (session_.sameDatabase) {
            leftAlone_.prepend(name);
            return true;
        }
        std::optional<TableSetAside> old;
        const QString existing = listedTable(ends_.destination, name, session_.names);
        if (!existing.isEmpty() && !replaceExisting(name, existing, old))
            return true;

        const std::string table = name.toStdString();
        bool created = false;
        bool read = false;
        std::vector<ColumnDefinition> columns;
        if (g_.attempt(step::Definition, [&] { columns = describeColumns(source_, table, ui_.yield); })) {
            created = copySchema(sink_, table, columns, session_.types);
            read = g_.attempt(step::Rows, [&] {
                const long long n = countRows(source_, table);
                RowStream rows(source_, table, columns, session_.noBackslashEscapes);
                copyRows(rows, sink_, table, n, ui_.yield, ui_.progress);
            });
        }
        if (created && read && sink_.sending())
            tables_.back().result = CopiedTable::Result::Copied;
        if (old)
            settleOverwrite(name, existing, *old, created && read && sink_.sending(), created);
        // The list shows the table whenever it now exists in the destination, even half filled.
        else if (created)
            g_(step::IntoList, [&] { showListTable(ends_.destination, name, session_.names); });
        return read;
    }

    // Asks before a table of the same name is replaced, and moves it aside on Yes.
    // False when the table is to be skipped.
    bool replaceExisting(const QString &name, const QString &existing, std::optional<TableSetAside> &old)
    {
        // Once sending has stopped nothing would re-create a replaced table, so do not offer to replace it.
        if (!sink_.sending())
            return false;
        const int answer = ui_.dialogs.message(QStringLiteral("Would you like to overwrite ") + name + u'?',
                                               platform::YesNo, QStringLiteral("Overwrite?"));
        if (answer != platform::Yes)
            return false;
        const auto reopen = [this](platform::Connection &c) { openForCopy(c, ends_.destinationProfile); };
        if (g_.attempt(step::Overwrite, [&] { old.emplace(destination_, existing.toStdString(), name.toStdString(), reopen); }))
            removeListTable(ends_.destination, existing, session_.names);
        return true;
    }

    // An overwrite ends with the new table in place of the old one, or with the old one back.
    void settleOverwrite(const QString &name, const QString &existing, TableSetAside &old, bool complete,
                         bool created)
    {
        if (complete) {
            g_(step::IntoList, [&] { old.dropOld(); });
            g_(step::IntoList, [&] { showListTable(ends_.destination, name, session_.names); });
            return;
        }
        const QString aside = QString::fromStdString(old.asideName());
        const bool restored = g_.attempt(step::IntoList, [&] { old.putBack(created); });
        g_(step::IntoList, [&] { ends_.destination.append(restored ? existing : aside); });
        ui_.dialogs.message(restored ? overwriteUndoneMessage(existing) : overwriteNotUndoneMessage(existing, aside));
    }

    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard &g_;
    platform::Connection source_;
    platform::Connection destination_;
    StatementSink sink_;
    DestinationSession session_;
    QStringList leftAlone_;
    std::vector<CopiedTable> tables_;
};

} // namespace

std::vector<CopiedTable> runTransfer(const TransferEnds &ends, const TransferUi &ui)
{
    std::vector<CopiedTable> tables;
    runSelectedTables(ends, ui, [&](app::Guard &g) {
        TransferRunner runner(ends, ui, g);
        runner.run();
        tables = std::move(runner.tables());
        return runner.leftAlone();
    });
    return tables;
}

} // namespace transfer
