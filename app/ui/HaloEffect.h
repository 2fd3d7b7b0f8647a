#pragma once

#include <QColor>
#include <QGraphicsEffect>

namespace velorin {

// The shadow of light captions laid straight on the map: a soft dark rim, as wide as the
// radius, around every glyph and line, so that white text reads over light maps as well
// as dark ones. GUI thread only.
class HaloEffect : public QGraphicsEffect {
public:
    // A colour with its opacity (black at half opacity for the captions) and a radius in
    // points.
    HaloEffect(QColor color, double radiusPoints, QObject* parent = nullptr);

    QColor color() const { return color_; }
    double radius() const { return radiusPoints_; }

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    QColor color_;
    double radiusPoints_;
};

} // namespace velorin
