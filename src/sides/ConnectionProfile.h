#pragma once

#include <QString>

namespace sides {

// The login details of one side, exactly as typed in the connection window.
struct ConnectionProfile {
    QString server;
    QString user;
    QString password;
    QString database;
    QString port;
};

// "DRIVER={MySQL ODBC 5.1 Driver};SERVER=…;DATABASE=…;USER=…;PASSWORD=…;PORT=…;"
// A value holding ';', '{' or '}' would cut the string short, so it goes in braces with '}'
// doubled; every other value is written as it stands.
QString connectionString(const ConnectionProfile &profile);

} // namespace sides
