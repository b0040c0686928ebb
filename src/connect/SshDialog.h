#pragma once

#include "app/SshSettings.h"

#include <QDialog>

#include <memory>

namespace Ui {
class SshDialog;
}

namespace connectwindow {

// One side's SSH tunnel, as a small dialog: whether there is one, the SSH server and how to log in
// to it, the jump hosts before it, and whether ~/.ssh/config is read for it.
class SshDialog : public QDialog {
    Q_OBJECT
public:
    SshDialog(const QString &title, const app::SideSsh &ssh, const QString &secret, QWidget *parent);
    ~SshDialog() override;

    app::SideSsh ssh() const;
    QString secret() const;
    Ui::SshDialog &ui() { return *ui_; }

private:
    void showWhatIsNeeded();

    std::unique_ptr<Ui::SshDialog> ui_;
};

} // namespace connectwindow
