#pragma once

#include <QSaveFile>
#include <QString>

#include <string>
#include <string_view>

namespace transfer {

// The statements of a change written down instead of sent, as a script the mariadb or mysql
// client runs (with --binary-mode, as values go as their bytes): the session the program would
// have set first, then each statement on its own line. The file appears whole or not at all.
class MatchScript {
public:
    // sessionSettings: what the target's session had set, as SET statements' bodies.
    MatchScript(const QString &path, const std::string &heading, const std::string &sessionSettings);
    void write(std::string_view statement);
    // False, with why, when the file could not be written.
    bool finish(QString &why);

private:
    QSaveFile file_;
    bool failed_ = false;
};

} // namespace transfer
