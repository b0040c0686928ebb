// The make-match tests' harness: the run as its menu entry starts it, and the tables they use.
#pragma once

#include "support/CopyHarness.h"
#include "support/Lists.h"
#include "support/ManagerWindow.h"
#include "support/Sandbox.h"
#include "transfer/compare/MakeMatch.h"

#include <QStringList>

using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

enum Choice { Change = 0, Save = 1, Cancel = 2 };

struct Harness : CopyHarness {
    // Makes to's tables match from's, as the menu entry of side fromSide does.
    void match(const ScratchDatabase &from, const ScratchDatabase &to, const QStringList &tables, int fromSide = 1,
               const transfer::MatchLimits &limits = {})
    {
        PlainTableList source(tables);
        source.select(tables);
        destination = PlainTableList(to.tables());
        transfer::runMakeMatch({source, destination, from.profile(), to.profile(), QStringLiteral("in test ")}, ui(),
                               fromSide, limits);
    }
    QString plan() const
    {
        for (const ShownMessage &m : dialogs.messages)
            if (m.text.startsWith(QStringLiteral("To make")))
                return m.text;
        return {};
    }
    QString box() const { return dialogs.messages.empty() ? QString() : dialogs.messages.back().text; }
};

Rows checksum(const ScratchDatabase &db, const std::string &table)
{
    const Rows r = db.query("CHECKSUM TABLE `" + table + "` EXTENDED");
    return r.empty() ? r : Rows{{r[0][1]}};
}

void createOrders(const ScratchDatabase &db, int rows)
{
    db.exec("CREATE TABLE orders (id INT NOT NULL PRIMARY KEY, v VARCHAR(20), n INT) DEFAULT CHARSET=utf8mb4");
    db.exec("INSERT INTO orders SELECT seq, CONCAT('v', seq), seq % 97 FROM seq_1_to_" + std::to_string(rows));
}

// The table manager as a person uses it; both sides list orders.
struct Window : ManagerWindow {
    Window() : ManagerWindow(QStringLiteral("mmwin")) { show({QStringLiteral("orders")}, {QStringLiteral("orders")}); }
};

} // namespace
