// The compare tests' harness: Compare run as its menu entry runs it, its log lines and box.
#pragma once

#include "support/CopyHarness.h"
#include "support/Lists.h"
#include "support/Sandbox.h"
#include "transfer/compare/TableCompare.h"

#include <QStringList>

namespace {

struct Harness : CopyHarness {
    // Compares the named tables of from (side fromSide) with to, as the menu entry of that side does.
    void compare(const sandbox::ScratchDatabase &from, const sandbox::ScratchDatabase &to, const QStringList &tables, int fromSide = 1)
    {
        PlainTableList source(tables);
        source.select(tables);
        destination = PlainTableList(to.tables());
        transfer::runCompare({source, destination, from.profile(), to.profile(), QStringLiteral("in test ")}, ui(),
                             fromSide);
    }
    // The log line of that table.
    QString line(const QString &table) const
    {
        for (const QString &l : pane.contents.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            if (l.startsWith(QStringLiteral("-- ") + table + QStringLiteral(": ")))
                return l;
        return {};
    }
    QString box() const { return dialogs.messages.empty() ? QString() : dialogs.messages.back().text; }
};

// What a table holds, to show a comparison changed nothing.
sandbox::Rows fingerprint(const sandbox::ScratchDatabase &db, const std::string &table)
{
    return db.query("CHECKSUM TABLE `" + table + "` EXTENDED");
}

void createOrders(const sandbox::ScratchDatabase &db, int rows)
{
    db.exec("CREATE TABLE orders (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, v VARCHAR(20), n INT) "
            "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4");
    db.exec("INSERT INTO orders (id, v, n) SELECT seq, CONCAT('v', seq), seq % 97 FROM seq_1_to_" + std::to_string(rows));
}


} // namespace
