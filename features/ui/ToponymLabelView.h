#pragma once

#include "features/Toponym.h"
#include "features/ToponymLabelStyle.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

namespace velorin {

// One place-name label of the map: a marker of the place's kind at one end and one line of
// text beside it, in a dark style over plans or a light one over photographs. The map's
// label layer keeps each label as an image that this draws. GUI thread only (fonts).
class ToponymLabelView {
public:
    // A label text in its style.
    struct AttributedText {
        QString text;
        QFont font;
        QColor foreground;
        // The outline stroked along the glyphs, when the style has one.
        std::optional<QColor> stroke;
        double strokeWidth = 0;
        QColor shadowColor;
        // Points.
        double shadowBlur = 0;

        // The text's advance and line height, in points.
        QSizeF size() const;
    };

    static constexpr double kFontPixels = 12;
    // The outline's width as a share of the font size.
    static constexpr double kStrokeShare = 0.05;
    static constexpr double kShadowBlur = 2;
    static constexpr double kInvertedShadowBlur = 3;
    static constexpr double kMarkerPoints = 9;
    // The text starts this far from the marker's end of the label.
    static constexpr double kTextOffsetPoints = 12;
    static constexpr double kMarkerLineWidth = 1;
    // An image reaches this far past its label on every side, for the shadow.
    static constexpr double kImageMarginPoints = 4;

    // The application's font at 12 logical pixels, demibold.
    static QFont labelFont();
    // The dark text with a white outline and glow (`inverted` false), or white text with a
    // dark glow.
    static AttributedText attributedText(const QString& text, bool inverted);
    // The marker's outline in `rect`: a triangle for a summit, a diamond for a col, a
    // rounded square for a refuge, a circle for the rest.
    static QPainterPath markerPath(Toponym::Kind kind, const QRectF& rect);
    static QColor markerColor(Toponym::Kind kind);
    // The label drawn at `devicePixelRatio`, kImageMarginPoints larger than the label on
    // each side, so that its top left corner stands that far before the label's.
    static QImage render(const ToponymLabelStyle& style, double devicePixelRatio);
    // Draws `text` with its outline and glow, its line box filling `rect`, aligned left or right.
    static void drawText(QPainter& painter, const AttributedText& text, const QRectF& rect, Qt::Alignment alignment);
};

} // namespace velorin
