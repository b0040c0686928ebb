#pragma once

#include "tables/LogText.h"
#include "transfer/LogPane.h"

#include <QAbstractScrollArea>

namespace tableswindow {

// The debug log pane: shows the log's lines (only those in view are drawn), scrolls, and takes
// typing at its end like a simple text box. Appends show within a tenth of a second.
class LogView : public QAbstractScrollArea, public transfer::LogPane {
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);

    void appendEntry(std::string_view utf8) override;
    QString text() const override;
    void clear() override;

    void setPlainText(const QString &text);
    const LogText &log() const { return log_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleRefresh();
    void refresh();
    int lineHeight() const;

    LogText log_;
    bool refreshScheduled_ = false;
};

} // namespace tableswindow
