#pragma once

#include "app/WindowPlacement.h"
#include "app/WindowPointer.h"
#include "sides/Windows.h"
#include "tables/WidgetAdapters.h"
#include "transfer/shared/StatementSink.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace app {
class Guard;
struct Services;
} // namespace app
namespace transfer {
class LogPane;
struct TransferEnds;
struct TransferUi;
} // namespace transfer
namespace Ui {
class Form2;
}
class QMenu;

namespace tableswindow {

// The table manager: both sides' tables, what can be done to them, and the debug log.
class Form2 : public QWidget, public sides::TableManager {
    Q_OBJECT
public:
    // Loading happens here: the window exists (hidden) from its creation on.
    Form2(app::Services &services, const sides::ProfileSource &profiles, std::function<void()> showConnectionWindow);
    ~Form2() override;

    // How the connection window gets its table manager.
    static sides::TableManagerFactory factory(app::Services &services);

    Ui::Form2 &ui() { return *ui_; }
    sides::TableList &list1() { return list1_; }
    sides::TableList &list2() { return list2_; }
    app::WindowPointer &pointer() { return pointer_; }
    ProgressBarAdapter &progress() { return progress_; }
    transfer::LogPane &logPane();

    // The menu of List1 and PushButton3 (side 1) or List2 and PushButton8 (side 2): the plain
    // send, as the button does, the complete one, the comparison with the other side, and making
    // the other side match. The
    // caller owns it. An entry starts its operation once the menu's own handling of the click or
    // key is over.
    QMenu *sendMenu(int fromSide);
    void sendCompleteTables(int fromSide);
    void compareTables(int fromSide);
    // The other side's tables made to match this side's, only their differing rows changed.
    void makeOtherSideMatch(int fromSide);

    sides::TableList &tableList(int side) override { return side == 1 ? list1() : list2(); }
    void showManager() override;
    void hideManager() override { hide(); }
    bool managerVisible() const override { return isVisible(); }
    void showLoginSecurity(int side, const QString &text) override;

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
    enum class TableChange { Drop, Rename };

    void Form_Load();
    void wireButtons();
    // Buttons and menu entries start their handler once the widget's own event handling is done.
    void startLater(void (Form2::*handler)());
    void sendCompleteFromOne();
    void sendCompleteFromTwo();
    void compareFromOne();
    void compareFromTwo();
    void makeMatchFromOne();
    void makeMatchFromTwo();
    void watchHover();
    void operation(const QString &handler, const std::function<void(app::Guard &)> &body);
    void selectAll(sides::TableList &list, bool selected, const QString &handler);
    // What runs between the two sides: a copy or a comparison, from side fromSide to the other.
    using BetweenSides = std::function<void(const transfer::TransferEnds &, const transfer::TransferUi &)>;
    void sendTables(int fromSide, const QString &handler, const BetweenSides &run);
    void offerSendMenus();
    void changeTables(int side, TableChange change, const QString &handler);

    std::unique_ptr<Ui::Form2> ui_;
    app::Services &services_;
    const sides::ProfileSource &profiles_;
    std::function<void()> showConnectionWindow_;
    app::WindowPointer pointer_;
    ListWidgetTableList list1_;
    ListWidgetTableList list2_;
    ProgressBarAdapter progress_;
    transfer::RuntimeErrorReport runtimeErrorReport_;
    app::CentredOnFirstShow centred_;
};

} // namespace tableswindow
