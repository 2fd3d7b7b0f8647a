#pragma once

class QListWidget;
class QListWidgetItem;
class QPoint;

namespace velorin {

// The row a context menu at `position` acts on: a selected row keeps the whole selection,
// another row becomes the only one selected. Nothing off the rows. GUI thread only.
QListWidgetItem* selectRowForMenu(QListWidget& list, const QPoint& position);

} // namespace velorin
