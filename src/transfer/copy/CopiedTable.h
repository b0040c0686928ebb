#pragma once

#include "transfer/copy/Adaptations.h"

#include <QString>

#include <string>
#include <vector>

namespace transfer {

// What a complete copy did with one selected table (or view): data, worded by CopyReport.
struct CopiedTable {
    enum class Result { Copied, NotCopied };
    QString table;
    Result result = Result::Copied;
    int errorNumber = 0; // NotCopied: the server's number (0 for the program's own), and its text;
    std::string error;   // empty where what stopped it was told already, as a statement's refusal is
};

// A foreign key the destination refused once every table was in: its table is copied without it.
struct KeyNotAdded {
    std::string table;
    std::string key;
    std::string error;
};

// The whole run's outcome, in the order things were done.
struct CompleteCopyOutcome {
    std::vector<CopiedTable> tables;
    std::vector<KeyNotAdded> keysNotAdded;
    Adaptations adapted;
};

// What a table's load took, for its line in the log.
struct LoadFigures {
    long long rows = 0;
    size_t bytes = 0;
    double seconds = 0;
    long long checkedRanges = 0; // 0: checked whole
    bool usedInserts = false;    // the destination refused LOAD DATA LOCAL
};

} // namespace transfer
