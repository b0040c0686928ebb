#include "connect/SshDialog.h"

#include "ui_SshDialog.h"

#include <QFileDialog>
#include <QPushButton>

namespace connectwindow {

namespace {
using Login = platform::SshRoute::Login;
}

SshDialog::SshDialog(const QString &title, const app::SideSsh &s, const QString &secret, QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SshDialog>())
{
    ui_->setupUi(this);
    setWindowTitle(title);
    ui_->UseTunnel->setChecked(s.enabled);
    ui_->SshHost->setText(s.host);
    ui_->SshPort->setText(s.port);
    ui_->SshUser->setText(s.user);
    ui_->LoginBox->setCurrentIndex(static_cast<int>(s.login));
    ui_->KeyFile->setText(s.keyFile);
    ui_->Secret->setText(secret);
    ui_->Jumps->setText(s.jumps);
    ui_->UseConfig->setChecked(s.useConfig);
    connect(ui_->BrowseKey, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, tr("SSH key file"), ui_->KeyFile->text());
        if (!file.isEmpty())
            ui_->KeyFile->setText(file);
    });
    connect(ui_->UseTunnel, &QCheckBox::toggled, this, &SshDialog::showWhatIsNeeded);
    connect(ui_->LoginBox, &QComboBox::currentIndexChanged, this, &SshDialog::showWhatIsNeeded);
    connect(ui_->SshHost, &QLineEdit::textChanged, this, &SshDialog::showWhatIsNeeded);
    connect(ui_->SshPort, &QLineEdit::textChanged, this, &SshDialog::showWhatIsNeeded);
    showWhatIsNeeded();
}

SshDialog::~SshDialog() = default;

app::SideSsh SshDialog::ssh() const
{
    app::SideSsh s;
    s.enabled = ui_->UseTunnel->isChecked();
    s.host = ui_->SshHost->text().trimmed();
    s.port = ui_->SshPort->text().trimmed();
    s.user = ui_->SshUser->text().trimmed();
    s.login = static_cast<Login>(ui_->LoginBox->currentIndex());
    s.keyFile = ui_->KeyFile->text().trimmed();
    s.jumps = ui_->Jumps->text().trimmed();
    s.useConfig = ui_->UseConfig->isChecked();
    return s;
}

QString SshDialog::secret() const { return ui_->Secret->text(); }

// The rows that matter for the way of logging in; OK waits for a server and a port that is one.
void SshDialog::showWhatIsNeeded()
{
    const bool on = ui_->UseTunnel->isChecked();
    const auto login = static_cast<Login>(ui_->LoginBox->currentIndex());
    for (QWidget *w : std::initializer_list<QWidget *>{ui_->SshHost, ui_->SshPort, ui_->SshUser, ui_->LoginBox, ui_->Jumps,
                                                       ui_->UseConfig})
        w->setEnabled(on);
    ui_->KeyFile->setEnabled(on && login == Login::KeyFile);
    ui_->BrowseKey->setEnabled(on && login == Login::KeyFile);
    ui_->Secret->setEnabled(on && login != Login::Agent);
    ui_->SecretLabel->setText(login == Login::Password ? tr("Password:") : tr("Passphrase:"));
    bool portOk = true;
    if (!ui_->SshPort->text().trimmed().isEmpty()) {
        const int port = ui_->SshPort->text().trimmed().toInt(&portOk);
        portOk = portOk && port >= 1 && port <= 65535;
    }
    ui_->Buttons->button(QDialogButtonBox::Ok)->setEnabled(!on || (!ui_->SshHost->text().trimmed().isEmpty() && portOk));
}

} // namespace connectwindow
