#pragma once

#include "map-data/Sheet.h"
#include "map-data/SheetCatalog.h"

#include <QDialog>

#include <cstddef>
#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QStackedWidget;

namespace velorin {

// The sheet that searches the TOP25 catalogue by name and hands the chosen sheet on.
// GUI thread only.
class SearchView : public QDialog {
public:
    static constexpr std::size_t kMaxResults = 60;

    SearchView(SheetCatalog catalog, std::function<void(const Sheet&)> onSelect, QWidget* parent = nullptr);

    // Nothing for a query of white space alone; otherwise the catalogue's search of the
    // query as typed.
    std::vector<Sheet> results(const QString& query) const;

private:
    void update();
    void choose(int row);

    const SheetCatalog catalog_;
    const std::function<void(const Sheet&)> onSelect_;
    std::vector<Sheet> shown_;

    QLineEdit* query_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLabel* emptyTitle_ = nullptr;
    QLabel* emptyDescription_ = nullptr;
    QListWidget* resultList_ = nullptr;
};

} // namespace velorin
