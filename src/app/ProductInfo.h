#pragma once

#include <QString>

namespace app {

// Fixed facts about the product that users see.
namespace product {

inline const QString Name = QStringLiteral("Tabulink");
inline const QString SettingsKey = QStringLiteral("Quillmarsh");
inline const QString SettingsSection = QStringLiteral("Tabulink");
inline const QString SupportAddress = QStringLiteral("support@quillmarsh.com");
inline const QString HelpAddress = QStringLiteral("help@quillmarsh.com");
inline const QString HomePage = QStringLiteral("https://www.quillmarsh.com/");
inline const QString WorkbenchDownloadPage = QStringLiteral("https://dev.mysql.com/downloads/workbench/");
// Error reports name the build they come from, so support can match them to the source.
inline const QString BuildTag = QStringLiteral("Tabulink2021/08/31");

} // namespace product

} // namespace app
