#include "app/FileExists.h"

#include <QFileInfo>

bool fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).lastModified().isValid();
}
