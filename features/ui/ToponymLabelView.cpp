#include "features/ui/ToponymLabelView.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velorin {

namespace {

constexpr double kMarkerPathInset = 0.5;
constexpr double kRoundMarkerInset = 1;
constexpr double kRefugeCornerRadius = 1.5;
constexpr double kForegroundWhite = 0.08;
constexpr double kStrokeAlpha = 0.95;
constexpr double kShadowAlpha = 0.9;
// Three box blurs of this share of the blur radius make a near-Gaussian glow.
constexpr int kBlurPasses = 3;
constexpr double kBoxShare = 0.5;

QColor white(double level, double alpha = 1)
{
    return QColor::fromRgbF(float(level), float(level), float(level), float(alpha));
}

// One pass of a horizontal then a vertical box blur of `radius` pixels over the alpha of a
// premultiplied image.
void boxBlur(QImage& image, int radius)
{
    if (radius < 1)
        return;
    const int width = image.width();
    const int height = image.height();
    std::vector<int> line(std::size_t(std::max(width, height)));
    const auto blurLine = [&](auto pixel, int length) {
        for (int i = 0; i < length; ++i)
            line[std::size_t(i)] = qAlpha(*pixel(i));
        int sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += line[std::size_t(std::clamp(i, 0, length - 1))];
        const int span = 2 * radius + 1;
        for (int i = 0; i < length; ++i) {
            const int alpha = sum / span;
            const QRgb old = *pixel(i);
            // The glow's colour is uniform: scale it to the new alpha.
            const int oldAlpha = std::max(1, qAlpha(old));
            *pixel(i) = qRgba(qRed(old) * alpha / oldAlpha, qGreen(old) * alpha / oldAlpha,
                qBlue(old) * alpha / oldAlpha, alpha);
            sum += line[std::size_t(std::min(i + radius + 1, length - 1))] - line[std::size_t(std::max(i - radius, 0))];
        }
    };
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        blurLine([row](int x) { return row + x; }, width);
    }
    for (int x = 0; x < width; ++x)
        blurLine([&image, x](int y) { return reinterpret_cast<QRgb*>(image.scanLine(y)) + x; }, height);
}

} // namespace

QSizeF ToponymLabelView::AttributedText::size() const
{
    const QFontMetricsF metrics(font);
    return {metrics.horizontalAdvance(text), metrics.height()};
}

QFont ToponymLabelView::labelFont()
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(int(kFontPixels));
    font.setWeight(QFont::DemiBold);
    return font;
}

ToponymLabelView::AttributedText ToponymLabelView::attributedText(const QString& text, bool inverted)
{
    AttributedText styled;
    styled.text = text;
    styled.font = labelFont();
    if (inverted) {
        styled.foreground = Qt::white;
        styled.shadowColor = white(0, kShadowAlpha);
        styled.shadowBlur = kInvertedShadowBlur;
    } else {
        styled.foreground = white(kForegroundWhite);
        styled.stroke = white(1, kStrokeAlpha);
        styled.strokeWidth = kStrokeShare * kFontPixels;
        styled.shadowColor = white(1, kShadowAlpha);
        styled.shadowBlur = kShadowBlur;
    }
    return styled;
}

QPainterPath ToponymLabelView::markerPath(Toponym::Kind kind, const QRectF& rect)
{
    const QRectF r = rect.adjusted(kMarkerPathInset, kMarkerPathInset, -kMarkerPathInset, -kMarkerPathInset);
    QPainterPath path;
    switch (kind) {
    case Toponym::Kind::summit:
        path.moveTo(r.center().x(), r.top());
        path.lineTo(r.right(), r.bottom());
        path.lineTo(r.left(), r.bottom());
        path.closeSubpath();
        break;
    case Toponym::Kind::col:
        path.moveTo(r.center().x(), r.top());
        path.lineTo(r.right(), r.center().y());
        path.lineTo(r.center().x(), r.bottom());
        path.lineTo(r.left(), r.center().y());
        path.closeSubpath();
        break;
    case Toponym::Kind::refuge:
        path.addRoundedRect(r, kRefugeCornerRadius, kRefugeCornerRadius);
        break;
    case Toponym::Kind::ridge:
    case Toponym::Kind::viewpoint:
    case Toponym::Kind::place:
        path.addEllipse(rect.adjusted(kRoundMarkerInset, kRoundMarkerInset, -kRoundMarkerInset, -kRoundMarkerInset));
        break;
    }
    return path;
}

QColor ToponymLabelView::markerColor(Toponym::Kind kind)
{
    switch (kind) {
    case Toponym::Kind::summit:
    case Toponym::Kind::col:
        return QColor::fromRgbF(0.16f, 0.12f, 0.08f);
    case Toponym::Kind::refuge:
        return QColor::fromRgbF(0.8f, 0.16f, 0.1f);
    case Toponym::Kind::viewpoint:
        return QColor::fromRgbF(0.12f, 0.36f, 0.72f);
    case Toponym::Kind::ridge:
    case Toponym::Kind::place:
        break;
    }
    return white(0.28);
}

void ToponymLabelView::drawText(QPainter& painter, const AttributedText& text, const QRectF& rect,
    Qt::Alignment alignment)
{
    const QFontMetricsF metrics(text.font);
    const double advance = metrics.horizontalAdvance(text.text);
    const double x = alignment.testFlag(Qt::AlignRight) ? rect.right() - advance : rect.left();
    const double baseline = rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent();
    QPainterPath glyphs;
    glyphs.addText(QPointF(x, baseline), text.font, text.text);

    // The glow: the glyphs in the shadow colour, blurred in an image of the painter's
    // resolution, drawn under the text.
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1;
    const double reach = 2 * text.shadowBlur;
    const QRectF area = glyphs.boundingRect().adjusted(-reach, -reach, reach, reach);
    if (text.shadowBlur > 0 && area.isValid()) {
        QImage glow((area.size() * scale).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
        glow.fill(Qt::transparent);
        {
            QPainter glowPainter(&glow);
            glowPainter.setRenderHint(QPainter::Antialiasing);
            glowPainter.scale(scale, scale);
            glowPainter.translate(-area.topLeft());
            glowPainter.fillPath(glyphs, text.shadowColor);
            if (text.stroke)
                glowPainter.strokePath(glyphs, QPen(text.shadowColor, text.strokeWidth));
        }
        const int radius = std::max(1, int(std::lround(text.shadowBlur * scale * kBoxShare)));
        for (int pass = 0; pass < kBlurPasses; ++pass)
            boxBlur(glow, radius);
        glow.setDevicePixelRatio(scale);
        painter.drawImage(area.topLeft(), glow);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (text.stroke)
        painter.strokePath(glyphs, QPen(*text.stroke, text.strokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(glyphs, text.foreground);
    painter.restore();
}

QImage ToponymLabelView::render(const ToponymLabelStyle& style, double devicePixelRatio)
{
    const double margin = kImageMarginPoints;
    const double w = style.width;
    const double h = style.height;
    const QSizeF points(w + 2 * margin, h + 2 * margin);
    QImage image((points * devicePixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(margin, margin);

    const QRectF textRect(style.textOnLeft ? 0 : kTextOffsetPoints, 0, std::max(w - kTextOffsetPoints, 0.0), h);
    drawText(painter, attributedText(QString::fromStdString(style.text), style.inverted), textRect,
        style.textOnLeft ? Qt::AlignRight : Qt::AlignLeft);

    const QRectF marker(style.textOnLeft ? w - kMarkerPoints : 0, (h - kMarkerPoints) / 2, kMarkerPoints, kMarkerPoints);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(marker.topLeft());
    const QPainterPath path = markerPath(style.kind, QRectF(0, 0, kMarkerPoints, kMarkerPoints));
    painter.fillPath(path, markerColor(style.kind));
    painter.strokePath(path, QPen(Qt::white, kMarkerLineWidth));
    return image;
}

} // namespace velorin
