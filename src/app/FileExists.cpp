#include "app/FileExists.h"

#include <QFileInfo>

namespace app {

bool fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).lastModified().isValid();
}

} // namespace app
