#pragma once

#include <QString>

namespace app {

// Where the settings file keeps one value of a side's login, and what it is when not kept.
struct LoginField {
    QString key;
    QString defaultValue;
};

// A side's five login values as the settings file keeps them ("MyServer", … for side #1,
// "MyServer2", … for side #2): the connection window's boxes and the command line read the same.
struct LoginFields {
    LoginField server;
    LoginField user;
    LoginField password;
    LoginField database;
    LoginField port;
};
LoginFields loginFields(int side);

} // namespace app
