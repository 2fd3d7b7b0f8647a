#include "renderer/MapRenderer.h"

#include "renderer/PositionMarker.h"
#include "renderer/Sky.h"
#include "renderer/TrackRibbon.h"

#include <algorithm>

namespace velorin {

void MapRenderer::prepareOverlays()
{
    const auto lift = [this](WorldPoint point) { return reliefHeight(point); };
    std::vector<SolidVertex> marker;
    if (userLocation)
        PositionMarker::append(camera, userLocation->world, userLocation->accuracy, contentScale, lift, marker);

    std::vector<SolidVertex> track;
    TrackRibbon::append(camera, trackPoints, contentScale, lift, track);
    const std::size_t sky = preparedFlightSky ? preparedFlightSky->size() : Sky::vertices(camera).size();
    const std::size_t taken = std::min(kOverlayVertexCapacity, sky + solidVertices.size() + marker.size());
    const std::size_t room = kOverlayVertexCapacity - taken;
    // Whole triangles only.
    track.resize(std::min(track.size(), room - room % 3));

    solidVertices.insert(solidVertices.end(), track.begin(), track.end());
    solidVertices.insert(solidVertices.end(), marker.begin(), marker.end());
}

} // namespace velorin
