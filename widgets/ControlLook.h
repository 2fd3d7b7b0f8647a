#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSize>

class QPainter;
class QWidget;

namespace velorin {

// The look shared by the floating map controls and the pills over the map: a translucent
// dark fill, a faint white outline drawn inside the shape and a soft black shadow, plus the
// colours and fonts of their symbols and texts. GUI thread only.
class ControlLook {
public:
    // Palette, compass pad.
    static constexpr double kPanelCornerRadius = 14;
    // Status pills.
    static constexpr double kPillCornerRadius = 12;
    static constexpr double kBorderWidth = 1;
    static constexpr double kBorderOpacity = 0.12;

    struct Shadow {
        double opacity;
        double radius;
        QPointF offset;
    };
    static constexpr Shadow kPanelShadow { 0.35, 10, { 0, 3 } };
    static constexpr Shadow kPillShadow { 0.35, 8, { 0, 2 } };

    // The translucent dark fill that stands for the regular material.
    static QColor materialColor();
    static QColor primaryColor();
    static QColor secondaryColor();
    static QColor accentColor();
    static QColor redColor();
    static QColor greenColor();
    static QColor orangeColor();

    // Fills `rect` with the material in a rounded rectangle of `cornerRadius` (a capsule
    // when it is half the height or more) and outlines it inside its edge.
    static void paintBackground(QPainter& painter, const QRectF& rect, double cornerRadius);
    // A divider line between controls, `size` points, as a child of `parent`.
    static QWidget* makeDivider(QSize size, QWidget* parent);
    // Gives `widget` its drop shadow, one that can also fade it as it enters and leaves.
    static void applyShadow(QWidget& widget, const Shadow& shadow);
    // The ease in and out of the controls' animations: slow to start, slow to settle.
    static QEasingCurve easeInOut();
    // The interface font at a pixel size and weight; rounded designs use the same family.
    static QFont textFont(double pixelSize, QFont::Weight weight);
};

} // namespace velorin
