#pragma once

#include <QString>

namespace platform {
class Dialogs;
}

namespace app {

// The box every guarded operation shows on an unexpected failure.
class ErrorReport {
public:
    explicit ErrorReport(platform::Dialogs &dialogs) : dialogs_(dialogs) {}
    void show(const QString &description, const QString &location, int line);

    static QString text(const QString &description, const QString &location, int line);
    // "in Tabulink2021/08/31.Form1.Form_Load "
    static QString location(const QString &module, const QString &operation);
    static inline const QString Title = QStringLiteral("Application Error");

private:
    platform::Dialogs &dialogs_;
};

} // namespace app
