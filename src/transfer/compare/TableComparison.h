#pragma once

#include "transfer/compare/RowDiff.h"

#include <QString>

#include <string>
#include <vector>

namespace transfer {

// What Compare found for one selected table: data, worded by CompareReport.
struct TableComparison {
    enum class Result { Same, Differs, Missing, NotCompared };
    // How the definitions differ: not at all, in what each side is (a view against a table), or
    // in their first differing lines.
    enum class Definition { Same, Kinds, Lines };

    QString table;
    Result result = Result::Same;
    Definition definition = Definition::Same;
    std::string definitionOne; // #1's kind or line, then #2's
    std::string definitionTwo;
    RowComparison rows;
    bool keyed = false;
    std::vector<std::string> keyColumns; // the key the rows were compared by, in its order
    size_t columnsCompared = 0;
    bool someColumnsOnOneSide = false; // only the columns both tables have were compared
    int errorNumber = 0;               // NotCompared: the server's number (0 for the program's own), and text
    std::string error;
};

} // namespace transfer
