// Takes pictures of both windows on scratch copies of the demo tables: the connection window,
// the table manager after start-up, and the table manager after a copy.
#include "connect/Form1.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form1.h"
#include "ui_Form2.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <cstdio>

using namespace app;
using namespace connectwindow;
using namespace sides;
using namespace tableswindow;
using namespace transfer;

namespace {

void save(QWidget *window, const QString &folder, const QString &name)
{
    const QString path = QDir(folder).filePath(name);
    if (!window->grab().save(path))
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

void selectByName(QListWidget *list, const QStringList &names)
{
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(names.contains(list->item(i)->text()));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);

    sandbox::ScratchDatabase one(1, QStringLiteral("shot1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("shot2"));
    one.exec("CREATE TABLE customers (id INT PRIMARY KEY, name VARCHAR(80), city VARCHAR(60), note TEXT)");
    one.exec("INSERT INTO customers VALUES (1, 'Aoife O''Brien', 'Cork', 'Prefers e-mail 📧'), "
             "(2, 'Jürgen Müller', 'München', NULL), (3, 'Zoë Ng', NULL, 'Path C:\\\\Users\\\\zoe')");
    one.exec("CREATE TABLE orders (id INT, customer_id INT, placed DATETIME(3))");
    one.exec("INSERT INTO orders VALUES (1, 1, '2024-03-01 10:00:00.125'), (2, 3, '2024-03-02 11:15:00')");
    one.exec("CREATE TABLE products (sku CHAR(8), price DECIMAL(10,2), thumbnail BLOB)");
    two.exec("CREATE TABLE suppliers (id INT, name VARCHAR(80))");
    two.exec("CREATE TABLE `Stock Levels` (sku CHAR(8), units INT)");

    TestServices t;
    storeProfile(*t.settings, 1, one.profile());
    storeProfile(*t.settings, 2, two.profile());
    Form1 form1(t.services, Form2::factory(t.services));
    form1.Form_Load();
    Form2 *form2 = form2Of(form1);
    if (!form2 || !form2->isVisible()) {
        std::fprintf(stderr, "start-up did not reach the table manager\n");
        return 1;
    }
    form1.show();
    save(&form1, folder, QStringLiteral("connection-window.png"));
    form1.hide();
    save(form2, folder, QStringLiteral("table-manager.png"));

    selectByName(form2->ui().List1, {QStringLiteral("customers"), QStringLiteral("orders")});
    form2->PushButton3_Click();
    QApplication::processEvents();
    QTest::qWait(150); // the log pane draws what was added within a tenth of a second
    save(form2, folder, QStringLiteral("after-copy.png"));
    return t.dialogs.messages.empty() ? 0 : 2;
}
