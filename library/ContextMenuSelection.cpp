#include "library/ContextMenuSelection.h"

#include <QListWidget>

namespace velorin {

QListWidgetItem* selectRowForMenu(QListWidget& list, const QPoint& position)
{
    QListWidgetItem* item = list.itemAt(position);
    if (!item)
        return nullptr;
    if (!item->isSelected()) {
        list.clearSelection();
        item->setSelected(true);
    }
    list.setCurrentItem(item, QItemSelectionModel::NoUpdate);
    return item;
}

} // namespace velorin
