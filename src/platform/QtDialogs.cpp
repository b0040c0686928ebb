#include "platform/QtDialogs.h"

#include "platform/ApplicationTitle.h"

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>

#include <vector>
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

QString QtDialogs::secret(const QString &prompt)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(activeParent(), applicationTitle(), prompt, QLineEdit::Password, {}, &ok);
    return ok ? answer : QString();
}

int QtDialogs::choose(const QString &text, const QStringList &buttons)
{
    QMessageBox box(activeParent());
    box.setWindowTitle(applicationTitle());
    box.setText(displayText(text));
    box.setTextFormat(Qt::PlainText);
    std::vector<QAbstractButton *> made;
    for (int i = 0; i < buttons.size(); ++i) {
        QPushButton *b = box.addButton(buttons[i], i + 1 == buttons.size() ? QMessageBox::RejectRole
                                                                            : QMessageBox::AcceptRole);
        if (i == 0)
            box.setDefaultButton(b);
        made.push_back(b);
    }
    if (!made.empty())
        box.setEscapeButton(made.back());
    box.exec();
    for (size_t i = 0; i < made.size(); ++i)
        if (box.clickedButton() == made[i])
            return static_cast<int>(i);
    return static_cast<int>(buttons.size()) - 1;
}

QString QtDialogs::saveFileName(const QString &caption, const QString &suggested, const QString &filter)
{
    return QFileDialog::getSaveFileName(activeParent(), caption, suggested, filter);
}

} // namespace platform
