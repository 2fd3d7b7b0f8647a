#include "app/ui/PlaceSuggestionRow.h"

#include "widgets/ControlLook.h"
#include "app/ui/PlaceSearchField.h"
#include "widgets/Symbols.h"
#include "features/PlaceSuggestionText.h"

#include <QBoxLayout>
#include <QPainter>

#include <algorithm>
#include <limits>

namespace velorin {

namespace {

constexpr int kHorizontalPaddingPoints = 12;
constexpr int kVerticalPaddingPoints = 7;
constexpr int kSymbolWidthPoints = 18;
constexpr int kSymbolSpacingPoints = 10;
constexpr int kLineSpacingPoints = 1;
// The row under the pointer lightens a little.
constexpr double kHoverOpacity = 0.08;
constexpr double kPressedOpacity = 0.6;

// The row's label: symbol, title and detail, a button over its whole padded area.
class PlaceLabel final : public QAbstractButton {
public:
    PlaceLabel(const Place& place, QWidget* parent)
        : QAbstractButton(parent)
        , symbol_(Symbols::glyph(PlaceSuggestionText::kindSymbol(place.kind)))
        // The whole name: the list takes the width it needs, and only a window too narrow
        // for it cuts it, at the row's end.
        , title_(QString::fromStdString(
              PlaceSuggestionText::stripParentheses(place.name, std::numeric_limits<std::size_t>::max())))
        , detail_(QString::fromStdString(PlaceSuggestionText::detail(place)))
        , symbolFont_(Symbols::font(PlaceSearchField::kCalloutPixelSize, QFont::Medium))
        , titleFont_(ControlLook::textFont(PlaceSearchField::kCalloutPixelSize, QFont::Normal))
        , detailFont_(ControlLook::textFont(PlaceSearchField::kCaptionPixelSize, QFont::Normal))
    {
        setText(title_);
        setAccessibleName(title_);
        setAccessibleDescription(detail_);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        const int height = kVerticalPaddingPoints * 2 + QFontMetrics(titleFont_).height() + kLineSpacingPoints
            + QFontMetrics(detailFont_).height();
        // Room for the whole title and detail, so that the list can be as wide as its names.
        const int text = std::max(QFontMetrics(titleFont_).horizontalAdvance(title_),
            QFontMetrics(detailFont_).horizontalAdvance(detail_));
        return {kHorizontalPaddingPoints * 2 + kSymbolWidthPoints + kSymbolSpacingPoints + text, height};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        if (underMouse()) {
            QColor hover = Qt::white;
            hover.setAlphaF(float(kHoverOpacity));
            painter.fillRect(rect(), hover);
        }
        if (isDown())
            painter.setOpacity(kPressedOpacity);
        const QFontMetrics titleMetrics(titleFont_);
        const QFontMetrics detailMetrics(detailFont_);
        const int textLeft = kHorizontalPaddingPoints + kSymbolWidthPoints + kSymbolSpacingPoints;
        const int textWidth = std::max(0, width() - textLeft - kHorizontalPaddingPoints);
        const int titleBaseline = kVerticalPaddingPoints + titleMetrics.ascent();

        // The symbol sits on the title's first baseline.
        painter.setPen(ControlLook::secondaryColor());
        painter.setFont(symbolFont_);
        const QFontMetrics symbolMetrics(symbolFont_);
        painter.drawText(QPointF(kHorizontalPaddingPoints + (kSymbolWidthPoints - symbolMetrics.horizontalAdvance(symbol_)) / 2.0,
                             titleBaseline),
            symbol_);

        painter.setPen(ControlLook::primaryColor());
        painter.setFont(titleFont_);
        painter.drawText(QPointF(textLeft, titleBaseline), titleMetrics.elidedText(title_, Qt::ElideRight, textWidth));
        painter.setPen(ControlLook::secondaryColor());
        painter.setFont(detailFont_);
        painter.drawText(QPointF(textLeft, titleBaseline + titleMetrics.descent() + kLineSpacingPoints + detailMetrics.ascent()),
            detailMetrics.elidedText(detail_, Qt::ElideRight, textWidth));
    }

private:
    const QString symbol_;
    const QString title_;
    const QString detail_;
    const QFont symbolFont_;
    const QFont titleFont_;
    const QFont detailFont_;
};

} // namespace

PlaceSuggestionRow::PlaceSuggestionRow(const Place& place, bool flights, std::function<void(PlaceOperation)> onChoose,
    QWidget* parent)
    : QWidget(parent)
    , place_(place)
    , showButton_(new PlaceLabel(place, this))
    , actions_(new PlaceActions(onChoose, this))
{
    actions_->setFlightsEnabled(flights);
    connect(showButton_, &QAbstractButton::clicked, this, [onChoose] { onChoose(PlaceOperation::show); });
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, kTrailingPaddingPoints, 0);
    row->setSpacing(0);
    row->addWidget(showButton_, 1, Qt::AlignTop);
    row->addWidget(actions_, 0, Qt::AlignTop);
}

} // namespace velorin
