#include "app/WindowLook.h"

#include "app/FileExists.h"
#include "app/WindowPointer.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QtEndian>
#include <QRadioButton>

#include <stdexcept>

namespace app {

namespace look {
namespace {

void paintBackground(QWidget *w, const QColor &colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
}

} // namespace

QString handPointerPath(const QString &programFolder) { return programFolder + QStringLiteral("/HAND-M.CUR"); }
QString skinPath(const QString &programFolder) { return programFolder + QStringLiteral("/x/o.cjs"); }

void useSystemColours(QWidget *window)
{
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    paintBackground(window, buttonFace);
    const auto children = window->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (qobject_cast<QGroupBox *>(child) || qobject_cast<QLabel *>(child) || qobject_cast<QCheckBox *>(child)
            || qobject_cast<QRadioButton *>(child))
            paintBackground(child, buttonFace);
    }
}

QPoint cursorHotspot(const QByteArray &fileStart)
{
    // ICONDIR (reserved, type 2 for a cursor, count), then the first entry: width, height, colours,
    // reserved, and where an icon has planes and bit count, a cursor has its hotspot.
    if (fileStart.size() < 14 || qFromLittleEndian<quint16>(fileStart.constData() + 2) != 2)
        return {-1, -1};
    return {qFromLittleEndian<quint16>(fileStart.constData() + 10),
            qFromLittleEndian<quint16>(fileStart.constData() + 12)};
}

void loadHandPointer(WindowPointer &pointer, const QString &programFolder)
{
    const QString path = handPointerPath(programFolder);
    if (!fileExists(path))
        return;
    QPixmap picture;
    if (!picture.load(path))
        throw std::runtime_error("Invalid picture: " + path.toStdString());
    QFile file(path);
    const QPoint hotspot = file.open(QIODevice::ReadOnly) ? cursorHotspot(file.read(14)) : QPoint(-1, -1);
    pointer.setCustomPicture(QCursor(picture, hotspot.x(), hotspot.y()));
}

bool applyOptionalSkin(QWidget *window, const QString &programFolder)
{
    const QFileInfo skin(skinPath(programFolder));
    if (!skin.exists() || !skin.isFile() || skin.isHidden())
        return false;
    useSystemColours(window);
    QFile file(skin.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot read the skin file " + skin.absoluteFilePath().toStdString());
    window->setStyleSheet(QString::fromUtf8(file.readAll()));
    return true;
}

} // namespace look

} // namespace app
