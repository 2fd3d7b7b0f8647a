#include "library/CaptureThumbnail.h"

#include "platform/Image.h"
#include "platform/MappedFile.h"

#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <algorithm>
#include <cstdint>

namespace velorin {

namespace {

constexpr double kPlateOpacity = 0.2;
// A thumbnail file announcing more pixels than this is not one.
constexpr std::int64_t kMaxFilePixels = std::int64_t(4096) * 4096;

} // namespace

CaptureThumbnail::CaptureThumbnail(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QImage CaptureThumbnail::decode(const std::filesystem::path& file)
{
    const auto mapped = platform::MappedFile::open(file);
    if (!mapped)
        return {};
    const auto decoded = platform::decodeImage(mapped->bytes(), { .maxPixels = kMaxFilePixels, .maxDimension = kMaxDecodedPixels });
    if (!decoded)
        return {};
    // The copy owns its pixels once `decoded` goes.
    return QImage(reinterpret_cast<const uchar*>(decoded->pixels.data()), decoded->width, decoded->height,
        decoded->width * 4, QImage::Format_RGBA8888)
        .copy();
}

void CaptureThumbnail::load(const std::filesystem::path& file, platform::Executor& worker,
    std::shared_ptr<platform::MainQueue> mainQueue, std::function<void(const QImage&)> loaded)
{
    worker.post([file, mainQueue = std::move(mainQueue), target = QPointer<CaptureThumbnail>(this),
                    loaded = std::move(loaded)]() mutable {
        QImage image = decode(file);
        mainQueue->post([target = std::move(target), image = std::move(image), loaded = std::move(loaded)] {
            if (!target)
                return;
            target->setImage(image);
            if (loaded)
                loaded(image);
        });
    });
}

void CaptureThumbnail::setImage(const QImage& image)
{
    image_ = image;
    update();
}

QSize CaptureThumbnail::sizeHint() const
{
    return { kWidthPoints, kHeightPoints };
}

void CaptureThumbnail::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadiusPoints, kCornerRadiusPoints);
    painter.setClipPath(shape);
    if (image_.isNull()) {
        QColor plate = palette().color(QPalette::WindowText);
        plate.setAlphaF(kPlateOpacity);
        painter.fillRect(rect(), plate);
        return;
    }
    // Filled and cropped: the image's middle part with the frame's proportions.
    const QSizeF frame = size();
    const double scale = std::max(frame.width() / image_.width(), frame.height() / image_.height());
    const QSizeF shown(frame.width() / scale, frame.height() / scale);
    const QRectF source(QPointF((image_.width() - shown.width()) / 2, (image_.height() - shown.height()) / 2), shown);
    painter.drawImage(QRectF(rect()), image_, source);
}

} // namespace velorin
