#pragma once

#include "app/SecuritySettings.h"

#include <QDialog>

#include <memory>

class QLineEdit;

namespace Ui {
class SecurityDialog;
}

namespace connectwindow {

// One side's connection security, as a small dialog: the TLS mode, the files it may need, and
// whether the password lives in the system keyring.
class SecurityDialog : public QDialog {
    Q_OBJECT
public:
    SecurityDialog(const QString &title, const app::SideSecurity &security, QWidget *parent);
    ~SecurityDialog() override;

    app::SideSecurity security() const;
    Ui::SecurityDialog &ui() { return *ui_; }

private:
    void browse(QLineEdit *into, const QString &caption);
    void showWhatIsNeeded();
    void showCertificate();

    std::unique_ptr<Ui::SecurityDialog> ui_;
    app::RememberedCertificate certificate_;
};

} // namespace connectwindow
