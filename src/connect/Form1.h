#pragma once

#include "app/PasswordKeeper.h"
#include "app/WindowPlacement.h"
#include "app/WindowPointer.h"
#include "connect/SideTunnels.h"
#include "sides/Windows.h"

#include <QWidget>

#include <memory>

class QLineEdit;
namespace app {
class Guard;
struct Services;
} // namespace app
namespace Ui {
class Form1;
}

namespace connectwindow {

// The entry each Server box's right-click menu adds to a text box's own.
inline const QString ConnectionSecurityEntry = QStringLiteral("Connection Security…");
inline const QString SshTunnelEntry = QStringLiteral("SSH Tunnel…");

// The connection window: the two logins, their tests, and the way on to the table manager.
// Its boxes are the live profiles every operation reads.
class Form1 : public QWidget, public sides::ProfileSource {
    Q_OBJECT
public:
    Form1(app::Services &services, sides::TableManagerFactory makeTableManager);
    ~Form1() override;

    // Start-up: looks, remembered logins, and straight on to the tables when both logins work.
    void Form_Load();

    sides::ConnectionProfile profile(int side) const override;
    // Made at start-up; null before, or when making it failed.
    sides::TableManager *tableManager() const { return tableManager_.get(); }
    Ui::Form1 &ui() { return *ui_; }
    app::WindowPointer &pointer() { return pointer_; }

public slots:
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Box {
        QLineEdit *edit;
        QString key;
        QString defaultValue;
    };
    std::vector<Box> boxes() const;
    void loadSettings(app::Guard &g, int line);
    void rememberTyping();
    void offerSecuritySettings();
    void keepPasswordLater(int side);
    void editSecurity(int side);
    void editSsh(int side);
    void showServerTooltip(int side) const;
    void watchHover();
    void runNext();
    void testProfile(int side, const QString &handler);

    std::unique_ptr<Ui::Form1> ui_;
    app::Services &services_;
    sides::TableManagerFactory makeTableManager_;
    app::WindowPointer pointer_;
    std::unique_ptr<sides::TableManager> tableManager_;
    app::PasswordKeeper passwords_;
    bool passwordPending_[2] = {false, false};
    SideTunnels tunnels_;
    mutable QString loginText_[2];
    app::CentredOnFirstShow centred_;
};

} // namespace connectwindow
