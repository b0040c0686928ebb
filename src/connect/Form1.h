#pragma once

#include "app/WindowPointer.h"
#include "connect/ConnectionProfile.h"

#include <QWidget>

#include <memory>

namespace platform {
struct Services;
}
namespace Ui {
class Form1;
}
class Form2;
class Guard;
class QLineEdit;

// The connection window: the two logins, their tests, and the way on to the table manager.
// Its boxes are the live profiles every operation reads.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(platform::Services &services);
    ~Form1() override;

    // Start-up: looks, remembered logins, and straight on to the tables when both logins work.
    void Form_Load();

    ConnectionProfile profile(int side) const;
    Form2 *form2() const { return form2_.get(); }
    Ui::Form1 &ui() { return *ui_; }
    WindowPointer &pointer() { return pointer_; }

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
    void loadSettings(Guard &g, int firstLine);
    void rememberTyping();
    void watchHover();
    void runNext();
    void testProfile(int side, const QString &handler);

    std::unique_ptr<Ui::Form1> ui_;
    platform::Services &services_;
    WindowPointer pointer_;
    std::unique_ptr<Form2> form2_;
    bool centred_ = false;
};
