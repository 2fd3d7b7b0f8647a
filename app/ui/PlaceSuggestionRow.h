#pragma once

#include "app/ui/PlaceActions.h"
#include "features/Place.h"

#include <QAbstractButton>
#include <QWidget>

#include <functional>

namespace velorin {

// One suggestion of the place search: the place's kind symbol, its title and its detail
// line ("Sommet · 2546 m · France") as a button that shows it on the map, followed by its
// three action buttons. GUI thread only.
class PlaceSuggestionRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTrailingPaddingPoints = 6;

    PlaceSuggestionRow(const Place& place, bool flights, std::function<void(PlaceOperation)> onChoose, QWidget* parent);

    const Place& place() const { return place_; }
    QAbstractButton& showButton() const { return *showButton_; }
    PlaceActions& actions() const { return *actions_; }

private:
    const Place place_;
    QAbstractButton* showButton_;
    PlaceActions* actions_;
};

} // namespace velorin
