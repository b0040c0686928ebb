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

// An operation walks a list by position while it waits for servers; whatever changed the list in
// the meantime, a position past its end reads as an empty, unselected entry instead of a null item.
QString ListWidgetTableList::text(int index) const
{
    const QListWidgetItem *item = widget_->item(index);
    return item ? item->text() : QString();
}

bool ListWidgetTableList::isSelected(int index) const
{
    const QListWidgetItem *item = widget_->item(index);
    return item && item->isSelected();
}

void ListWidgetTableList::setSelected(int index, bool selected)
{
    if (QListWidgetItem *item = widget_->item(index))
        item->setSelected(selected);
}

void ListWidgetTableList::removeAt(int index) { delete widget_->takeItem(index); }
void ListWidgetTableList::append(const QString &name) { widget_->addItem(name); }
void ListWidgetTableList::clear() { widget_->clear(); }

void ProgressBarAdapter::setValue(double percent)
{
    value_ = percent;
    widget_->setValue(static_cast<int>(percent));
}

} // namespace tableswindow
