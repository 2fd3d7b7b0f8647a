#pragma once

#include "platform/Executor.h"
#include "platform/MainQueue.h"

#include <QImage>
#include <QSizeF>
#include <QWidget>

#include <filesystem>
#include <string>

namespace velorin {

class ActivitySpinner;

// One page of the photo viewer: a picture of the Pictures folder, whole on black, or a white
// spinner until it is read. Each showing reads the picture once, on `decodes`, at the page's
// pixel size, and comes back through `main`; nothing is kept between showings but the image
// on screen. GUI thread only; `decodes` and `main` outlive the page. A picture that arrives for another photo than the one the
// page shows, or after the page is gone, is dropped.
class PhotoPage : public QWidget {
public:
    // `id`: the photo's path under `pictures`.
    PhotoPage(std::string id, std::filesystem::path pictures, platform::Executor& decodes, platform::MainQueue& main,
        QWidget* parent = nullptr);

    const std::string& id() const { return id_; }
    // Shows another photo: the image of the previous one goes, and the new one is read now
    // if the page is on screen, else when it is shown.
    void setId(std::string id);
    // Reads the photo for a page of `size` points at the screen's scale. The image shown
    // stays until the new one arrives; a missing or unreadable file leaves the page as it is.
    void load(QSizeF size);
    // Null while there is none.
    const QImage& image() const { return image_; }
    // The photo's place on the page: the whole picture scaled to fit, centred.
    QRectF imageRect() const;
    const ActivitySpinner& spinner() const { return *spinner_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setImage(QImage image);

    std::string id_;
    const std::filesystem::path pictures_;
    platform::Executor& decodes_;
    platform::MainQueue& main_;
    QImage image_;
    ActivitySpinner* spinner_;
    bool loadsOnResize_ = false;
};

} // namespace velorin
