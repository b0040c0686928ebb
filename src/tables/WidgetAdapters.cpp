#include "tables/WidgetAdapters.h"

#include <QListWidget>
#include <QProgressBar>

namespace tableswindow {

int ListWidgetTableList::count() const { return widget_->count(); }
int ListWidgetTableList::currentIndex() const { return widget_->currentRow(); }

void ListWidgetTableList::setCurrentIndex(int index)
{
    // Making an entry current must not change which entries are selected.
    widget_->setCurrentRow(index, QItemSelectionModel::NoUpdate);
}

QString ListWidgetTableList::text(int index) const { return widget_->item(index)->text(); }
bool ListWidgetTableList::isSelected(int index) const { return widget_->item(index)->isSelected(); }
void ListWidgetTableList::setSelected(int index, bool selected) { widget_->item(index)->setSelected(selected); }
void ListWidgetTableList::removeAt(int index) { delete widget_->takeItem(index); }
void ListWidgetTableList::append(const QString &name) { widget_->addItem(name); }
void ListWidgetTableList::clear() { widget_->clear(); }

void ProgressBarAdapter::setValue(double percent)
{
    value_ = percent;
    widget_->setValue(static_cast<int>(percent));
}

} // namespace tableswindow
