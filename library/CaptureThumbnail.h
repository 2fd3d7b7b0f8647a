#pragma once

#include "platform/Executor.h"
#include "platform/MainQueue.h"

#include <QImage>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>

namespace velorin {

// A capture's small picture in a library row, 72 × 48 with rounded corners: the image
// scaled to fill and cropped, or a faint plate while it loads or when there is none.
// GUI thread only; the decoding runs on the worker given to `load`.
class CaptureThumbnail : public QWidget {
public:
    static constexpr int kWidthPoints = 72;
    static constexpr int kHeightPoints = 48;
    static constexpr double kCornerRadiusPoints = 6;
    // Thumbnails are written at most this large; a bigger file is scaled down as it is read.
    static constexpr int kMaxDecodedPixels = 240;

    explicit CaptureThumbnail(QWidget* parent = nullptr);

    // Decodes `file` on `worker` and shows it once `mainQueue` hands it back, unless this
    // widget is gone by then; `loaded` then hears the image (null when the file is missing
    // or unreadable).
    void load(const std::filesystem::path& file, platform::Executor& worker,
        std::shared_ptr<platform::MainQueue> mainQueue, std::function<void(const QImage&)> loaded = {});
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }

    // The image of a thumbnail file, or a null image. Any thread.
    static QImage decode(const std::filesystem::path& file);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

} // namespace velorin
