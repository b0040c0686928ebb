#include "transfer/compare/ComparePair.h"

#include "app/Guard.h"
#include "platform/DbError.h"
#include "platform/ProgramEnding.h"
#include "transfer/shared/LaneLogins.h"
#include "transfer/shared/Sessions.h"
#include "transfer/shared/TransferRun.h"

namespace transfer {

namespace {

TableComparison outcome(const QString &name, TableComparison::Result result, int number = 0, const char *reason = "")
{
    TableComparison c;
    c.table = name;
    c.result = result;
    c.errorNumber = number;
    c.error = reason;
    return c;
}

} // namespace

ComparePair::ComparePair(int fromSide)
    : here_{hereServer_, {}, fromSide}, there_{thereServer_, {}, fromSide == 1 ? 2 : 1}
{
}

bool ComparePair::open(app::Guard &g, platform::EventYield &yield, const TransferEnds &ends)
{
    return openRunSessions(g, yield,
                           {{&hereServer_, nullptr, ends.sourceProfile}, {&thereServer_, nullptr, ends.destinationProfile}})
           && g.attempt(step::Login, [&] {
                  setUp();
                  hereTables_ = listTables(hereServer_);
                  thereTables_ = listTables(thereServer_);
                  for (platform::Connection *c : {&hereServer_, &thereServer_})
                      readInSnapshot(*c);
              });
}

void ComparePair::setUp()
{
    for (platform::Connection *c : {&hereServer_, &thereServer_})
        prepareSourceSession(*c);
    here_.rules = serverRules(hereServer_);
    there_.rules = serverRules(thereServer_);
}

void ComparePair::openFurther(const LaneLogins &logins, platform::EventYield &yield, const ComparePair &first)
{
    for (platform::Connection *c : {&hereServer_, &thereServer_})
        setCopyTimeouts(*c, yield);
    openForCopy(hereServer_, logins.source);
    openForCopy(thereServer_, logins.destination);
    setUp();
    hereTables_ = first.hereTables_;
    thereTables_ = first.thereTables_;
    hereCatalog_ = first.hereCatalog_;
    thereCatalog_ = first.thereCatalog_;
    here_.catalog = hereCatalog_.get();
    there_.catalog = thereCatalog_.get();
    for (platform::Connection *c : {&hereServer_, &thereServer_})
        readInSnapshot(*c);
}

void ComparePair::askCatalog(const QStringList &selected)
{
    std::vector<std::string> hereNames;
    std::vector<std::string> thereNames;
    for (const QString &name : selected) {
        const ListedTable *here = findTable(hereTables_, name, here_.rules.names);
        const ListedTable *there = findTable(thereTables_, name, there_.rules.names);
        if (!here || !there || here->type == "VIEW" || there->type == "VIEW")
            continue;
        hereNames.push_back(here->name.toStdString());
        thereNames.push_back(there->name.toStdString());
    }
    hereCatalog_ = std::make_shared<const RunCatalog>(hereServer_, hereNames);
    thereCatalog_ = std::make_shared<const RunCatalog>(thereServer_, thereNames);
    here_.catalog = hereCatalog_.get();
    there_.catalog = thereCatalog_.get();
}

void ComparePair::waitThrough(platform::EventYield &yield)
{
    for (platform::Connection *c : {&hereServer_, &thereServer_})
        c->setEventYield(&yield);
}

TableComparison ComparePair::compare(const QString &name, size_t mostKeys)
{
    const ListedTable *there = findTable(thereTables_, name, there_.rules.names);
    const ListedTable *here = findTable(hereTables_, name, here_.rules.names);
    if (!there)
        return outcome(name, TableComparison::Result::Missing);
    try {
        if (!here)
            throw platform::DbError(platform::server_error::NoSuchTable,
                                    "MySQL #" + std::to_string(here_.number) + " no longer has it");
        return compareTables(here_, *here, there_, *there, mostKeys);
    } catch (const platform::ProgramEnding &) {
        throw;
    } catch (const platform::DbError &e) {
        lost_ = lost_ || e.isConnectionLost();
        return outcome(name, TableComparison::Result::NotCompared, e.number(), e.what());
    } catch (const std::exception &e) {
        return outcome(name, TableComparison::Result::NotCompared, 0, e.what());
    }
}

} // namespace transfer
