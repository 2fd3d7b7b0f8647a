#include "canvas/qt/PhotoDelivery.h"

namespace velorin {

namespace {

// The pixels handed to Qt without a copy; the image frees them with itself.
QImage toQImage(platform::Image image)
{
    auto* pixels = new platform::Image(std::move(image));
    return QImage(reinterpret_cast<const uchar*>(pixels->pixels.data()), pixels->width, pixels->height,
        pixels->width * 4, QImage::Format_RGBA8888, [](void* held) { delete static_cast<platform::Image*>(held); },
        pixels);
}

} // namespace

void deliverPhoto(platform::Executor& queue, platform::MainQueue& main, QPointer<QObject> receiver,
    std::function<std::optional<FittedPhoto>()> read, std::function<void(QImage image, QSizeF exactSize)> deliver)
{
    queue.post([&main, receiver = std::move(receiver), read = std::move(read), deliver = std::move(deliver)]() mutable {
        auto photo = read();
        QImage image = photo ? toQImage(std::move(photo->image)) : QImage();
        const QSizeF size = photo ? QSizeF(photo->width, photo->height) : QSizeF();
        main.post([receiver = std::move(receiver), deliver = std::move(deliver), image = std::move(image), size] {
            if (receiver)
                deliver(image, size);
        });
    });
}

} // namespace velorin
