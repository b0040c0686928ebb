#include "support/ManagerWindow.h"

#include "ui_Form2.h"

#include <QtTest>

ManagerWindow::ManagerWindow(const QString &prefix)
    : one(1, prefix + u'1'), two(2, prefix + u'2'), profiles(sandbox::sidesOn(one, two)),
      form(std::make_unique<tableswindow::Form2>(t.services, profiles, [] {}))
{
}

void ManagerWindow::show(const QStringList &onOne, const QStringList &onTwo)
{
    form->ui().List1->addItems(onOne);
    form->ui().List2->addItems(onTwo);
    if (!onOne.isEmpty())
        selectOnly(form->ui().List1, onOne.first());
    if (!onTwo.isEmpty())
        selectOnly(form->ui().List2, onTwo.first());
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        qWarning("the table manager was not shown");
}
