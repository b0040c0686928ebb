#include "connect/SecurityDialog.h"

#include "ui_SecurityDialog.h"

#include <QFileDialog>
#include <QPushButton>

namespace connectwindow {

namespace {
using Mode = platform::ConnectionSecurity::Mode;
}

SecurityDialog::SecurityDialog(const QString &title, const app::SideSecurity &s, QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SecurityDialog>())
{
    ui_->setupUi(this);
    setWindowTitle(title);
    ui_->ModeBox->setCurrentIndex(static_cast<int>(s.connection.mode));
    ui_->CaFile->setText(QString::fromStdString(s.connection.caFile));
    ui_->CertFile->setText(QString::fromStdString(s.connection.certFile));
    ui_->KeyFile->setText(QString::fromStdString(s.connection.keyFile));
    ui_->PublicKeyFile->setText(QString::fromStdString(s.connection.serverPublicKeyFile));
    ui_->CompressionBox->setCurrentIndex(static_cast<int>(s.connection.compression));
    ui_->KeyringBox->setChecked(s.passwordInKeyring);
    certificate_ = s.certificate;
    showCertificate();
    connect(ui_->ForgetCertificate, &QPushButton::clicked, this, [this] {
        certificate_ = {};
        showCertificate();
    });
    connect(ui_->BrowseCa, &QPushButton::clicked, this, [this] { browse(ui_->CaFile, tr("CA certificate")); });
    connect(ui_->BrowseCert, &QPushButton::clicked, this, [this] { browse(ui_->CertFile, tr("Client certificate")); });
    connect(ui_->BrowseKey, &QPushButton::clicked, this, [this] { browse(ui_->KeyFile, tr("Client key")); });
    connect(ui_->BrowsePublicKey, &QPushButton::clicked, this,
            [this] { browse(ui_->PublicKeyFile, tr("Server public key")); });
    connect(ui_->ModeBox, &QComboBox::currentIndexChanged, this, &SecurityDialog::showWhatIsNeeded);
    connect(ui_->CaFile, &QLineEdit::textChanged, this, &SecurityDialog::showWhatIsNeeded);
    showWhatIsNeeded();
}

SecurityDialog::~SecurityDialog() = default;

app::SideSecurity SecurityDialog::security() const
{
    app::SideSecurity s;
    s.connection.mode = static_cast<Mode>(ui_->ModeBox->currentIndex());
    s.connection.caFile = ui_->CaFile->text().trimmed().toStdString();
    s.connection.certFile = ui_->CertFile->text().trimmed().toStdString();
    s.connection.keyFile = ui_->KeyFile->text().trimmed().toStdString();
    s.connection.serverPublicKeyFile = ui_->PublicKeyFile->text().trimmed().toStdString();
    s.connection.compression = static_cast<platform::ConnectionSecurity::Compression>(ui_->CompressionBox->currentIndex());
    s.passwordInKeyring = ui_->KeyringBox->isChecked();
    s.certificate = certificate_;
    return s;
}

void SecurityDialog::showCertificate()
{
    const bool known = !certificate_.fingerprint.isEmpty();
    ui_->RememberedCertificate->setText(known ? certificate_.server + QStringLiteral("  SHA-256 ") + certificate_.fingerprint
                                              : QString());
    ui_->RememberedCertificate->setCursorPosition(0);
    ui_->ForgetCertificate->setEnabled(known);
}

void SecurityDialog::browse(QLineEdit *into, const QString &caption)
{
    const QString file = QFileDialog::getOpenFileName(this, caption, into->text());
    if (!file.isEmpty())
        into->setText(file);
}

// Verifying needs a CA file: OK waits for one.
void SecurityDialog::showWhatIsNeeded()
{
    const auto mode = static_cast<Mode>(ui_->ModeBox->currentIndex());
    const bool verifies = mode == Mode::VerifyCa || mode == Mode::VerifyIdentity;
    ui_->Buttons->button(QDialogButtonBox::Ok)->setEnabled(!verifies || !ui_->CaFile->text().trimmed().isEmpty());
}

} // namespace connectwindow
