#pragma once

#include "app/WindowPointer.h"
#include "connect/ConnectionProfile.h"
#include "tables/DebugLog.h"
#include "tables/WidgetAdapters.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace platform {
struct Services;
}
namespace Ui {
class Form2;
}
class Guard;

// The table manager: both sides' tables, what can be done to them, and the debug log.
class Form2 : public QWidget {
    Q_OBJECT
public:
    using ProfileSource = std::function<ConnectionProfile(int side)>;

    // Loading happens here: the window exists (hidden) from its creation on.
    Form2(platform::Services &services, ProfileSource profiles, std::function<void()> showConnectionWindow);
    ~Form2() override;

    Ui::Form2 &ui() { return *ui_; }
    TableList &list1() { return list1_; }
    TableList &list2() { return list2_; }
    WindowPointer &pointer() { return pointer_; }
    ProgressBarAdapter &progress() { return progress_; }
    LogPane &logPane();
    DebugLog &debugLog() { return debugLog_; }

public slots:
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    void PushButton9_Click();
    void PushButton10_Click();
    void PushButton11_Click();
    void PushButton12_Click();
    void PushButton13_Click();
    void PushButton14_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void wireButtons();
    void watchHover();
    void operation(const QString &handler, const std::function<void(Guard &)> &body);
    void selectAll(TableList &list, bool selected, const QString &handler);
    void sendTables(int fromSide, const QString &handler);

    std::unique_ptr<Ui::Form2> ui_;
    platform::Services &services_;
    ProfileSource profiles_;
    std::function<void()> showConnectionWindow_;
    WindowPointer pointer_;
    ListWidgetTableList list1_;
    ListWidgetTableList list2_;
    ProgressBarAdapter progress_;
    DebugLog debugLog_;
    bool centred_ = false;
};
