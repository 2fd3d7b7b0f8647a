#pragma once

#include <QWidget>

#include <functional>

namespace velorin {

class SymbolButton;

// What the place search does with a chosen place: show it (eased there), go there at once,
// fly there, or tour it.
enum class PlaceOperation { show, goDirectly, flight, tour };

// The three small buttons beside a place of the search: go directly, fly there ("Y aller")
// and tour it ("En faire le tour"); the last two only while the map can fly. GUI thread only.
class PlaceActions : public QWidget {
    Q_OBJECT

public:
    static constexpr double kFrameWidthPoints = 26;
    static constexpr double kFrameHeightPoints = 34;

    PlaceActions(std::function<void(PlaceOperation)> onChoose, QWidget* parent);

    void setFlightsEnabled(bool enabled);

private:
    SymbolButton* button(const char* symbol, const char* accessibleName, PlaceOperation operation);

    const std::function<void(PlaceOperation)> onChoose_;
    SymbolButton* flight_;
    SymbolButton* tour_;
};

} // namespace velorin
