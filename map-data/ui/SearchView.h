#pragma once

#include "map-data/Sheet.h"
#include "map-data/SheetCatalog.h"

#include <QDialog>

#include <cstddef>
#include <functional>
#include <vector>

class QLabel;
class QWidget;
class QLineEdit;
class QListWidget;

namespace velorin {

// The sheet that searches the TOP25 catalogue by name and hands the chosen sheet on.
// GUI thread only.
class SearchView : public QDialog {
public:
    static constexpr std::size_t kMaxResults = 60;
    static constexpr double kEmptySymbolPixelSize = 48;
    static constexpr int kRowSpacingPoints = 3;
    // The centre line is a caption under the name.
    static constexpr double kCaptionScale = 0.85;

    SearchView(SheetCatalog catalog, std::function<void(const Sheet&)> onSelect, QWidget* parent = nullptr);

    // Nothing for a query of white space alone; otherwise the catalogue's search of the
    // query as typed.
    std::vector<Sheet> results(const QString& query) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void update();
    void fitMessage();
    // A result row: the sheet's name, and under it its centre in a smaller monospaced font.
    QWidget* sheetRow(const QString& name, const QString& centre) const;
    // Hands the sheet of `row` on once; the sheet closes.
    void choose(int row);

    const SheetCatalog catalog_;
    const std::function<void(const Sheet&)> onSelect_;
    std::vector<Sheet> shown_;
    bool chosen_ = false;

    QLineEdit* query_ = nullptr;
    QWidget* emptyPage_ = nullptr;
    QLabel* emptyTitle_ = nullptr;
    QLabel* emptyDescription_ = nullptr;
    QListWidget* resultList_ = nullptr;
};

} // namespace velorin
