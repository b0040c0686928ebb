#include "connect/HelpText.h"

#include "app/ProductInfo.h"

namespace connectwindow {

QString helpText()
{
    const QString paragraphBreak = QStringLiteral("\r\r");
    return QStringLiteral("If you cannot establish connection to your database with this program, please go to: ")
           + paragraphBreak + app::product::WorkbenchDownloadPage + paragraphBreak
           + QStringLiteral("Download and install the MySQL Workbench. Try to connect to the same database (with the "
                            "same login information you are using here). This will determine if the login you are "
                            "using is correct.")
           + paragraphBreak
           + QStringLiteral("Finally, make sure your host allows a direct connection to your MySQL database -- not a "
                            "web based connection, for example.");
}

} // namespace connectwindow
