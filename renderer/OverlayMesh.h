#pragma once

#include "renderer/Camera.h"
#include "renderer/SolidVertex.h"

#include <array>
#include <vector>

namespace velorin {

// Appends overlay triangles given in screen pixels to a list of solid vertices, in
// normalised device coordinates for a view of the given size. Any thread; one owner.
class OverlayMesh {
public:
    // Premultiplied red, green, blue, alpha.
    using Color = std::array<float, 4>;

    OverlayMesh(Camera::Size view, std::vector<SolidVertex>& vertices);

    void triangle(Camera::Point a, Camera::Point b, Camera::Point c, const Color& color, float depth);
    // The quad p ± o, q ± o of a strip segment `width` wide, o across it; the vertices at p
    // take `depthP`, those at q `depthQ`.
    void segment(Camera::Point p, Camera::Point q, double width, const Color& color, float depthP, float depthQ);
    // A fan of `segments` triangles around `center`, each with the centre and two rim
    // points at angles 2π·i/segments and 2π·(i + 1)/segments.
    void disc(Camera::Point center, double radius, int segments, const Color& color, float depth);

    static std::size_t discVertexCount(int segments) { return 3 * std::size_t(segments); }

private:
    SolidVertex vertex(Camera::Point point, const Color& color, float depth) const;

    Camera::Size view_;
    std::vector<SolidVertex>& vertices_;
};

} // namespace velorin
