#include "transfer/TransferRun.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "platform/DbConnection.h"
#include "platform/Dialogs.h"
#include "platform/EventYield.h"
#include "sides/TableList.h"
#include "sides/TableStatements.h"
#include "transfer/Progress.h"
#include "transfer/RowCopy.h"
#include "transfer/SchemaCopy.h"
#include "transfer/Sessions.h"
#include "transfer/TableSetAside.h"

#include <QRegularExpression>

#include <optional>

namespace transfer {

QString listedTable(const sides::TableList &list, const QString &name, const TableNames &names)
{
    for (int i = 0; i < list.count(); ++i)
        if (names.same(list.text(i), name))
            return list.text(i);
    return {};
}

void removeListTable(sides::TableList &list, const QString &name, const TableNames &names)
{
    for (int i = list.count() - 1; i >= 0; --i)
        if (names.same(list.text(i), name))
            list.removeAt(i);
}

void showListTable(sides::TableList &list, const QString &name, const TableNames &names)
{
    removeListTable(list, name, names);
    list.append(names.stored(name));
}

QStringList leftBehindNotes(const sides::TableList &list, const QString &side)
{
    static const QRegularExpression made(QStringLiteral("^tabulink_(new|old)_[0-9]+_[0-9]+$"));
    QStringList notes;
    for (int i = 0; i < list.count(); ++i) {
        const QString name = list.text(i);
        if (!made.match(name).hasMatch())
            continue;
        notes << (name.startsWith(AsidePrefix)
                      ? QStringLiteral("-- ") + side + QStringLiteral(" holds ") + name
                            + QStringLiteral(": a table moved aside by an overwrite that was cut short before it could "
                                             "be put back. Its rows are all there: rename it to its own name.")
                      : QStringLiteral("-- ") + side + QStringLiteral(" holds ") + name
                            + QStringLiteral(": a copy cut short before it was put in place. It can be dropped."));
    }
    return notes;
}

QString overwriteUndoneMessage(const QString &table)
{
    return QStringLiteral("The copy of ") + table
           + QStringLiteral(" did not complete, so it was taken back: the destination holds its own ") + table
           + QStringLiteral(" again, exactly as before the copy.");
}

QString overwriteNotUndoneMessage(const QString &table, const QString &aside)
{
    return QStringLiteral("The copy of ") + table + QStringLiteral(" did not complete, and the destination's own ")
           + table + QStringLiteral(" could not be given its name back. Its rows are all kept, in the table ")
           + aside + u'.';
}

QString sameDatabaseMessage(const QStringList &tables)
{
    return QStringLiteral("MySQL #1 and MySQL #2 are the same database, so copying would replace each table with "
                          "itself. These tables were left as they are: ")
           + tables.join(QStringLiteral(", "));
}

namespace {

class TransferRunner {
public:
    TransferRunner(const TransferEnds &ends, const TransferUi &ui, app::Guard &g)
        : ends_(ends), ui_(ui), g_(g), sink_(ui.log, ui.onSendFailure), destination_(sink_.connection())
    {
    }

    void run()
    {
        if (!connect())
            return;
        if (!walkSelectedTables(g_, ends_.source, [&](const QString &name) { return copyTable(name); }))
            return;
        g_(126, [&] { source_.close(); });
        g_(126, [&] { destination_.close(); });
    }

    const QStringList &leftAlone() const { return leftAlone_; }

private:
    bool connect()
    {
        g_(104, [&] {
            setCopyTimeouts(source_, ui_.yield);
            setCopyTimeouts(destination_, ui_.yield);
        });
        return g_.attempt(106, [&] { openForCopy(source_, ends_.sourceProfile); })
               && g_.attempt(106, [&] { openForCopy(destination_, ends_.destinationProfile); })
               && g_.attempt(106, [&] {
                      prepareSourceSession(source_);
                      session_ = prepareDestinationSession(destination_, source_);
                      sink_.setStatementLimit(session_.maxAllowedPacket);
                  });
    }

    // False when the run must end: the source could not be read.
    bool copyTable(const QString &name)
    {
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
        if (g_.attempt(120, [&] { columns = describeColumns(source_, table, ui_.yield); })) {
            created = copySchema(sink_, table, columns, session_.types);
            read = g_.attempt(122, [&] {
                const long long n = countRows(source_, table);
                RowStream rows(source_, table, columns, session_.noBackslashEscapes);
                copyRows(rows, sink_, table, n, ui_.yield, ui_.progress);
            });
        }
        if (old)
            settleOverwrite(name, existing, *old, created && read && sink_.sending(), created);
        // The list shows the table whenever it now exists in the destination, even half filled.
        else if (created)
            g_(124, [&] { showListTable(ends_.destination, name, session_.names); });
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
        if (g_.attempt(118, [&] { old.emplace(destination_, existing.toStdString(), name.toStdString(), reopen); }))
            removeListTable(ends_.destination, existing, session_.names);
        return true;
    }

    // An overwrite ends with the new table in place of the old one, or with the old one back.
    void settleOverwrite(const QString &name, const QString &existing, TableSetAside &old, bool complete,
                         bool created)
    {
        if (complete) {
            g_(124, [&] { old.dropOld(); });
            g_(124, [&] { showListTable(ends_.destination, name, session_.names); });
            return;
        }
        const QString aside = QString::fromStdString(old.asideName());
        const bool restored = g_.attempt(124, [&] { old.putBack(created); });
        g_(124, [&] { ends_.destination.append(restored ? existing : aside); });
        ui_.dialogs.message(restored ? overwriteUndoneMessage(existing) : overwriteNotUndoneMessage(existing, aside));
    }

    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard &g_;
    platform::Connection source_;
    StatementSink sink_;
    platform::Connection &destination_; // the sink's
    DestinationSession session_;
    QStringList leftAlone_;
};

// Whatever way the run ends: default pointer and an empty bar.
class RunEnding {
public:
    RunEnding(app::PointerControl &pointer, ProgressIndicator &progress) : pointer_(pointer), progress_(progress) {}
    ~RunEnding() { end(); }
    RunEnding(const RunEnding &) = delete;
    RunEnding &operator=(const RunEnding &) = delete;

    void start()
    {
        pointer_.set(app::pointer::Busy);
        busy_ = true;
    }
    void end()
    {
        if (ended_)
            return;
        ended_ = true;
        if (busy_)
            pointer_.set(app::pointer::Default);
        progress_.setValue(0);
    }

private:
    app::PointerControl &pointer_;
    ProgressIndicator &progress_;
    bool busy_ = false;
    bool ended_ = false;
};

} // namespace

bool walkSelectedTables(app::Guard &g, const sides::TableList &source, const std::function<bool(const QString &)> &copy)
{
    for (int position = source.count() - 1; position >= 0; --position) {
        if (g.when(114, [&] { return !source.isSelected(position); }))
            continue;
        QString name;
        g(116, [&] { name = source.text(position); });
        if (!copy(name))
            return false;
    }
    return true;
}

void runSelectedTables(const TransferEnds &ends, const TransferUi &ui,
                       const std::function<QStringList(app::Guard &)> &run)
{
    if (ends.source.currentIndex() == -1) {
        ui.dialogs.message(PleaseSelectATableDot);
        return;
    }
    QStringList leftAlone;
    {
        app::Guard g(ui.dialogs, ends.location);
        RunEnding ending(ui.pointer, ui.progress);
        g(102, [&] { ending.start(); });
        leftAlone = run(g);
        g(128, [&] { ending.end(); });
    }
    if (!leftAlone.isEmpty())
        ui.dialogs.message(sameDatabaseMessage(leftAlone));
}

void runTransfer(const TransferEnds &ends, const TransferUi &ui)
{
    runSelectedTables(ends, ui, [&](app::Guard &g) {
        TransferRunner runner(ends, ui, g);
        runner.run();
        return runner.leftAlone();
    });
}

} // namespace transfer
