#pragma once

#include "platform/Executor.h"
#include "platform/MainQueue.h"
#include "recordings/TrackPhoto.h"
#include "widgets/ControlLook.h"

#include <QAbstractButton>
#include <QImage>
#include <QSizeF>

#include <filesystem>
#include <functional>
#include <optional>

namespace velorin {

class ActivitySpinner;

// The framed photo the map screen shows while a flyover passes a photo of the track: the
// picture filling a white-bordered rounded frame whose longer side is 170 points, or a dark
// square with a white spinner until it is read. A click runs `onTap`. Each showing, and each
// new photo, reads the picture again on `decodes`, and it comes back through `main`. GUI
// thread only; `decodes` and `main` outlive it.
// A picture that arrives for another photo, or after the thumbnail is gone, is dropped.
class FlyoverPhotoThumbnail : public QAbstractButton {
public:
    static constexpr double kSidePoints = 170;
    static constexpr double kCornerRadius = 14;
    static constexpr double kBorderPoints = 2;
    static constexpr double kBackdropOpacity = 0.3;
    static constexpr ControlLook::Shadow kShadow { 0.4, 8, { 0, 3 } };

    // `pictures`: the folder the photos' ids are paths in.
    FlyoverPhotoThumbnail(TrackPhoto photo, std::function<void()> onTap, std::filesystem::path pictures,
        platform::Executor& decodes, platform::MainQueue& main, QWidget* parent = nullptr);

    const TrackPhoto& photo() const { return photo_; }
    // Another photo: the previous one's image goes and the new one is read.
    void setPhoto(TrackPhoto photo);
    // Reads the photo at 170 points square at the screen's scale; what it delivers, nothing
    // included, becomes the image.
    void load();

    // The frame for an image of `imagePoints` (none while there is no image): the longer side
    // 170, the other in the image's proportions, a height under 1 counted as 1.
    static QSizeF frameSize(std::optional<QSizeF> imagePoints);
    // The frame now, in points; the widget is that size rounded up.
    QSizeF frameSize() const;
    // Null while there is none.
    const QImage& image() const { return image_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setImage(QImage image, QSizeF exactSize);
    QRectF frameRect() const;

    TrackPhoto photo_;
    const std::filesystem::path pictures_;
    platform::Executor& decodes_;
    platform::MainQueue& main_;
    QImage image_;
    // The image's size in points before rounding to whole pixels.
    QSizeF imagePoints_;
    ActivitySpinner* spinner_;
};

} // namespace velorin
