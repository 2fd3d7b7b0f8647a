#include "app/ui/CompassPad.h"

#include "app/AppModel.h"
#include "app/ui/CompassDial.h"
#include "widgets/ControlLook.h"
#include "app/ui/SymbolButton.h"

#include <QBoxLayout>
#include <QPainter>

#include <numbers>

namespace velorin {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr QSizeF kSideButtonFrame { 44.8, 39.2 };
constexpr QSizeF kHalfTurnButtonFrame { 42, 39.2 };
constexpr double kSideSymbolPixelSize = 21;
constexpr double kHalfTurnTextPixelSize = 14;

} // namespace

CompassPad::CompassPad(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , dial_(new CompassDial(model, this))
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(kPaddingPoints, kPaddingPoints, kPaddingPoints, kPaddingPoints);
    stack->setSpacing(kRowSpacingPoints);
    stack->setSizeConstraint(QLayout::SetFixedSize);
    stack->addWidget(dial_, 0, Qt::AlignHCenter);

    auto* left = turnButton(kSideButtonFrame, -kPi / 8, "Tourner à gauche");
    left->setObjectName("turnLeft");
    left->setSymbol("arrow.counterclockwise");
    auto* halfTurn = turnButton(kHalfTurnButtonFrame, kPi, "Faire demi-tour");
    halfTurn->setObjectName("halfTurn");
    halfTurn->setLabelText(QStringLiteral("180°"), ControlLook::textFont(kHalfTurnTextPixelSize, QFont::Bold));
    auto* right = turnButton(kSideButtonFrame, kPi / 8, "Tourner à droite");
    right->setObjectName("turnRight");
    right->setSymbol("arrow.clockwise");
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    for (SymbolButton* button : { left, halfTurn, right })
        row->addWidget(button, 0, Qt::AlignVCenter);
    stack->addLayout(row);

    ControlLook::applyShadow(*this, ControlLook::kPanelShadow);
}

SymbolButton* CompassPad::turnButton(QSizeF frame, double radians, const char* accessibleName)
{
    auto* button = new SymbolButton(frame, kSideSymbolPixelSize, this);
    button->setAccessibleName(QString::fromUtf8(accessibleName));
    button->setControlAction(model_, [this, radians] {
        if (auto canvas = model_.canvas())
            canvas->turnInPlace(radians);
    });
    return button;
}

void CompassPad::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ControlLook::paintBackground(painter, rect(), ControlLook::kPanelCornerRadius);
}

} // namespace velorin
