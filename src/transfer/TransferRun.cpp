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

#include <array>
#include <optional>

namespace transfer {

bool listHasTable(const sides::TableList &list, const QString &name)
{
    const QString wanted = name.toLower();
    for (int i = 0; i < list.count(); ++i)
        if (list.text(i).toLower() == wanted)
            return true;
    return false;
}

void removeListTable(sides::TableList &list, const QString &name)
{
    for (int i = list.count() - 1; i >= 0; --i)
        if (list.text(i) == name)
            list.removeAt(i);
}

QString sameDatabaseMessage(const QStringList &tables)
{
    return QStringLiteral("MySQL #1 and MySQL #2 are the same database, so copying would replace each table with "
                          "itself. These tables were left as they are: ")
           + tables.join(QStringLiteral(", "));
}

namespace {

constexpr int TimeoutSeconds = 5000;

// The session both ends of a copy need: UTC for TIMESTAMPs, and a destination that takes every
// value a table can hold (zero dates included) while still refusing values that do not fit.
void prepareSession(platform::Connection &c, bool destination)
{
    c.execute("SET time_zone = '+00:00'");
    if (!destination)
        return;
    platform::RecordSet mode = c.execute("SELECT @@SESSION.sql_mode");
    const std::string current(mode.value(0).bytes);
    mode.close();
    std::string relaxed;
    size_t start = 0;
    while (start <= current.size()) {
        size_t comma = current.find(',', start);
        if (comma == std::string::npos)
            comma = current.size();
        const std::string flag = current.substr(start, comma - start);
        if (!flag.empty() && flag != "NO_ZERO_DATE" && flag != "NO_ZERO_IN_DATE")
            relaxed += (relaxed.empty() ? "" : ",") + flag;
        start = comma + 1;
    }
    c.execute("SET SESSION sql_mode = '" + relaxed + "'");
}

// Server, port, data folder and schema: equal only for the very same database.
std::array<std::string, 4> databaseIdentity(platform::Connection &c)
{
    platform::RecordSet r = c.execute("SELECT @@hostname, @@port, @@datadir, DATABASE()");
    std::array<std::string, 4> id;
    for (int i = 0; i < 4; ++i)
        id[static_cast<size_t>(i)] = r.value(i).isNull ? std::string("\x01null") : std::string(r.value(i).bytes);
    return id;
}

class TransferRunner {
public:
    TransferRunner(const TransferEnds &ends, const TransferUi &ui)
        : ends_(ends), ui_(ui), g_(ui.dialogs, ends.location), sink_(ui.log, ui.onSendFailure),
          destination_(sink_.connection())
    {
    }

    void run()
    {
        if (!connect())
            return;
        for (int position = ends_.source.count() - 1; position >= 0; --position) {
            if (!ends_.source.isSelected(position))
                continue;
            if (!copyTable(ends_.source.text(position)))
                return;
        }
        g_(140, [&] { source_.close(); });
        g_(142, [&] { destination_.close(); });
    }

    const QStringList &leftAlone() const { return leftAlone_; }

private:
    bool connect()
    {
        for (platform::Connection *c : {&source_, &destination_}) {
            c->setCommandTimeout(TimeoutSeconds);
            c->setConnectionTimeout(TimeoutSeconds);
        }
        const auto open = [](platform::Connection &c, const sides::ConnectionProfile &p) {
            c.open(sides::connectionString(p).toStdString());
        };
        return g_.attempt(110, [&] { open(source_, ends_.sourceProfile); })
               && g_.attempt(112, [&] { open(destination_, ends_.destinationProfile); })
               && g_.attempt(114, [&] {
                      prepareSession(source_, false);
                      prepareSession(destination_, true);
                      sameDatabase_ = databaseIdentity(source_) == databaseIdentity(destination_);
                      destinationNoBackslashEscapes_ = destination_.noBackslashEscapes();
                  });
    }

    // False when the run must end: the source could not be read.
    bool copyTable(const QString &name)
    {
        if (sameDatabase_) {
            leftAlone_.prepend(name);
            return true;
        }
        if (listHasTable(ends_.destination, name) && !replaceExisting(name))
            return true;

        const std::string table = name.toStdString();
        std::vector<ColumnDefinition> columns;
        if (!g_.attempt(124, [&] { columns = describeColumns(source_, table, ui_.yield); }))
            return false;
        const bool created = copySchema(sink_, table, columns);
        std::optional<TableRows> rows;
        const bool read = g_.attempt(126, [&] {
            rows.emplace(readRows(source_, table, columns, destinationNoBackslashEscapes_, ui_.yield));
        });
        if (read)
            writeRows(sink_, table, *rows, ui_.yield, ui_.progress);
        // The list shows the table whenever it now exists in the destination, even half filled.
        if (created)
            ends_.destination.append(name);
        return read;
    }

    // Asks before a table of the same name is dropped. False when the table is to be skipped.
    bool replaceExisting(const QString &name)
    {
        // Once sending has stopped nothing would re-create a dropped table, so do not offer to drop it.
        if (!sink_.sending())
            return false;
        const int answer = ui_.dialogs.message(QStringLiteral("Would you like to overwrite ") + name + u'?',
                                               platform::YesNo, QStringLiteral("Overwrite?"));
        if (answer != platform::Yes)
            return false;
        if (g_.attempt(120, [&] { destination_.execute(sides::dropTableStatement(name.toStdString())); }))
            removeListTable(ends_.destination, name);
        return true;
    }

    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard g_;
    platform::Connection source_;
    StatementSink sink_;
    platform::Connection &destination_; // the sink's
    bool sameDatabase_ = false;
    bool destinationNoBackslashEscapes_ = false;
    QStringList leftAlone_;
};

// Whatever way the run ends: default pointer and an empty bar.
class RunEnding {
public:
    RunEnding(app::PointerControl &pointer, ProgressIndicator &progress) : busy_(pointer), progress_(progress) {}
    ~RunEnding() { progress_.setValue(0); }

private:
    app::BusyPointerScope busy_;
    ProgressIndicator &progress_;
};

} // namespace

void runTransfer(const TransferEnds &ends, const TransferUi &ui)
{
    if (ends.source.currentIndex() == -1) {
        ui.dialogs.message(PleaseSelectATableDot);
        return;
    }
    QStringList leftAlone;
    {
        RunEnding ending(ui.pointer, ui.progress);
        TransferRunner runner(ends, ui);
        runner.run();
        leftAlone = runner.leftAlone();
    }
    if (!leftAlone.isEmpty())
        ui.dialogs.message(sameDatabaseMessage(leftAlone));
}

} // namespace transfer
