#pragma once

#include "canvas/MarkerPlacement.h"
#include "platform/OperationQueue.h"
#include "platform/qt/QtMainQueue.h"

#include <QPointer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velorin {

class LibraryPin;
class PhotoPin;

// The markers over the map as child widgets of the map's widget, right beneath its labels
// and so above the world map whenever either was made: pause
// chips, photo pins (their thumbnails read from the Pictures folder off the GUI thread),
// library pins and the flyover dot, each known by the id it was made with. GUI thread only;
// the map widget outlives it, and a thumbnail that arrives after its pin is gone is dropped.
class MarkerOverlays {
public:
    // `labels` is a child of `map` that every marker stays beneath.
    MarkerOverlays(QWidget& map, QWidget& labels, std::filesystem::path pictures);
    ~MarkerOverlays();
    MarkerOverlays(const MarkerOverlays&) = delete;
    MarkerOverlays& operator=(const MarkerOverlays&) = delete;

    int makePauseChip(const std::string& text);
    int makePhotoPin(const std::string& photoId, const std::string& accessibleText, double size,
        std::function<void()> onClick);
    int makeLibraryPin(const std::string& photoId, const std::string& accessibleText, std::function<void()> onClick);
    int makeFlyoverDot();
    void setBadge(int marker, const std::string& badge, const std::string& accessibleText);
    void removeMarker(int marker);
    void applyMarkerPlacements(const std::vector<MarkerPlacement>& placements);

    // The marker's widget; null once removed.
    QWidget* view(int marker) const;
    // Blocks until the thumbnails asked for so far are read, then hands them to their pins.
    void waitForThumbnails();

private:
    int add(QWidget* view);
    // Reads the thumbnail of `photoId` for `pin` on the pool and gives it to the pin on the
    // GUI thread if the pin still exists.
    void loadThumbnail(PhotoPin& pin, const std::string& photoId);

    QWidget& map_;
    QWidget& labels_;
    const std::filesystem::path pictures_;
    std::unordered_map<int, QPointer<QWidget>> views_;
    int lastId_ = 0;
    // Brings the thumbnails back to the GUI thread; the readers are stopped before it goes.
    platform::QtMainQueue deliveries_;
    platform::OperationQueue thumbnails_;
};

} // namespace velorin
