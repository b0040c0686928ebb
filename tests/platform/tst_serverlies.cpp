// A server that lies: it answers the program's statements with a request for a file of the user's,
// or a login with a request for the password in clear. Nothing of the user's may reach it, and
// each attempt ends in one clear report. Operations are started through the windows.
#include "connect/Form1.h"
#include "support/Input.h"
#include "support/Lists.h"
#include "support/LyingServer.h"
#include "support/Profiles.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form1.h"
#include "ui_Form2.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using sandbox::ScratchDatabase;
using tableswindow::Form2;

namespace {

const QByteArray Canary = "canary-7f3a9: the user's private bytes";

// A file of the user's that no server may read.
struct CanaryFile {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("secret.txt"));
    CanaryFile()
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(Canary);
    }
};

// Side #1 through the lying server in front of server 1, side #2 on server 2.
struct LyingSide {
    ScratchDatabase one{1, QStringLiteral("lie1")};
    ScratchDatabase two{2, QStringLiteral("lie2")};
    LyingServer liar{one.profile().server, one.profile().port.toInt()};
    CanaryFile canary;
    sides::ConnectionProfile first = one.profile();
    ProfilesFrom profiles{[this](int side) { return side == 1 ? first : two.profile(); }};
    TestServices t;
    Form2 form{t.services, profiles, [] {}};

    LyingSide()
    {
        first.port = QString::number(liar.port());
        one.exec("CREATE TABLE t (v INT)");
        one.exec("INSERT INTO t VALUES (1), (2)");
        two.exec("CREATE TABLE w (v INT)");
        two.exec("INSERT INTO w VALUES (3)");
        form.ui().List1->addItem(QStringLiteral("t"));
        form.ui().List2->addItem(QStringLiteral("w"));
        selectOnly(form.ui().List1, QStringLiteral("t"));
        selectOnly(form.ui().List2, QStringLiteral("w"));
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qWarning("the table manager was not shown");
    }

    void click(QPushButton *button)
    {
        input::click(button);
        t.runStarted();
    }
};

} // namespace

class ServerLiesTest : public QObject {
    Q_OBJECT
private slots:
    void noFileLeavesWhateverStatementItAnswers_data();
    void noFileLeavesWhateverStatementItAnswers();
    void theBulkLoadServesOnlyItsOwnRows();
    void noPasswordGoesOutInClear();
};

void ServerLiesTest::noFileLeavesWhateverStatementItAnswers_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("button");
    QTest::newRow("DESCRIBE of a copy") << QStringLiteral("DESCRIBE") << QStringLiteral("PushButton3");
    QTest::newRow("SELECT of a copy") << QStringLiteral("SELECT *") << QStringLiteral("PushButton3");
    QTest::newRow("DROP of Delete") << QStringLiteral("DROP") << QStringLiteral("PushButton4");
    QTest::newRow("RENAME of Rename") << QStringLiteral("RENAME") << QStringLiteral("PushButton5");
    QTest::newRow("INSERT of a copy into it") << QStringLiteral("INSERT") << QStringLiteral("PushButton8");
}

void ServerLiesTest::noFileLeavesWhateverStatementItAnswers()
{
    QFETCH(QString, prefix);
    QFETCH(QString, button);
    LyingSide s;
    s.liar.askForFileOn(prefix.toStdString(), s.canary.path.toStdString());
    if (button == QStringLiteral("PushButton5"))
        s.t.dialogs.inputs.push_back(QStringLiteral("t2"));
    s.click(s.form.findChild<QPushButton *>(button));

    QCOMPARE(s.liar.requestsMade(), 1);
    QVERIFY(s.liar.answers().find(Canary.toStdString()) == std::string::npos);
    QVERIFY(s.liar.answers().empty());
    // One report, and it says what the server asked for.
    const QStringList texts = s.t.dialogs.texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].contains(QStringLiteral("asked this computer for")), qPrintable(texts[0]));
    QVERIFY2(texts[0].contains(s.first.port), qPrintable(texts[0]));
}

void ServerLiesTest::theBulkLoadServesOnlyItsOwnRows()
{
    // The complete copy into side #1: its one connection that may send a file is asked for another.
    LyingSide s;
    s.liar.askForFileOn("LOAD DATA", s.canary.path.toStdString());
    input::rightClick(s.form.ui().List2, QPoint(10, 10));
    QMenu *menu = input::openMenu();
    QVERIFY(menu);
    input::chooseByKeys(menu, 1);
    s.t.runStarted();

    QCOMPARE(s.liar.requestsMade(), 1);
    QVERIFY(s.liar.answers().empty());
    const QString all = s.t.dialogs.texts().join(u'\n');
    QVERIFY2(all.contains(QStringLiteral("asked this computer for the file '") + s.canary.path + u'\''),
             qPrintable(all));
    QVERIFY(s.form.ui().Text1->text().contains(QStringLiteral("LOAD DATA LOCAL INFILE 'rows'")));
    // Nothing half made is left behind under the table's name.
    QVERIFY(!s.one.tables().contains(QStringLiteral("w")));
}

void ServerLiesTest::noPasswordGoesOutInClear()
{
    ScratchDatabase one(1, QStringLiteral("liepw"));
    LyingServer liar(one.profile().server, one.profile().port.toInt());
    liar.askForClearPassword();
    TestServices t;
    connectwindow::Form1 form1(t.services, Form2::factory(t.services));
    form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form1));
    sides::ConnectionProfile p = one.profile();
    p.port = QString::number(liar.port());
    Ui::Form1 &ui = form1.ui();
    typeProfile(ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text9, p);
    input::click(ui.PushButton3); // Test Connection of side #1
    t.runStarted();
    QCOMPARE(liar.requestsMade(), 1);
    QVERIFY(liar.answers().find(p.password.toStdString()) == std::string::npos);
    QCOMPARE(t.dialogs.texts().size(), 1);
    QCOMPARE(t.dialogs.texts()[0].left(16), QStringLiteral("Could not connec"));
}

QTEST_MAIN(ServerLiesTest)
#include "tst_serverlies.moc"
