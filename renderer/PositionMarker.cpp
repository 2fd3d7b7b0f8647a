#include "renderer/PositionMarker.h"

namespace velorin {

void PositionMarker::append(const Camera& camera, WorldPoint position, double accuracyMeters, double contentScale,
    const Lift& lift, std::vector<SolidVertex>& vertices)
{
    const double height = camera.pitch != 0 && lift ? lift(position) : 0;
    const Camera::Point screen = camera.screenPoint(position, height);
    const double accuracyRadius = accuracyMeters * camera.scale() / position.metersPerWorldUnit();
    OverlayMesh mesh(camera.viewSize, vertices);
    if (accuracyRadius > kMinAccuracyRadiusPoints * contentScale && accuracyRadius > kMinDrawnRadiusPixels)
        mesh.disc(screen, accuracyRadius, kAccuracySegments, kAccuracyColor, 1);
    if (kRimRadiusPoints * contentScale > kMinDrawnRadiusPixels)
        mesh.disc(screen, kRimRadiusPoints * contentScale, kDotSegments, kRimColor, 1);
    if (kDotRadiusPoints * contentScale > kMinDrawnRadiusPixels)
        mesh.disc(screen, kDotRadiusPoints * contentScale, kDotSegments, kDotColor, 1);
}

} // namespace velorin
