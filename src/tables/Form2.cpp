#include "tables/Form2.h"

#include "app/ClipboardCopy.h"
#include "app/Guard.h"
#include "app/HoverTracker.h"
#include "app/OperationLock.h"
#include "app/ProductInfo.h"
#include "app/WindowLook.h"
#include "platform/Services.h"
#include "platform/Shell.h"
#include "tables/DeleteTables.h"
#include "tables/RenameTable.h"
#include "tables/Selection.h"
#include "transfer/TransferRun.h"
#include "tables/LogView.h"
#include "ui_Form2.h"

#include <QCloseEvent>
#include <QScreen>

namespace {
QString location(const QString &handler) { return ErrorReport::location(QStringLiteral("Form2"), handler); }

std::unique_ptr<Ui::Form2> setUp(QWidget *form)
{
    auto ui = std::make_unique<Ui::Form2>();
    ui->setupUi(form);
    return ui;
}
} // namespace

Form2::Form2(platform::Services &services, ProfileSource profiles, std::function<void()> showConnectionWindow)
    : ui_(setUp(this)), services_(services), profiles_(std::move(profiles)),
      showConnectionWindow_(std::move(showConnectionWindow)), pointer_(this), list1_(ui_->List1),
      list2_(ui_->List2), progress_(ui_->ProgressBar1),
      debugLog_(*ui_->Text1, services.dialogs, [this] { ui_->PushButton14->setEnabled(true); })
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    for (QPushButton *b : findChildren<QPushButton *>()) {
        QFont f = b->font();
        f.setPointSizeF(11.25);
        b->setFont(f);
    }
    services_.lock.watch(this);
    wireButtons();
    watchHover();
    Form_Load();
}

Form2::~Form2() = default;

LogPane &Form2::logPane() { return *ui_->Text1; }

void Form2::Form_Load()
{
    Guard g(services_.dialogs, location(QStringLiteral("Form_Load")));
    g(100, [&] { look::useSystemColours(this); });
    g(102, [&] { setWindowIcon(QIcon(QStringLiteral(":/tabulink.svg"))); });
    g(104, [&] { look::loadHandPointer(pointer_, services_.programFolder); });
    g(106, [&] { setWindowTitle(product::Name); });
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
        connect(button, &QPushButton::clicked, this, handler);
}

void Form2::watchHover()
{
    auto *hover = new HoverTracker(pointer_, this);
    for (QPushButton *b : findChildren<QPushButton *>())
        hover->watch(b, HoverTarget::Button);
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(ui_->Frame1),
                       static_cast<QWidget *>(ui_->Frame2), static_cast<QWidget *>(ui_->Frame3),
                       static_cast<QWidget *>(ui_->List1), static_cast<QWidget *>(ui_->List2)})
        hover->watch(w, HoverTarget::Surface);
}

void Form2::operation(const QString &handler, const std::function<void(Guard &)> &body)
{
    services_.lock.run([&] {
        Guard g(services_.dialogs, location(handler));
        body(g);
    });
}

void Form2::selectAll(TableList &list, bool selected, const QString &handler)
{
    operation(handler, [&](Guard &g) { g(100, [&] { setAllSelected(list, selected); }); });
}

void Form2::sendTables(int fromSide, const QString &handler)
{
    operation(handler, [&](Guard &) {
        const bool fromOne = fromSide == 1;
        const TransferEnds ends{fromOne ? list1_ : list2_, fromOne ? list2_ : list1_, profiles_(fromOne ? 1 : 2),
                                profiles_(fromOne ? 2 : 1), location(handler)};
        runTransfer(ends, {services_.dialogs, services_.yield, pointer_, progress_, debugLog_});
    });
}

void Form2::PushButton1_Click() { selectAll(list1_, true, QStringLiteral("PushButton1_Click")); }
void Form2::PushButton2_Click() { selectAll(list1_, false, QStringLiteral("PushButton2_Click")); }
void Form2::PushButton6_Click() { selectAll(list2_, true, QStringLiteral("PushButton6_Click")); }
void Form2::PushButton7_Click() { selectAll(list2_, false, QStringLiteral("PushButton7_Click")); }
void Form2::PushButton3_Click() { sendTables(1, QStringLiteral("PushButton3_Click")); }
void Form2::PushButton8_Click() { sendTables(2, QStringLiteral("PushButton8_Click")); }

void Form2::PushButton4_Click()
{
    const QString handler = QStringLiteral("PushButton4_Click");
    operation(handler, [&](Guard &) {
        deleteTables({list1_, [this] { return profiles_(1); }, location(handler)}, false, services_.dialogs, pointer_);
    });
}

void Form2::PushButton9_Click()
{
    const QString handler = QStringLiteral("PushButton9_Click");
    operation(handler, [&](Guard &) {
        deleteTables({list2_, [this] { return profiles_(2); }, location(handler)}, true, services_.dialogs, pointer_);
    });
}

void Form2::PushButton5_Click()
{
    const QString handler = QStringLiteral("PushButton5_Click");
    operation(handler, [&](Guard &) {
        renameTable({list1_, [this] { return profiles_(1); }, location(handler)}, services_.dialogs, pointer_);
    });
}

void Form2::PushButton10_Click()
{
    const QString handler = QStringLiteral("PushButton10_Click");
    operation(handler, [&](Guard &) {
        renameTable({list2_, [this] { return profiles_(2); }, location(handler)}, services_.dialogs, pointer_);
    });
}

void Form2::PushButton11_Click()
{
    operation(QStringLiteral("PushButton11_Click"), [&](Guard &g) {
        g(100, [&] { showConnectionWindow_(); });
        g(102, [&] { hide(); });
    });
}

void Form2::PushButton12_Click()
{
    operation(QStringLiteral("PushButton12_Click"),
              [&](Guard &g) { g(100, [&] { copyTextToClipboard(services_.clipboard, ui_->Text1->text()); }); });
}

void Form2::PushButton13_Click()
{
    operation(QStringLiteral("PushButton13_Click"), [&](Guard &g) { g(100, [&] { ui_->Text1->clear(); }); });
}

void Form2::PushButton14_Click()
{
    operation(QStringLiteral("PushButton14_Click"), [&](Guard &g) {
        g(100, [&] { services_.shell.openAddress(QStringLiteral("mailto:") + product::HelpAddress); });
    });
}

void Form2::closeEvent(QCloseEvent *event)
{
    event->accept();
    services_.endProgram();
}

void Form2::showEvent(QShowEvent *event)
{
    if (!centred_ && screen()) {
        centred_ = true;
        move(screen()->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}
