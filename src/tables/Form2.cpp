#include "tables/Form2.h"

#include "app/ClipboardCopy.h"
#include "app/Guard.h"
#include "app/HoverTracker.h"
#include "app/OperationLock.h"
#include "app/ProductInfo.h"
#include "app/Services.h"
#include "app/WindowLook.h"
#include "platform/Shell.h"
#include "tableops/DeleteTables.h"
#include "tableops/RenameTable.h"
#include "tableops/Selection.h"
#include "tables/LogView.h"
#include "transfer/copy/CompleteCopy.h"
#include "transfer/copy/DescribedCopy.h"
#include "transfer/compare/MakeMatch.h"
#include "transfer/compare/TableCompare.h"
#include "transfer/shared/TransferRun.h"
#include "ui_Form2.h"

#include <QCloseEvent>
#include <QMenu>

namespace tableswindow {

namespace {
QString location(const QString &handler) { return app::ErrorReport::location(QStringLiteral("Form2"), handler); }

std::unique_ptr<Ui::Form2> setUp(QWidget *form)
{
    auto ui = std::make_unique<Ui::Form2>();
    ui->setupUi(form);
    return ui;
}
} // namespace

Form2::Form2(app::Services &services, const sides::ProfileSource &profiles, std::function<void()> showConnectionWindow)
    : ui_(setUp(this)), services_(services), profiles_(profiles),
      showConnectionWindow_(std::move(showConnectionWindow)), pointer_(this), list1_(ui_->List1), list2_(ui_->List2),
      progress_(ui_->ProgressBar1),
      runtimeErrorReport_(services.dialogs, *ui_->Text1, [this] { ui_->PushButton14->setEnabled(true); })
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui_->Text1->setClipboard(services_.clipboard);
    for (QPushButton *b : findChildren<QPushButton *>()) {
        QFont f = b->font();
        f.setPointSizeF(11.25);
        b->setFont(f);
    }
    services_.lock.watch(this);
    wireButtons();
    offerSendMenus();
    watchHover();
    Form_Load();
}

Form2::~Form2() = default;

sides::TableManagerFactory Form2::factory(app::Services &services)
{
    return [&services](const sides::ProfileSource &profiles, std::function<void()> showConnectionWindow) {
        return std::make_unique<Form2>(services, profiles, std::move(showConnectionWindow));
    };
}

transfer::LogPane &Form2::logPane() { return *ui_->Text1; }

void Form2::showManager()
{
    // What a copy cut short left in a database is named where the user reads what was sent.
    for (const int side : {1, 2}) {
        const QString name = side == 1 ? QStringLiteral("MySQL #1") : QStringLiteral("MySQL #2");
        for (const QString &note : transfer::leftBehindNotes(tableList(side), name))
            logPane().appendEntry(note.toStdString());
    }
    show();
}

void Form2::Form_Load()
{
    app::Guard g(services_.dialogs, location(QStringLiteral("Form_Load")));
    g(100, [&] { app::look::useSystemColours(this); });
    g(102, [&] { setWindowIcon(QIcon(QStringLiteral(":/tabulink.svg"))); });
    g(104, [&] { app::look::loadHandPointer(pointer_, services_.programFolder); });
    g(106, [&] { setWindowTitle(app::product::Name); });
}

void Form2::wireButtons()
{
    const std::pair<QPushButton *, void (Form2::*)()> handlers[] = {
        {ui_->PushButton1, &Form2::PushButton1_Click},   {ui_->PushButton2, &Form2::PushButton2_Click},
        {ui_->PushButton3, &Form2::PushButton3_Click},   {ui_->PushButton4, &Form2::PushButton4_Click},
        {ui_->PushButton5, &Form2::PushButton5_Click},   {ui_->PushButton6, &Form2::PushButton6_Click},
        {ui_->PushButton7, &Form2::PushButton7_Click},   {ui_->PushButton8, &Form2::PushButton8_Click},
        {ui_->PushButton9, &Form2::PushButton9_Click},   {ui_->PushButton10, &Form2::PushButton10_Click},
        {ui_->PushButton11, &Form2::PushButton11_Click}, {ui_->PushButton12, &Form2::PushButton12_Click},
        {ui_->PushButton13, &Form2::PushButton13_Click}, {ui_->PushButton14, &Form2::PushButton14_Click},
    };
    for (const auto &[button, handler] : handlers)
        connect(button, &QPushButton::clicked, this, [this, handler = handler] { startLater(handler); });
}

void Form2::startLater(void (Form2::*handler)())
{
    services_.lock.startLater(this, [this, handler] { (this->*handler)(); });
}

void Form2::watchHover()
{
    auto *hover = new app::HoverTracker(pointer_, this);
    for (QPushButton *b : findChildren<QPushButton *>())
        hover->watch(b, app::HoverTarget::Button);
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(ui_->Frame1),
                       static_cast<QWidget *>(ui_->Frame2), static_cast<QWidget *>(ui_->Frame3),
                       static_cast<QWidget *>(ui_->List1), static_cast<QWidget *>(ui_->List2)})
        hover->watch(w, app::HoverTarget::Surface);
}

void Form2::operation(const QString &handler, const std::function<void(app::Guard &)> &body)
{
    services_.lock.run([&] {
        app::Guard g(services_.dialogs, location(handler));
        body(g);
    });
}

void Form2::selectAll(sides::TableList &list, bool selected, const QString &handler)
{
    operation(handler, [&](app::Guard &g) { g(100, [&] { tableops::setAllSelected(list, selected); }); });
}

void Form2::sendTables(int fromSide, const QString &handler, const BetweenSides &run)
{
    operation(handler, [&](app::Guard &) {
        const bool fromOne = fromSide == 1;
        const transfer::TransferEnds ends{fromOne ? list1_ : list2_, fromOne ? list2_ : list1_,
                                          profiles_.profile(fromOne ? 1 : 2), profiles_.profile(fromOne ? 2 : 1),
                                          location(handler), transfer::tablesAtOnceSetting(services_.settings)};
        run(ends, {services_.dialogs, services_.yield, pointer_, progress_, *ui_->Text1, runtimeErrorReport_});
    });
}

QMenu *Form2::sendMenu(int fromSide)
{
    const QString to = fromSide == 1 ? QStringLiteral("MySQL #2") : QStringLiteral("MySQL #1");
    auto *menu = new QMenu(this);
    const auto plain = fromSide == 1 ? &Form2::PushButton3_Click : &Form2::PushButton8_Click;
    const auto complete = fromSide == 1 ? &Form2::sendCompleteFromOne : &Form2::sendCompleteFromTwo;
    menu->addAction(QStringLiteral("Send Table(s) to ") + to, this, [this, plain] { startLater(plain); });
    menu->addAction(QStringLiteral("Send Complete Table(s) to ") + to, this,
                    [this, complete] { startLater(complete); });
    const auto compare = fromSide == 1 ? &Form2::compareFromOne : &Form2::compareFromTwo;
    menu->addAction(QStringLiteral("Compare Table(s) with ") + to, this, [this, compare] { startLater(compare); });
    const auto match = fromSide == 1 ? &Form2::makeMatchFromOne : &Form2::makeMatchFromTwo;
    menu->addAction(QStringLiteral("Make ") + to + QStringLiteral(" Match"), this, [this, match] { startLater(match); });
    return menu;
}

void Form2::offerSendMenus()
{
    const std::pair<QWidget *, int> owners[] = {
        {ui_->List1, 1}, {ui_->PushButton3, 1}, {ui_->List2, 2}, {ui_->PushButton8, 2}};
    for (const auto &[widget, side] : owners) {
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(widget, &QWidget::customContextMenuRequested, this, [this, widget, side](const QPoint &at) {
            QMenu *menu = sendMenu(side);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(widget->mapToGlobal(at));
        });
    }
    ui_->PushButton3->setToolTip(
        QStringLiteral("Right-click for Send Complete Table(s) to MySQL #2 (keys, indexes, triggers and all) "
                       ", Compare Table(s) with MySQL #2 and Make MySQL #2 Match"));
    ui_->PushButton8->setToolTip(
        QStringLiteral("Right-click for Send Complete Table(s) to MySQL #1 (keys, indexes, triggers and all) "
                       ", Compare Table(s) with MySQL #1 and Make MySQL #1 Match"));
}

void Form2::sendCompleteTables(int fromSide)
{
    sendTables(fromSide,
               fromSide == 1 ? QStringLiteral("PushButton3_Complete") : QStringLiteral("PushButton8_Complete"),
               transfer::runCompleteTransfer);
}

void Form2::sendCompleteFromOne() { sendCompleteTables(1); }
void Form2::sendCompleteFromTwo() { sendCompleteTables(2); }

void Form2::compareTables(int fromSide)
{
    sendTables(fromSide,
               fromSide == 1 ? QStringLiteral("PushButton3_Compare") : QStringLiteral("PushButton8_Compare"),
               [fromSide](const transfer::TransferEnds &ends, const transfer::TransferUi &ui) {
                   transfer::runCompare(ends, ui, fromSide);
               });
}

void Form2::compareFromOne() { compareTables(1); }
void Form2::compareFromTwo() { compareTables(2); }

void Form2::makeOtherSideMatch(int fromSide)
{
    sendTables(fromSide, fromSide == 1 ? QStringLiteral("PushButton3_Match") : QStringLiteral("PushButton8_Match"),
               [fromSide](const transfer::TransferEnds &ends, const transfer::TransferUi &ui) {
                   transfer::runMakeMatch(ends, ui, fromSide);
               });
}

void Form2::makeMatchFromOne() { makeOtherSideMatch(1); }
void Form2::makeMatchFromTwo() { makeOtherSideMatch(2); }

void Form2::PushButton1_Click() { selectAll(list1_, true, QStringLiteral("PushButton1_Click")); }
void Form2::PushButton2_Click() { selectAll(list1_, false, QStringLiteral("PushButton2_Click")); }
void Form2::PushButton6_Click() { selectAll(list2_, true, QStringLiteral("PushButton6_Click")); }
void Form2::PushButton7_Click() { selectAll(list2_, false, QStringLiteral("PushButton7_Click")); }
void Form2::PushButton3_Click() { sendTables(1, QStringLiteral("PushButton3_Click"), transfer::runTransfer); }
void Form2::PushButton8_Click() { sendTables(2, QStringLiteral("PushButton8_Click"), transfer::runTransfer); }

void Form2::changeTables(int side, TableChange change, const QString &handler)
{
    operation(handler, [&](app::Guard &) {
        const tableops::TableSide tables{tableList(side), [this, side] { return profiles_.profile(side); },
                                         location(handler), &services_.yield};
        if (change == TableChange::Rename)
            tableops::renameTable(tables, services_.dialogs, pointer_);
        else // side #2's drops end with a semicolon, side #1's do not
            tableops::deleteTables(tables, side == 2, services_.dialogs, pointer_);
    });
}

void Form2::PushButton4_Click() { changeTables(1, TableChange::Drop, QStringLiteral("PushButton4_Click")); }
void Form2::PushButton9_Click() { changeTables(2, TableChange::Drop, QStringLiteral("PushButton9_Click")); }
void Form2::PushButton5_Click() { changeTables(1, TableChange::Rename, QStringLiteral("PushButton5_Click")); }
void Form2::PushButton10_Click() { changeTables(2, TableChange::Rename, QStringLiteral("PushButton10_Click")); }

void Form2::PushButton11_Click()
{
    operation(QStringLiteral("PushButton11_Click"), [&](app::Guard &g) {
        g(100, [&] { showConnectionWindow_(); });
        g(102, [&] { hide(); });
    });
}

void Form2::PushButton12_Click()
{
    operation(QStringLiteral("PushButton12_Click"), [&](app::Guard &g) {
        QString text;
        g(100, [&] { text = ui_->Text1->text(); });
        g(102, [&] { app::copyTextToClipboard(services_.clipboard, text); });
    });
}

void Form2::PushButton13_Click()
{
    operation(QStringLiteral("PushButton13_Click"), [&](app::Guard &g) { g(100, [&] { ui_->Text1->clear(); }); });
}

void Form2::PushButton14_Click()
{
    operation(QStringLiteral("PushButton14_Click"), [&](app::Guard &g) {
        g(100, [&] { services_.shell.openAddress(QStringLiteral("mailto:") + app::product::HelpAddress); });
    });
}

void Form2::showLoginSecurity(int side, const QString &text)
{
    (side == 1 ? ui_->Frame1 : ui_->Frame2)->setToolTip(QStringLiteral("Connection: ") + text);
}

void Form2::closeEvent(QCloseEvent *event)
{
    event->accept();
    services_.endProgram();
}

void Form2::showEvent(QShowEvent *event)
{
    centred_.shown(*this);
    QWidget::showEvent(event);
}

} // namespace tableswindow
