#include "platform/QtDialogs.h"

#include "platform/ApplicationTitle.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace platform {
namespace {

QString titleOr(const QString &title) { return title.isEmpty() ? applicationTitle() : title; }

QWidget *activeParent() { return QApplication::activeWindow(); }

} // namespace

QString QtDialogs::displayText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

int QtDialogs::message(const QString &text, int style, const QString &title)
{
    QMessageBox box(activeParent());
    box.setWindowTitle(titleOr(title));
    box.setText(displayText(text));
    box.setTextFormat(Qt::PlainText);
    if (style == YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? Yes : No;
    }
    if (style == OkExclamation)
        box.setIcon(QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Ok;
}

QString QtDialogs::input(const QString &prompt, const QString &defaultAnswer)
{
    bool ok = false;
    const QString answer =
        QInputDialog::getText(activeParent(), applicationTitle(), prompt, QLineEdit::Normal, defaultAnswer, &ok);
    return ok ? answer : QString();
}

} // namespace platform
