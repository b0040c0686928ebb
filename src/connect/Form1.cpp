#include "connect/Form1.h"

#include "app/ApplicationTitle.h"
#include "app/Guard.h"
#include "app/HomePage.h"
#include "app/HoverTracker.h"
#include "app/OperationLock.h"
#include "app/ProductInfo.h"
#include "app/SettingsStore.h"
#include "app/WindowLook.h"
#include "connect/HelpText.h"
#include "connect/TableListing.h"
#include "connect/TestConnection.h"
#include "platform/Dialogs.h"
#include "platform/Services.h"
#include "tables/Form2.h"
#include "ui_Form1.h"

#include <QCloseEvent>
#include <QScreen>
#include <QTimer>

namespace {

QString location(const QString &handler) { return ErrorReport::location(QStringLiteral("Form1"), handler); }

std::unique_ptr<Ui::Form1> setUp(QWidget *form)
{
    auto ui = std::make_unique<Ui::Form1>();
    ui->setupUi(form);
    return ui;
}

} // namespace

Form1::Form1(platform::Services &services) : ui_(setUp(this)), services_(services), pointer_(this)
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    for (QPushButton *b : findChildren<QPushButton *>()) {
        QFont f = b->font();
        f.setPointSizeF(11.25);
        b->setFont(f);
    }
    // Passwords show one "*" per character, whatever the style's own mask character is.
    for (QLineEdit *password : {ui_->Text3, ui_->Text7})
        password->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    services_.lock.watch(this);
    connect(ui_->PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(ui_->PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(ui_->PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(ui_->PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    rememberTyping();
    watchHover();
}

Form1::~Form1() = default;

std::vector<Form1::Box> Form1::boxes() const
{
    const QString localhost = QStringLiteral("localhost");
    const QString port = QStringLiteral("3306");
    return {
        {ui_->Text1, QStringLiteral("MyServer"), localhost},   {ui_->Text2, QStringLiteral("MyUser"), {}},
        {ui_->Text3, QStringLiteral("MyPassword"), {}},        {ui_->Text4, QStringLiteral("MyDatabase"), {}},
        {ui_->Text9, QStringLiteral("MyPort"), port},          {ui_->Text5, QStringLiteral("MyServer2"), localhost},
        {ui_->Text6, QStringLiteral("MyUser2"), {}},           {ui_->Text7, QStringLiteral("MyPassword2"), {}},
        {ui_->Text8, QStringLiteral("MyDatabase2"), {}},       {ui_->Text10, QStringLiteral("MyPort2"), port},
    };
}

ConnectionProfile Form1::profile(int side) const
{
    if (side == 1)
        return {ui_->Text1->text(), ui_->Text2->text(), ui_->Text3->text(), ui_->Text4->text(), ui_->Text9->text()};
    return {ui_->Text5->text(), ui_->Text6->text(), ui_->Text7->text(), ui_->Text8->text(), ui_->Text10->text()};
}

void Form1::rememberTyping()
{
    for (const Box &box : boxes()) {
        box.edit->installEventFilter(this);
        connect(box.edit, &QLineEdit::textChanged, this, [this, key = box.key](const QString &text) {
            try {
                SettingsStore(services_.settings).write(key, text);
            } catch (const std::exception &e) {
                // A box on every keystroke would make typing impossible; the next change tries again.
                qWarning("Tabulink: %s", e.what());
            }
        });
    }
}

void Form1::watchHover()
{
    auto *hover = new HoverTracker(pointer_, this);
    for (QPushButton *b : findChildren<QPushButton *>())
        hover->watch(b, HoverTarget::Button);
    hover->watch(this, HoverTarget::Surface);
    hover->watch(ui_->Frame1, HoverTarget::Surface);
    hover->watch(ui_->Frame2, HoverTarget::Surface);
    for (const Box &box : boxes())
        hover->watch(box.edit, HoverTarget::Surface);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched)) {
            // After the click that gave the focus has placed the caret.
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::loadSettings(Guard &g, int firstLine)
{
    const SettingsStore store(services_.settings);
    int line = firstLine;
    for (const Box &box : boxes()) {
        g(line, [&] { box.edit->setText(store.read(box.key, box.defaultValue)); });
        line += 2;
    }
}

void Form1::Form_Load()
{
    services_.lock.run([&] {
        Guard g(services_.dialogs, location(QStringLiteral("Form_Load")));
        g(100, [&] { look::applyOptionalSkin(this, services_.programFolder); });
        g(102, [&] { setWindowTitle(product::Name); });
        g(104, [&] { setWindowIcon(QIcon(QStringLiteral(":/tabulink.svg"))); });
        g(106, [&] { setApplicationTitle(applicationTitleFrom(product::Name)); });
        g(108, [&] { maybeOpenHomePage(services_.random, services_.shell); });
        g(110, [&] { look::loadHandPointer(pointer_, services_.programFolder); });
        loadSettings(g, 112);
        g(132, [&] {
            form2_ = std::make_unique<Form2>(services_, [this](int side) { return profile(side); },
                                             [this] { show(); });
        });
        if (g.when(134, [&] { return !canConnectToMySQL(connectionString(profile(1))); }))
            return;
        if (g.when(136, [&] { return !canConnectToMySQL(connectionString(profile(2))); }))
            return;
        g(138, [&] { runNext(); });
    });
}

void Form1::runNext()
{
    Guard g(services_.dialogs, location(QStringLiteral("PushButton2_Click")));
    g(100, [&] { pointer_.set(pointer::Busy); });
    const bool bothConnect = !g.when(102, [&] { return !canConnectToMySQL(connectionString(profile(1))); })
                             && !g.when(104, [&] { return !canConnectToMySQL(connectionString(profile(2))); });
    if (bothConnect && form2_) {
        g(106, [&] {
            addTablesToMySQLList(form2_->list1(), connectionString(profile(1)), services_.dialogs, services_.yield);
        });
        g(108, [&] {
            addTablesToMySQLList(form2_->list2(), connectionString(profile(2)), services_.dialogs, services_.yield);
        });
        g(110, [&] { form2_->show(); });
        g(112, [&] { hide(); });
    }
    g(116, [&] { pointer_.set(pointer::Default); });
}

void Form1::PushButton2_Click() { services_.lock.run([&] { runNext(); }); }

void Form1::testProfile(int side, const QString &handler)
{
    services_.lock.run(
        [&] { testConnection(profile(side), location(handler), services_.dialogs, services_.yield, pointer_); });
}

void Form1::PushButton3_Click() { testProfile(1, QStringLiteral("PushButton3_Click")); }
void Form1::PushButton1_Click() { testProfile(2, QStringLiteral("PushButton1_Click")); }

void Form1::PushButton4_Click()
{
    services_.lock.run([&] {
        Guard g(services_.dialogs, location(QStringLiteral("PushButton4_Click")));
        g(100, [&] { services_.dialogs.message(helpText()); });
    });
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    services_.endProgram();
}

void Form1::showEvent(QShowEvent *event)
{
    if (!centred_ && screen()) {
        centred_ = true;
        move(screen()->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}
