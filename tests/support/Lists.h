#pragma once

#include <QListWidget>
#include <QStringList>

// The table lists as a user sees and picks from them.
inline QStringList listTexts(QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// Selects only the entry of that name; the first entry is current, as after a listing.
inline void selectOnly(QListWidget *list, const QString &name)
{
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(list->item(i)->text() == name);
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}
