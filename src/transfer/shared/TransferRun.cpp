#include "transfer/shared/TransferRun.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "app/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/EventYield.h"
#include "sides/TableList.h"
#include "transfer/shared/Progress.h"
#include "transfer/shared/Sessions.h"
#include "transfer/shared/TablePool.h"

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

int tablesAtOnceSetting(platform::SettingsBackend &settings)
{
    bool number = false;
    const int n = app::SettingsStore(settings).read(QStringLiteral("TablesAtOnce"), {}).toInt(&number);
    return number && n >= 1 && n <= MostTablesAtOnce ? n : DefaultTablesAtOnce;
}

int selectedCount(const sides::TableList &list)
{
    int selected = 0;
    for (int i = 0; i < list.count(); ++i)
        selected += list.isSelected(i) ? 1 : 0;
    return selected;
}

QString tableWithReason(const QString &table, int number, const QString &reason)
{
    return table + QStringLiteral(" (") + (number != 0 ? QString::number(number) + u' ' : QString()) + reason + u')';
}

QString sameDatabaseMessage(const QStringList &tables)
{
    return QStringLiteral("MySQL #1 and MySQL #2 are the same database, so copying would replace each table with "
                          "itself. These tables were left as they are: ")
           + tables.join(QStringLiteral(", "));
}

namespace {

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

bool openRunSessions(app::Guard &g, platform::EventYield &yield, std::initializer_list<RunSessions> sides)
{
    g(step::Timeouts, [&] {
        for (const RunSessions &side : sides)
            for (platform::Connection *c : {side.first, side.second})
                if (c)
                    setCopyTimeouts(*c, yield);
    });
    for (const RunSessions &side : sides) {
        const bool open = g.attempt(step::Login, [&] {
            if (side.second)
                openForCopy(*side.first, *side.second, side.profile);
            else
                openForCopy(*side.first, side.profile);
        });
        if (!open)
            return false;
    }
    return true;
}

bool walkSelectedTables(app::Guard &g, const sides::TableList &source, const std::function<bool(const QString &)> &copy,
                        WalkOrder order)
{
    const int count = source.count();
    for (int i = 0; i < count; ++i) {
        const int position = order == WalkOrder::LastFirst ? count - 1 - i : i;
        if (g.when(step::SkipUnselected, [&] { return !source.isSelected(position); }))
            continue;
        QString name;
        g(step::TakeName, [&] { name = source.text(position); });
        if (!copy(name))
            return false;
    }
    return true;
}

QStringList selectedTables(app::Guard &g, const sides::TableList &source)
{
    QStringList names;
    walkSelectedTables(
        g, source,
        [&](const QString &name) {
            names << name;
            return true;
        },
        WalkOrder::FirstLast);
    return names;
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
        g(step::Hourglass, [&] { ending.start(); });
        leftAlone = run(g);
        g(step::RunEnd, [&] { ending.end(); });
    }
    if (!leftAlone.isEmpty())
        ui.dialogs.message(sameDatabaseMessage(leftAlone));
}

} // namespace transfer
