#include "renderer/TreeModels.h"

#include <cmath>
#include <numbers>

namespace velorin {

namespace {

struct Point3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

using Ring = std::vector<Point3>;

// A face seen from straight below is turned to face up: the trees are lit from above.
constexpr double kDownwardNormalLimit = -0.99;

void appendTriangle(std::vector<TreeVertex>& mesh, const Point3& a, const Point3& b, const Point3& c)
{
    const Point3 u{b.x - a.x, b.y - a.y, b.z - a.z};
    const Point3 v{c.x - a.x, c.y - a.y, c.z - a.z};
    Point3 n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (length > 0)
        n = {n.x / length, n.y / length, n.z / length};
    if (n.z < kDownwardNormalLimit)
        n = {-n.x, -n.y, -n.z};
    for (const Point3* p : {&a, &b, &c})
        mesh.push_back({float(p->x), float(p->y), float(p->z), float(n.x), float(n.y), float(n.z)});
}

Ring ring(int count, double radius, double height, double offsetSteps, double shiftX = 0, double shiftY = 0)
{
    Ring points;
    for (int k = 0; k < count; ++k) {
        const double theta = 2 * std::numbers::pi * (k + offsetSteps) / count;
        points.push_back({shiftX + radius * std::cos(theta), shiftY + radius * std::sin(theta), height});
    }
    return points;
}

void join(std::vector<TreeVertex>& mesh, const Ring& lower, const Ring& upper)
{
    const std::size_t n = lower.size();
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t next = (k + 1) % n;
        appendTriangle(mesh, lower[k], lower[next], upper[next]);
        appendTriangle(mesh, lower[k], upper[next], upper[k]);
    }
}

void cap(std::vector<TreeVertex>& mesh, const Ring& points, const Point3& pole)
{
    const std::size_t n = points.size();
    for (std::size_t k = 0; k < n; ++k)
        appendTriangle(mesh, points[k], points[(k + 1) % n], pole);
}

void appendTrunk(std::vector<TreeVertex>& mesh, double radius, double height)
{
    constexpr int kTrunkSides = 4;
    join(mesh, ring(kTrunkSides, radius, 0, 0), ring(kTrunkSides, radius, height, 0));
}

std::vector<TreeVertex> tieredCone()
{
    struct Tier {
        double base, radius, apex;
    };
    constexpr Tier kTiers[] = {
        {0.10, 0.25, 0.42}, {0.27, 0.21, 0.58}, {0.44, 0.16, 0.73}, {0.60, 0.11, 0.87}, {0.75, 0.07, 1.00}};
    constexpr int kStarPoints = 14;
    constexpr double kTierTwist = 0.7;
    constexpr double kNotchFactor = 0.5;
    constexpr double kTipDrop = 0.03;
    constexpr double kNotchRise = 0.02;

    std::vector<TreeVertex> mesh;
    appendTrunk(mesh, 0.035, 0.2);
    for (int t = 0; t < 5; ++t) {
        const Tier& tier = kTiers[t];
        Ring star;
        for (int j = 0; j < kStarPoints; ++j) {
            const double theta = 2 * std::numbers::pi * (j + kTierTwist * t) / kStarPoints;
            const bool tip = j % 2 == 0;
            const double factor = tip ? 0.85 + ((3 * t + 7 * j) % 5) * 0.075 : kNotchFactor;
            const double height = tip ? tier.base - kTipDrop : tier.base + kNotchRise;
            star.push_back({factor * tier.radius * std::cos(theta), factor * tier.radius * std::sin(theta), height});
        }
        cap(mesh, star, {0, 0, tier.apex});
    }
    return mesh;
}

std::vector<TreeVertex> lobedCrown()
{
    struct Lobe {
        Point3 center;
        double radius;
    };
    constexpr int kLobeRingPoints = 8;
    const Lobe lobes[] = {{{0, 0, 0.68}, 0.30}, {{0.14, 0.08, 0.55}, 0.22}, {{-0.12, -0.10, 0.58}, 0.22}};

    std::vector<TreeVertex> mesh;
    appendTrunk(mesh, 0.04, 0.4);
    for (const Lobe& lobe : lobes) {
        const Point3& c = lobe.center;
        const double r = lobe.radius;
        const Ring rings[] = {
            ring(kLobeRingPoints, 0.45 * r, c.z - 0.85 * r, 0, c.x, c.y),
            ring(kLobeRingPoints, 0.95 * r, c.z - 0.25 * r, 0.5, c.x, c.y),
            ring(kLobeRingPoints, 0.9 * r, c.z + 0.35 * r, 0, c.x, c.y),
            ring(kLobeRingPoints, 0.45 * r, c.z + 0.85 * r, 0.5, c.x, c.y),
        };
        for (int k = 0; k < 3; ++k)
            join(mesh, rings[k], rings[k + 1]);
        cap(mesh, rings[0], {c.x, c.y, c.z - r});
        cap(mesh, rings[3], {c.x, c.y, c.z + r});
    }
    return mesh;
}

std::vector<TreeVertex> dome()
{
    constexpr int kDomeRingPoints = 8;
    const Ring rings[] = {
        ring(kDomeRingPoints, 0.9, 0.05, 0),
        ring(kDomeRingPoints, 1.25, 0.35, 0.5),
        ring(kDomeRingPoints, 1.0, 0.75, 0),
        ring(kDomeRingPoints, 0.45, 0.97, 0.5),
    };
    std::vector<TreeVertex> mesh;
    for (int k = 0; k < 3; ++k)
        join(mesh, rings[k], rings[k + 1]);
    cap(mesh, rings[3], {0, 0, 1});
    return mesh;
}

} // namespace

std::array<std::vector<TreeVertex>, 3> treeModels()
{
    return {tieredCone(), lobedCrown(), dome()};
}

} // namespace velorin
