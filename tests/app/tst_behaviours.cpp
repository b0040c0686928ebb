// Behaviours both windows share: title, home-page draw, clipboard retries, pointer, colours, skin.
#include "app/ApplicationTitle.h"
#include "app/ClipboardCopy.h"
#include "app/FileExists.h"
#include "app/HomePage.h"
#include "app/HoverRule.h"
#include "app/OperationLock.h"
#include "app/Pointer.h"
#include "connect/Form1.h"
#include "platform/ProgramEnding.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "ui_Form1.h"
#include "ui_Form2.h"

#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>

#include <QtTest>

using namespace app;
using namespace connectwindow;
using namespace sides;
using namespace tableswindow;
using namespace transfer;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A real cursor file: an ICO image with the file type switched to cursor.
QByteArray cursorFile()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "ICO");
    bytes[2] = 2;
    return bytes;
}

Form2 *makeForm2(TestServices &t)
{
    static const ProfilesFrom empty([](int) { return ConnectionProfile(); });
    return new Form2(t.services, empty, [] {});
}

void moveOver(QWidget *w)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

} // namespace

class BehavioursTest : public QObject {
    Q_OBJECT
private slots:
    void titleCutsAtTheLastSpace();
    void homePageOpensOnlyOnASeven();
    void clipboardCopyRetries();
    void fileExistsNeverComplains();
    void hoverNeverReplacesTheHourglass();
    void hoverOverTheTableManager();
    void missingPointerFileIsNoError();
    void invalidPointerFileIsReportedOnceAndLoadGoesOn();
    void validPointerFileBecomesTheHand();
    void withoutSkinTheConnectionWindowStaysWhite();
    void skinTakesSystemColoursAndItsStyleSheet();
    void systemColoursLeaveListsTextsAndButtons();
    void operationLockIsFreeAfterAnyWayOut();
    void hourglassBelongsToItsWindow();
    void lockRefusesDropsAndInputMethods();
};

void BehavioursTest::titleCutsAtTheLastSpace()
{
    QCOMPARE(applicationTitleFrom(QStringLiteral("Tabulink")), QStringLiteral("Tabulink"));
    QCOMPARE(applicationTitleFrom(QStringLiteral("Tabulink Pro Edition")), QStringLiteral("Tabulink Pro"));
    // 47 characters whose last word has 8 letters: one cut leaves 38.
    const QString longName = QStringLiteral("Quillmarsh Tabulink Database Copy Tool Software");
    QCOMPARE(longName.size(), 47);
    QCOMPARE(applicationTitleFrom(longName), QStringLiteral("Quillmarsh Tabulink Database Copy Tool"));
    QCOMPARE(applicationTitleFrom(longName).size(), 38);
    // Still over 40 after one cut: cut again.
    QCOMPARE(applicationTitleFrom(QStringLiteral("aaaaaaaaaa bbbbbbbbbb cccccccccc dddddddddd eeeeeeee")),
             QStringLiteral("aaaaaaaaaa bbbbbbbbbb cccccccccc"));
}

void BehavioursTest::homePageOpensOnlyOnASeven()
{
    FakeShell shell;
    FixedRandom seven(0.065); // int(6.5) + 1 = 7
    QCOMPARE(maybeOpenHomePage(seven, shell), 7);
    QCOMPARE(shell.opened, QStringList{QStringLiteral("https://www.quillmarsh.com/")});
    QCOMPARE(seven.seeds, 1);

    FakeShell quiet;
    for (double r : {0.0, 0.059, 0.07, 0.999}) {
        FixedRandom other(r);
        QVERIFY(maybeOpenHomePage(other, quiet) != 7);
    }
    QVERIFY(quiet.opened.isEmpty());

    platform::ClockRandom clock;
    clock.seedFromClock();
    for (int i = 0; i < 1000; ++i) {
        const double r = clock.next();
        QVERIFY(r >= 0.0 && r < 1.0);
    }
}

void BehavioursTest::clipboardCopyRetries()
{
    FakeClipboard busyThrice;
    busyThrice.lockedFor = 3;
    QVERIFY(copyTextToClipboard(busyThrice, QStringLiteral("log")));
    QCOMPARE(busyThrice.attempts, 4);
    QCOMPARE(busyThrice.text, QStringLiteral("log"));

    FakeClipboard locked;
    locked.lockedFor = -1;
    QVERIFY(!copyTextToClipboard(locked, QStringLiteral("log")));
    QCOMPARE(locked.attempts, 1000);
    QVERIFY(!locked.hasText);
}

void BehavioursTest::fileExistsNeverComplains()
{
    QTemporaryDir dir;
    QVERIFY(!fileExists(QString()));
    QVERIFY(!fileExists(dir.filePath(QStringLiteral("missing.cur"))));
        writeFile(dir.filePath(QStringLiteral("here.txt")), "x");
    QVERIFY(fileExists(dir.filePath(QStringLiteral("here.txt"))));
}

void BehavioursTest::hoverNeverReplacesTheHourglass()
{
    QCOMPARE(pointerAfterHover(pointer::Default, HoverTarget::Button), pointer::Custom);
    QCOMPARE(pointerAfterHover(pointer::Custom, HoverTarget::Surface), pointer::Default);
    QCOMPARE(pointerAfterHover(pointer::Busy, HoverTarget::Button), pointer::Busy);
    QCOMPARE(pointerAfterHover(pointer::Busy, HoverTarget::Surface), pointer::Busy);
}

void BehavioursTest::hoverOverTheTableManager()
{
    TestServices t;
    std::unique_ptr<Form2> form(makeForm2(t));
    form->show();
    moveOver(form->ui().PushButton3);
    QCOMPARE(form->pointer().value(), pointer::Custom);
    moveOver(form->ui().List1->viewport());
    QCOMPARE(form->pointer().value(), pointer::Default);
    moveOver(form->ui().PushButton12);
    QCOMPARE(form->pointer().value(), pointer::Custom);
    moveOver(form->ui().Frame3);
    QCOMPARE(form->pointer().value(), pointer::Default);
    form->pointer().set(pointer::Busy);
    moveOver(form->ui().PushButton8);
    QCOMPARE(form->pointer().value(), pointer::Busy);
    moveOver(form->ui().Frame2);
    QCOMPARE(form->pointer().value(), pointer::Busy);
    form->pointer().set(pointer::Default);
}

void BehavioursTest::missingPointerFileIsNoError()
{
    TestServices t;
    std::unique_ptr<Form2> form(makeForm2(t));
    QVERIFY(t.dialogs.messages.empty());
    QVERIFY(!form->pointer().hasCustomPicture());
    moveOver(form->ui().PushButton1);
    QCOMPARE(form->pointer().value(), pointer::Custom); // the arrow stands in for the missing hand
}

void BehavioursTest::invalidPointerFileIsReportedOnceAndLoadGoesOn()
{
    TestServices t;
    writeFile(t.programFolder.filePath(QStringLiteral("HAND-M.CUR")), "not a cursor");
    std::unique_ptr<Form2> form(makeForm2(t));
    QCOMPARE(t.dialogs.messages.size(), size_t(1));
    QVERIFY(t.dialogs.messages[0].text.contains(QStringLiteral("\r\nin Tabulink2021/08/31.Form2.Form_Load at line 104")));
    QCOMPARE(t.dialogs.messages[0].style, 48);
    QCOMPARE(form->windowTitle(), QStringLiteral("Tabulink")); // the step after the pointer still ran
    QVERIFY(!form->pointer().hasCustomPicture());
}

void BehavioursTest::validPointerFileBecomesTheHand()
{
    TestServices t;
    QByteArray file = cursorFile();
    file[10] = 5; // the hotspot the cursor file stores: (5, 9)
    file[11] = 0;
    file[12] = 9;
    file[13] = 0;
    writeFile(t.programFolder.filePath(QStringLiteral("HAND-M.CUR")), file);
    std::unique_ptr<Form2> form(makeForm2(t));
    QVERIFY(t.dialogs.messages.empty());
    QVERIFY(form->pointer().hasCustomPicture());
    form->pointer().set(pointer::Custom);
    QCOMPARE(form->cursor().hotSpot(), QPoint(5, 9));
}

void BehavioursTest::hourglassBelongsToItsWindow()
{
    TestServices t;
    std::unique_ptr<Form2> form(makeForm2(t));
    QWidget *pane = form->ui().Text1->viewport();
    QCOMPARE(pane->cursor().shape(), Qt::IBeamCursor);
    form->pointer().set(pointer::Busy);
    QCOMPARE(form->cursor().shape(), Qt::WaitCursor);
    QCOMPARE(pane->cursor().shape(), Qt::WaitCursor); // over the log pane's text too
    QVERIFY(!QApplication::overrideCursor()); // a box opened now keeps its own arrow
    form->pointer().set(pointer::Default);
    QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(pane->cursor().shape(), Qt::IBeamCursor);
    // The connection window's boxes have an I-beam of their own; the hourglass covers them as well.
    Form1 first(t.services, Form2::factory(t.services));
    first.pointer().set(pointer::Busy);
    QCOMPARE(first.ui().Text1->cursor().shape(), Qt::WaitCursor);
    first.pointer().set(pointer::Default);
    QCOMPARE(first.ui().Text1->cursor().shape(), Qt::IBeamCursor);
}

void BehavioursTest::lockRefusesDropsAndInputMethods()
{
    OperationLock lock;
    QWidget window;
    auto *edit = new QLineEdit(&window);
    lock.watch(&window);
    window.show();
    const auto compose = [&] {
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("ü"));
        QApplication::sendEvent(edit, &commit);
    };
    const auto drop = [&] {
        QMimeData data;
        data.setText(QStringLiteral("dropped"));
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        QDragMoveEvent move(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &move);
        QDropEvent event(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &event);
    };
    lock.run([&] {
        compose();
        drop();
    });
    QCOMPARE(edit->text(), QString());
    // Outside an operation both go through.
    compose();
    QCOMPARE(edit->text(), QStringLiteral("ü"));
    drop();
    QVERIFY(edit->text().contains(QStringLiteral("dropped")));
}

void BehavioursTest::withoutSkinTheConnectionWindowStaysWhite()
{
    TestServices t;
    Form1 form(t.services, Form2::factory(t.services));
    form.Form_Load();
    QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(form.ui().Frame1->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(form.styleSheet().isEmpty());
}

void BehavioursTest::skinTakesSystemColoursAndItsStyleSheet()
{
    TestServices t;
    const QByteArray sheet = "QLineEdit { border: 1px solid #336699; }";
    writeFile(t.programFolder.filePath(QStringLiteral("x/o.cjs")), sheet);
    Form1 form(t.services, Form2::factory(t.services));
    const QColor textBase = form.ui().Text1->palette().color(QPalette::Base);
    form.Form_Load();
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QCOMPARE(form.palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form.ui().Frame2->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form.ui().Label7->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form.ui().Text1->palette().color(QPalette::Base), textBase);
    QCOMPARE(form.styleSheet(), QString::fromUtf8(sheet));
    QVERIFY(t.dialogs.messages.empty());
}

void BehavioursTest::systemColoursLeaveListsTextsAndButtons()
{
    TestServices t;
    std::unique_ptr<Form2> form(makeForm2(t));
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QCOMPARE(form->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form->ui().Frame3->palette().color(QPalette::Window), buttonFace);
    for (QWidget *w : std::initializer_list<QWidget *>{form->ui().List1, form->ui().Text1, form->ui().PushButton1,
                                                       form->ui().ProgressBar1})
        QVERIFY2(!w->testAttribute(Qt::WA_SetPalette), qPrintable(w->objectName()));
    QCOMPARE(form->ui().Text1->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
}

void BehavioursTest::operationLockIsFreeAfterAnyWayOut()
{
    OperationLock lock;
    // An unexpected exception passes through, and the next click is taken again.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, lock.run([] { throw std::runtime_error("unexpected"); }));
    QVERIFY(!lock.busy());
    bool ran = false;
    QVERIFY(lock.run([&] {
        QVERIFY(lock.busy());
        QVERIFY(!lock.run([] {})); // one operation at a time
        ran = true;
    }));
    QVERIFY(ran);
    QVERIFY(!lock.busy());
    // The program ending unwinds quietly.
    QVERIFY(lock.run([] { throw platform::ProgramEnding(); }));
    QVERIFY(!lock.busy());
}

QTEST_MAIN(BehavioursTest)
#include "tst_behaviours.moc"
