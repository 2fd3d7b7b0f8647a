#include "renderer/OverlayMesh.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velorin {

OverlayMesh::OverlayMesh(Camera::Size view, std::vector<SolidVertex>& vertices)
    : view_(view)
    , vertices_(vertices)
{
}

SolidVertex OverlayMesh::vertex(Camera::Point point, const Color& color, float depth) const
{
    return {float(2 * point.x / view_.width - 1), float(1 - 2 * point.y / view_.height), depth, color[0], color[1],
        color[2], color[3]};
}

void OverlayMesh::triangle(Camera::Point a, Camera::Point b, Camera::Point c, const Color& color, float depth)
{
    vertices_.push_back(vertex(a, color, depth));
    vertices_.push_back(vertex(b, color, depth));
    vertices_.push_back(vertex(c, color, depth));
}

void OverlayMesh::segment(
    Camera::Point p, Camera::Point q, double width, const Color& color, float depthP, float depthQ)
{
    // Keeps a zero-length segment from dividing by zero.
    constexpr double kMinSegmentPixels = 0.001;
    const double dx = q.x - p.x;
    const double dy = q.y - p.y;
    const double scale = width / 2 / std::max(std::hypot(dx, dy), kMinSegmentPixels);
    const Camera::Point o{-dy * scale, dx * scale};
    const SolidVertex pLeft = vertex({p.x + o.x, p.y + o.y}, color, depthP);
    const SolidVertex pRight = vertex({p.x - o.x, p.y - o.y}, color, depthP);
    const SolidVertex qLeft = vertex({q.x + o.x, q.y + o.y}, color, depthQ);
    const SolidVertex qRight = vertex({q.x - o.x, q.y - o.y}, color, depthQ);
    vertices_.insert(vertices_.end(), {pLeft, pRight, qRight, pLeft, qRight, qLeft});
}

void OverlayMesh::disc(Camera::Point center, double radius, int segments, const Color& color, float depth)
{
    const auto rim = [&](int i) {
        const double angle = 2 * std::numbers::pi * i / segments;
        return Camera::Point{center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)};
    };
    for (int i = 0; i < segments; ++i)
        triangle(center, rim(i), rim(i + 1), color, depth);
}

} // namespace velorin
