#include "app/ui/HaloEffect.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velorin {

namespace {

// Each pixel takes the largest (dilate) or the mean (blur) of the alpha within `reach`
// pixels along one axis; run along rows, then along columns.
enum class Pass { dilate, blur };

void filter(std::vector<float>& alpha, int width, int height, int reach, Pass pass)
{
    if (reach <= 0)
        return;
    std::vector<float> line;
    const auto run = [&](int count, int lines, int stride, int stepAlong) {
        line.resize(std::size_t(count));
        for (int l = 0; l < lines; ++l) {
            float* first = alpha.data() + std::ptrdiff_t(l) * stride;
            for (int i = 0; i < count; ++i)
                line[std::size_t(i)] = first[std::ptrdiff_t(i) * stepAlong];
            for (int i = 0; i < count; ++i) {
                const int from = std::max(0, i - reach);
                const int to = std::min(count - 1, i + reach);
                float value = 0;
                for (int k = from; k <= to; ++k)
                    value = pass == Pass::dilate ? std::max(value, line[std::size_t(k)]) : value + line[std::size_t(k)];
                first[std::ptrdiff_t(i) * stepAlong] = pass == Pass::dilate ? value : value / float(2 * reach + 1);
            }
        }
    };
    run(width, height, width, 1);
    run(height, width, 1, width);
}

} // namespace

HaloEffect::HaloEffect(QColor color, double radiusPoints, QObject* parent)
    : QGraphicsEffect(parent)
    , color_(color)
    , radiusPoints_(radiusPoints)
{
}

QRectF HaloEffect::boundingRectFor(const QRectF& rect) const
{
    const double r = std::ceil(radiusPoints_);
    return rect.adjusted(-r, -r, r, r);
}

void HaloEffect::draw(QPainter* painter)
{
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &offset, QGraphicsEffect::PadToEffectiveBoundingRect);
    if (source.isNull())
        return;
    const QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = image.width();
    const int height = image.height();
    std::vector<float> alpha(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x)
            alpha[std::size_t(y) * std::size_t(width) + std::size_t(x)] = float(qAlpha(row[x])) / 255;
    }
    // Half the radius widens the glyphs, the other half softens the rim's outer edge.
    const int reach = std::max(1, int(std::lround(radiusPoints_ * source.devicePixelRatio() / 2)));
    filter(alpha, width, height, reach, Pass::dilate);
    filter(alpha, width, height, reach, Pass::blur);

    QImage halo(width, height, QImage::Format_ARGB32_Premultiplied);
    const float opacity = float(color_.alphaF());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(halo.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float a = alpha[std::size_t(y) * std::size_t(width) + std::size_t(x)] * opacity;
            row[x] = qPremultiply(qRgba(color_.red(), color_.green(), color_.blue(), int(std::lround(a * 255))));
        }
    }
    halo.setDevicePixelRatio(source.devicePixelRatio());

    painter->save();
    painter->setWorldTransform(QTransform());
    painter->drawImage(offset, halo);
    painter->drawPixmap(offset, source);
    painter->restore();
}

} // namespace velorin
