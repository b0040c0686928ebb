#include "connect/Form1.h"

#include "app/ApplicationTitle.h"
#include "app/Guard.h"
#include "app/HomePage.h"
#include "app/HoverTracker.h"
#include "app/OperationLock.h"
#include "app/ProductInfo.h"
#include "app/SavedLogin.h"
#include "app/SecuritySettings.h"
#include "app/SettingsStore.h"
#include "app/Services.h"
#include "app/WindowLook.h"
#include "connect/HelpText.h"
#include "connect/SecurityDialog.h"
#include "platform/ApplicationTitle.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "sides/TableList.h"
#include "tableops/TableListing.h"
#include "tableops/TestConnection.h"
#include "ui_Form1.h"

#include <QCloseEvent>
#include <QMenu>
#include <QTimer>

namespace connectwindow {

namespace {

QString location(const QString &handler) { return app::ErrorReport::location(QStringLiteral("Form1"), handler); }

QString trustQuestion(const platform::CertificateRefusal &refusal)
{
    return QStringLiteral("The server %1 asks for the password itself, and Tabulink has not met its certificate "
                          "before:\r\n\r\nSHA-256 %2\r\n\r\nIf you are sure this is your server's certificate, "
                          "choose Yes: the password is sent, and from now on any other certificate from this server is "
                          "refused. No logs in nowhere.")
        .arg(QString::fromStdString(refusal.server()), QString::fromStdString(refusal.offered()));
}

std::unique_ptr<Ui::Form1> setUp(QWidget *form)
{
    auto ui = std::make_unique<Ui::Form1>();
    ui->setupUi(form);
    return ui;
}

} // namespace

Form1::Form1(app::Services &services, sides::TableManagerFactory makeTableManager)
    : ui_(setUp(this)), services_(services), makeTableManager_(std::move(makeTableManager)), pointer_(this),
      passwords_(services.settings, services.keyring, services.dialogs),
      tunnels_(services, [this](int side) { showServerTooltip(side); })
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
    // Each handler starts once the button's own event handling is done, never beneath it.
    const std::pair<QPushButton *, void (Form1::*)()> handlers[] = {
        {ui_->PushButton1, &Form1::PushButton1_Click}, {ui_->PushButton2, &Form1::PushButton2_Click},
        {ui_->PushButton3, &Form1::PushButton3_Click}, {ui_->PushButton4, &Form1::PushButton4_Click}};
    for (const auto &[button, handler] : handlers)
        connect(button, &QPushButton::clicked, this, [this, handler = handler] {
            services_.lock.startLater(this, [this, handler] { (this->*handler)(); });
        });
    rememberTyping();
    offerSecuritySettings();
    watchHover();
}

Form1::~Form1() = default;

std::vector<Form1::Box> Form1::boxes() const
{
    const app::LoginFields one = app::loginFields(1);
    const app::LoginFields two = app::loginFields(2);
    return {
        {ui_->Text1, one.server.key, one.server.defaultValue},       {ui_->Text2, one.user.key, one.user.defaultValue},
        {ui_->Text3, one.password.key, one.password.defaultValue},   {ui_->Text4, one.database.key, one.database.defaultValue},
        {ui_->Text9, one.port.key, one.port.defaultValue},           {ui_->Text5, two.server.key, two.server.defaultValue},
        {ui_->Text6, two.user.key, two.user.defaultValue},           {ui_->Text7, two.password.key, two.password.defaultValue},
        {ui_->Text8, two.database.key, two.database.defaultValue},   {ui_->Text10, two.port.key, two.port.defaultValue},
    };
}

sides::ConnectionProfile Form1::profile(int side) const
{
    sides::ConnectionProfile p =
        side == 1
            ? sides::ConnectionProfile{ui_->Text1->text(), ui_->Text2->text(), ui_->Text3->text(), ui_->Text4->text(),
                                       ui_->Text9->text()}
            : sides::ConnectionProfile{ui_->Text5->text(), ui_->Text6->text(), ui_->Text7->text(), ui_->Text8->text(),
                                       ui_->Text10->text()};
    const app::SideSecurity kept = app::readSideSecurity(app::SettingsStore(services_.settings), side);
    p.security = kept.connection;
    const QString server = sides::serverAddress(p);
    if (kept.certificate.server == server)
        p.security.rememberedCertificate = kept.certificate.fingerprint.toStdString();
    // Whoever logs in with this profile says what the login got, on the side's Server box and
    // on the table manager's frame of that side; a server's first certificate is remembered.
    p.onLogin = [this, side, server, remembered = p.security.rememberedCertificate,
                 verifies = p.security.verifies()](const platform::TlsState &state) {
        const QString text = QString::fromStdString(platform::describe(state));
        loginText_[side - 1] = QStringLiteral("Connection: ") + text;
        showServerTooltip(side);
        if (tableManager_)
            tableManager_->showLoginSecurity(side, text);
        app::SettingsStore store(services_.settings);
        app::rememberFirstCertificate(store, side, server, verifies, remembered, state);
    };
    p.confirmCertificate = [this](const platform::CertificateRefusal &refusal) {
        return services_.dialogs.message(trustQuestion(refusal), platform::YesNo) == platform::Yes;
    };
    p.tunnel = tunnels_.tunnelOf(side);
    return p;
}

// What the last login got, and the side's SSH tunnel when it has one.
void Form1::showServerTooltip(int side) const
{
    const QString tunnel = tunnels_.state(side);
    const QString &login = loginText_[side - 1];
    (side == 1 ? ui_->Text1 : ui_->Text5)
        ->setToolTip(login.isEmpty() ? tunnel : tunnel.isEmpty() ? login : login + QStringLiteral("\n") + tunnel);
}

void Form1::offerSecuritySettings()
{
    for (const auto &[box, side] : {std::pair{ui_->Text1, 1}, std::pair{ui_->Text5, 2}}) {
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QLineEdit::customContextMenuRequested, this, [this, box = box, side = side](const QPoint &at) {
            QMenu *menu = box->createStandardContextMenu();
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->addSeparator();
            menu->addAction(SshTunnelEntry, this, [this, side] {
                services_.lock.startLater(this, [this, side] { editSsh(side); });
            });
            menu->addAction(ConnectionSecurityEntry, this, [this, side] {
                services_.lock.startLater(this, [this, side] { editSecurity(side); });
            });
            menu->popup(box->mapToGlobal(at));
        });
    }
}

void Form1::editSecurity(int side)
{
    services_.lock.run([&] {
        app::SettingsStore store(services_.settings);
        SecurityDialog dialog(QStringLiteral("Connection Security: MySQL #") + QString::number(side),
                              app::readSideSecurity(store, side), this);
        dialog.setObjectName(QStringLiteral("SecurityDialog%1").arg(side));
        if (dialog.exec() != QDialog::Accepted)
            return;
        try {
            app::SideSecurity chosen = dialog.security();
            const bool wantsKeyring = chosen.passwordInKeyring;
            const bool wasInKeyring = passwords_.inKeyring(side);
            chosen.passwordInKeyring = wasInKeyring;
            app::writeSideSecurity(store, side, chosen);
            if (wantsKeyring != wasInKeyring) {
                const bool now = passwords_.keepInKeyring(side, wantsKeyring, (side == 1 ? ui_->Text3 : ui_->Text7)->text());
                tunnels_.keyringChanged(side, wasInKeyring, now);
            }
        } catch (const std::exception &e) {
            services_.dialogs.message(QString::fromUtf8(e.what()));
        }
    });
}

void Form1::editSsh(int side)
{
    services_.lock.run([&] {
        try {
            tunnels_.edit(side, this);
        } catch (const std::exception &e) {
            services_.dialogs.message(QString::fromUtf8(e.what()));
        }
    });
}

void Form1::rememberTyping()
{
    for (const Box &box : boxes()) {
        box.edit->installEventFilter(this);
        const int passwordOf = box.edit == ui_->Text3 ? 1 : box.edit == ui_->Text7 ? 2 : 0;
        connect(box.edit, &QLineEdit::textChanged, this, [this, key = box.key, passwordOf](const QString &text) {
            try {
                if (passwordOf && passwords_.inKeyring(passwordOf))
                    keepPasswordLater(passwordOf);
                else
                    app::SettingsStore(services_.settings).write(key, text);
            } catch (const std::exception &e) {
                // A box on every keystroke would make typing impossible; the next change tries again.
                qWarning("Tabulink: %s", e.what());
            }
        });
    }
}

// The keyring waits for its answer: never inside the box's own handling of a key.
void Form1::keepPasswordLater(int side)
{
    if (passwordPending_[side - 1])
        return;
    passwordPending_[side - 1] = true;
    QTimer::singleShot(0, this, [this, side] {
        passwordPending_[side - 1] = false;
        passwords_.store(side, (side == 1 ? ui_->Text3 : ui_->Text7)->text());
    });
}

void Form1::watchHover()
{
    auto *hover = new app::HoverTracker(pointer_, this);
    for (QPushButton *b : findChildren<QPushButton *>())
        hover->watch(b, app::HoverTarget::Button);
    hover->watch(this, app::HoverTarget::Surface);
    hover->watch(ui_->Frame1, app::HoverTarget::Surface);
    hover->watch(ui_->Frame2, app::HoverTarget::Surface);
    for (const Box &box : boxes())
        hover->watch(box.edit, app::HoverTarget::Surface);
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

void Form1::loadSettings(app::Guard &g, int line)
{
    // One step: the ten boxes share its number, and each still fails on its own.
    const app::SettingsStore store(services_.settings);
    for (const Box &box : boxes()) {
        g(line, [&] {
            const QString kept = store.read(box.key, box.defaultValue);
            const int passwordOf = box.edit == ui_->Text3 ? 1 : box.edit == ui_->Text7 ? 2 : 0;
            box.edit->setText(passwordOf ? passwords_.load(passwordOf, kept) : kept);
        });
    }
}

void Form1::Form_Load()
{
    services_.lock.run([&] {
        app::Guard g(services_.dialogs, location(QStringLiteral("Form_Load")));
        g(100, [&] { app::look::applyOptionalSkin(this, services_.programFolder); });
        g(102, [&] { setWindowTitle(app::product::Name); });
        g(104, [&] { setWindowIcon(QIcon(QStringLiteral(":/tabulink.svg"))); });
        g(106, [&] { platform::setApplicationTitle(app::applicationTitleFrom(app::product::Name)); });
        g(108, [&] { app::maybeOpenHomePage(services_.random, services_.shell); });
        g(110, [&] { app::look::loadHandPointer(pointer_, services_.programFolder); });
        loadSettings(g, 112);
        g(114, [&] {
            tableManager_ = makeTableManager_(*this, [this] { show(); });
        });
        const auto cannotConnect = [&](int side) {
            return !tableops::canConnectToMySQL(profile(side), &services_.yield);
        };
        if (g.when(116, [&] { return cannotConnect(1); }))
            return;
        if (g.when(118, [&] { return cannotConnect(2); }))
            return;
        g(120, [&] { runNext(); });
    });
}

void Form1::runNext()
{
    app::Guard g(services_.dialogs, location(QStringLiteral("PushButton2_Click")));
    g(100, [&] { pointer_.set(app::pointer::Busy); });
    const auto cannotConnect = [&](int side) {
        return !tableops::canConnectToMySQL(profile(side), &services_.yield);
    };
    const bool bothConnect =
        !g.when(102, [&] { return cannotConnect(1); }) && !g.when(104, [&] { return cannotConnect(2); });
    if (bothConnect && tableManager_) {
        const auto listTables = [&](int number) {
            tableops::addTablesToMySQLList(tableManager_->tableList(number), profile(number),
                                           services_.dialogs, services_.yield);
        };
        g(106, [&] { listTables(1); });
        g(108, [&] { listTables(2); });
        g(110, [&] { tableManager_->showManager(); });
        g(112, [&] { hide(); });
    }
    g(114, [&] { pointer_.set(app::pointer::Default); });
}

void Form1::PushButton2_Click() { services_.lock.run([&] { runNext(); }); }

void Form1::testProfile(int side, const QString &handler)
{
    services_.lock.run([&] {
        tableops::testConnection(profile(side), location(handler), services_.dialogs, services_.yield, pointer_);
    });
}

void Form1::PushButton3_Click() { testProfile(1, QStringLiteral("PushButton3_Click")); }
void Form1::PushButton1_Click() { testProfile(2, QStringLiteral("PushButton1_Click")); }

void Form1::PushButton4_Click()
{
    services_.lock.run([&] {
        app::Guard g(services_.dialogs, location(QStringLiteral("PushButton4_Click")));
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
    centred_.shown(*this);
    QWidget::showEvent(event);
}

} // namespace connectwindow
