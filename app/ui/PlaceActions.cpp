#include "app/ui/PlaceActions.h"

#include "app/ui/PlaceSearchField.h"
#include "app/ui/SymbolButton.h"

#include <QBoxLayout>

namespace velorin {

PlaceActions::PlaceActions(std::function<void(PlaceOperation)> onChoose, QWidget* parent)
    : QWidget(parent)
    , onChoose_(std::move(onChoose))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(button("arrow.up", "Aller directement à ce lieu", PlaceOperation::goDirectly));
    flight_ = button("paperplane", "Y aller", PlaceOperation::flight);
    row->addWidget(flight_);
    tour_ = button("mountain.2", "En faire le tour", PlaceOperation::tour);
    row->addWidget(tour_);
    setFlightsEnabled(false);
}

SymbolButton* PlaceActions::button(const char* symbol, const char* accessibleName, PlaceOperation operation)
{
    auto* made = new SymbolButton(QSizeF(kFrameWidthPoints, kFrameHeightPoints), PlaceSearchField::kCalloutPixelSize, this);
    made->setSymbol(symbol);
    made->setTint(SymbolButton::Tint::secondary);
    made->setAccessibleName(QString::fromUtf8(accessibleName));
    connect(made, &SymbolButton::clicked, this, [this, operation] { onChoose_(operation); });
    return made;
}

void PlaceActions::setFlightsEnabled(bool enabled)
{
    flight_->setEnabled(enabled);
    tour_->setEnabled(enabled);
}

} // namespace velorin
