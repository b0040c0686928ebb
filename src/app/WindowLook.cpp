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

void loadHandPointer(WindowPointer &pointer, const QString &programFolder)
{
    const QString path = handPointerPath(programFolder);
    if (!fileExists(path))
        return;
    QPixmap picture;
    if (!picture.load(path))
        throw std::runtime_error("Invalid picture: " + path.toStdString());
    pointer.setCustomPicture(QCursor(picture));
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
