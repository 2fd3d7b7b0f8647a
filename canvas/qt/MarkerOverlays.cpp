#include "canvas/qt/MarkerOverlays.h"

#include "canvas/qt/FlyoverDot.h"
#include "canvas/qt/LibraryPin.h"
#include "canvas/qt/PauseChip.h"
#include "canvas/qt/PhotoDelivery.h"
#include "canvas/qt/PhotoPin.h"
#include "canvas/qt/PhotoThumbnail.h"

#include <QCoreApplication>
#include <QImage>

#include <cmath>

namespace velorin {

namespace {

// Thumbnails are read two at a time, so that a track's pins fill in without crowding the pool.
constexpr int kThumbnailReaders = 2;

} // namespace

MarkerOverlays::MarkerOverlays(QWidget& map, QWidget& labels, std::filesystem::path pictures)
    : map_(map)
    , labels_(labels)
    , pictures_(std::move(pictures))
    , thumbnails_("com.vask.velorin.thumbnails", kThumbnailReaders)
{
}

MarkerOverlays::~MarkerOverlays()
{
    thumbnails_.cancelAll();
    thumbnails_.waitUntilAllFinished();
}

int MarkerOverlays::add(QWidget* view)
{
    view->hide();
    // Beneath the place names and their card, over whatever lies under the names: a
    // world map made before or after the marker.
    view->stackUnder(&labels_);
    views_.emplace(++lastId_, view);
    return lastId_;
}

QWidget* MarkerOverlays::view(int marker) const
{
    const auto found = views_.find(marker);
    return found == views_.end() ? nullptr : found->second.data();
}

int MarkerOverlays::makePauseChip(const std::string& text)
{
    return add(new PauseChip(QString::fromStdString(text), &map_));
}

int MarkerOverlays::makePhotoPin(
    const std::string& photoId, const std::string& accessibleText, double size, std::function<void()> onClick)
{
    auto* pin = new PhotoPin(size, QString::fromStdString(accessibleText), &map_);
    QObject::connect(pin, &QAbstractButton::clicked, pin, [onClick = std::move(onClick)] { onClick(); });
    loadThumbnail(*pin, photoId);
    return add(pin);
}

int MarkerOverlays::makeLibraryPin(
    const std::string& photoId, const std::string& accessibleText, std::function<void()> onClick)
{
    auto* container = new LibraryPin(QString::fromStdString(accessibleText), &map_);
    QObject::connect(&container->pin(), &QAbstractButton::clicked, container, [onClick = std::move(onClick)] { onClick(); });
    loadThumbnail(container->pin(), photoId);
    return add(container);
}

int MarkerOverlays::makeFlyoverDot()
{
    return add(new FlyoverDot(&map_));
}

void MarkerOverlays::setBadge(int marker, const std::string& badge, const std::string& accessibleText)
{
    if (auto* pin = dynamic_cast<LibraryPin*>(view(marker)))
        pin->setBadge(QString::fromStdString(badge), QString::fromStdString(accessibleText));
}

void MarkerOverlays::removeMarker(int marker)
{
    const auto found = views_.find(marker);
    if (found == views_.end())
        return;
    delete found->second.data();
    views_.erase(found);
}

void MarkerOverlays::applyMarkerPlacements(const std::vector<MarkerPlacement>& placements)
{
    map_.setUpdatesEnabled(false);
    for (const MarkerPlacement& placement : placements) {
        QWidget* marker = view(placement.marker);
        if (!marker)
            continue;
        const bool shown = !placement.hidden && std::isfinite(placement.center.x) && std::isfinite(placement.center.y);
        if (shown) {
            marker->move(int(std::lround(placement.center.x - marker->width() / 2.0)),
                int(std::lround(placement.center.y - marker->height() / 2.0)));
        }
        marker->setVisible(shown);
    }
    map_.setUpdatesEnabled(true);
}

void MarkerOverlays::loadThumbnail(PhotoPin& pin, const std::string& photoId)
{
    const int side = int(std::lround(pin.width() * map_.devicePixelRatioF()));
    deliverPhoto(
        thumbnails_, deliveries_, &pin,
        [pictures = pictures_, photoId, side]() -> std::optional<FittedPhoto> {
            auto image = photoThumbnail(pictures, photoId, side);
            if (!image)
                return std::nullopt;
            const double width = image->width, height = image->height;
            return FittedPhoto { std::move(*image), width, height };
        },
        [pin = &pin](QImage thumbnail, QSizeF) {
            if (!thumbnail.isNull())
                pin->setThumbnail(std::move(thumbnail));
        });
}

void MarkerOverlays::waitForThumbnails()
{
    thumbnails_.waitUntilAllFinished();
    QCoreApplication::sendPostedEvents();
}

} // namespace velorin
