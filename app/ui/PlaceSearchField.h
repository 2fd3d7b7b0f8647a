#pragma once

#include "app/ui/PlaceActions.h"
#include "features/Place.h"
#include "map-data/SheetCatalog.h"
#include "map-data/WorldPoint.h"

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace velorin {

class AppModel;

// The map's search box: the walker types a place name, and the panel under the box lists
// the matching summits, cols, refuges and localities of the place databases, each to be
// shown on the map, reached at once, flown to or toured. It searches at every change of the
// text, and again when a database arrives. Box and panel are one control, so that the open
// panel pushes the controls below it down. GUI thread only; the model outlives it.
class PlaceSearchField : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBoxWidthPoints = 280;
    static constexpr int kBoxHeightPoints = 40;
    static constexpr int kBoxPaddingPoints = 12;
    static constexpr int kBoxSpacingPoints = 8;
    static constexpr int kStackSpacingPoints = 6;
    // The suggestion list, at least this wide and as wide as its names need within the
    // window, short of this margin from its right edge; no taller than its maximum.
    static constexpr int kSuggestionsWidthPoints = 300;
    static constexpr int kSuggestionsWindowMarginPoints = 8;
    static constexpr int kListMaxHeightPoints = 380;
    static constexpr double kPanelCornerRadius = 14;
    static constexpr int kMessagePaddingPoints = 12;
    static constexpr double kTextPixelSize = 15;
    static constexpr double kCalloutPixelSize = 15;
    static constexpr double kFootnotePixelSize = 13;
    static constexpr double kCaptionPixelSize = 11;

    // `catalog`'s centre is where the search looks from while there is no map.
    PlaceSearchField(AppModel& model, const SheetCatalog& catalog, QWidget* parent);

    std::string query() const;
    // Types `text` into the box, as the walker would.
    void setQuery(const std::string& text);
    const std::vector<Place>& places() const { return places_; }
    bool isOpen() const { return isOpen_; }
    const std::optional<Place>& chosenPlace() const { return chosenPlace_; }

    // Chooses a place as its buttons and the Return key do: the box takes its name, the
    // panel closes, the map stops following the walker and, when there is a map, is handed
    // the place.
    void choose(const Place& place, PlaceOperation operation);

    QLineEdit& textBox() const { return *textBox_; }
    QWidget& searchBox() const { return *box_; }
    QWidget& clearButton() const { return *clear_; }
    PlaceActions& chosenActions() const { return *chosenActions_; }
    // The panel's message when it has no suggestion; hidden otherwise.
    QLabel& message() const { return *message_; }
    // The list of suggestions, hidden while there is none.
    QScrollArea& suggestions() const { return *list_; }

signals:
    // The box gave up the keyboard: the map should take it.
    void focusReleased();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void queryDidChange();
    void search();
    void modelDidChange();
    void releaseFocus();
    void focusDidChange(bool focused);
    void refresh();
    void rebuildList();
    bool canFly() const;
    WorldPoint referencePoint() const;

    AppModel& model_;
    const WorldPoint catalogCenter_;
    std::vector<Place> places_;
    bool isOpen_ = false;
    std::optional<std::string> chosen_;
    std::optional<Place> chosenPlace_;
    bool hovering_ = false;
    bool hoveringList_ = false;
    bool focused_ = false;
    int placesRevision_;

    QWidget* box_;
    QLineEdit* textBox_;
    QWidget* clear_;
    PlaceActions* chosenActions_;
    QLabel* message_;
    QScrollArea* list_;
};

} // namespace velorin
