#include "features/BuildingMesh.h"

#include "features/EarClipper.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

namespace velorin {

namespace {

using json = nlohmann::json;
using Point = BuildingMesh::Point;
using Vertex = BuildingMesh::Vertex;

constexpr double kEquatorMeters = 40075016.6855785;
constexpr double kMaxMercatorLatitude = 85.05112878;
// How far from the ridge line a point still counts as on it, in metres.
constexpr double kOnRidgeMeters = 1e-6;
// Roof triangles with a cross product this short or shorter are slivers and left out.
constexpr double kMinRoofCross = 1e-9;

// A document that is not the expected GeoJSON shape, thrown while it is read.
struct Malformed {};

std::optional<double> optionalNumber(const json& object, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return std::nullopt;
    if (!found->is_number())
        throw Malformed{};
    return found->get<double>();
}

std::optional<std::string_view> optionalText(const json& object, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return std::nullopt;
    if (!found->is_string())
        throw Malformed{};
    return std::string_view(found->get_ref<const std::string&>());
}

const json& arrayAt(const json& value)
{
    if (!value.is_array())
        throw Malformed{};
    return value;
}

double cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
Point minus(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
double dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }

char firstSignificant(std::optional<std::string_view> code)
{
    if (!code)
        return 0;
    const auto at = code->find_first_not_of('0');
    return at == std::string_view::npos ? 0 : (*code)[at];
}

std::array<float, 4> rgba(BuildingMesh::Color color)
{
    if (color[0] < 0)
        return {-1, -1, -1, -1};
    return {color[0], color[1], color[2], 1};
}

// Longitudes and latitudes to metres east and south of a tile's north-west corner, at the
// scale of the tile's middle row.
class TileFrame {
public:
    TileFrame(int z, std::int64_t x, std::int64_t y)
        : n_(std::exp2(double(z)))
        , west_(double(x) / n_)
        , north_(double(y) / n_)
        , metersPerUnit_(std::cos(std::atan(std::sinh(std::numbers::pi * (1 - 2 * (double(y) + 0.5) / n_))))
              * kEquatorMeters)
    {
    }

    Point operator()(double longitude, double latitude) const
    {
        const double clamped = std::clamp(latitude, -kMaxMercatorLatitude, kMaxMercatorLatitude) * std::numbers::pi / 180;
        const double mercator = (1 - std::log(std::tan(clamped) + 1 / std::cos(clamped)) / std::numbers::pi) / 2;
        return {((longitude + 180) / 360 - west_) * metersPerUnit_, (mercator - north_) * metersPerUnit_};
    }

private:
    double n_;
    double west_;
    double north_;
    double metersPerUnit_;
};

// The footprint of a polygon's outer ring, in metres, wound to a non-negative area; nothing
// for a ring of fewer than three corners. Positions that are not a longitude and latitude
// on the globe are left out.
std::optional<BuildingMesh::Ring> outerRing(const json& polygon, const TileFrame& frame)
{
    if (polygon.empty())
        return std::nullopt;
    BuildingMesh::Ring ring;
    for (const json& position : polygon.front()) {
        if (position.size() < 2)
            continue;
        const double longitude = position[0].get<double>();
        const double latitude = position[1].get<double>();
        if (!(std::abs(longitude) <= 180 && std::abs(latitude) <= 90))
            continue;
        ring.push_back(frame(longitude, latitude));
    }
    // The last position repeats the first.
    if (ring.size() < 4)
        return std::nullopt;
    ring.pop_back();
    double area = 0;
    for (std::size_t i = 0; i < ring.size(); ++i)
        area += cross(ring[i], ring[(i + 1) % ring.size()]);
    if (area < 0)
        std::reverse(ring.begin(), ring.end());
    return ring;
}

// Checks that coordinates are polygons of rings of positions of numbers: any other shape
// is another geometry than the expected one and fails the whole document.
void checkMultiPolygon(const json& coordinates)
{
    for (const json& polygon : arrayAt(coordinates)) {
        for (const json& ring : arrayAt(polygon)) {
            for (const json& position : arrayAt(ring)) {
                for (const json& number : arrayAt(position)) {
                    if (!number.is_number())
                        throw Malformed{};
                }
            }
        }
    }
}

// What a footprint's properties say of its shape and looks.
struct Looks {
    double height = BuildingMesh::kDefaultHeightMeters;
    double roofHeight = 0;
    BuildingMesh::Color wall{};
    BuildingMesh::Color roof{};
    bool facade = false;
};

Looks looksOf(const json& properties)
{
    if (!properties.is_object())
        throw Malformed{};
    Looks looks;
    const auto height = optionalNumber(properties, "hauteur");
    if (height && *height <= BuildingMesh::kMaxHeightMeters)
        looks.height = *height;
    looks.height = std::max(BuildingMesh::kMinHeightMeters, looks.height);
    const double rawRoof
        = optionalNumber(properties, "altitude_maximale_toit").value_or(0) - optionalNumber(properties, "altitude_minimale_toit").value_or(0);
    const auto nature = optionalText(properties, "nature");
    const auto use = optionalText(properties, "usage_1");
    looks.wall = BuildingMesh::wallColor(optionalText(properties, "materiaux_des_murs"));
    looks.roof = BuildingMesh::roofColor(optionalText(properties, "materiaux_de_la_toiture"), nature);
    const bool plainUse = !use || (*use != "Annexe" && *use != "Agricole" && *use != "Industriel");
    const bool plainNature = !nature || *nature == "Indifférenciée" || *nature == "Château";
    looks.facade = looks.height >= BuildingMesh::kMinFacadeHeightMeters && plainUse && plainNature;
    // A NaN or a negative difference is no roof.
    looks.roofHeight = std::min(BuildingMesh::kMaxRoofShare * looks.height, rawRoof > 0 ? rawRoof : 0.0);
    return looks;
}

} // namespace

std::optional<std::vector<Vertex>> BuildingMesh::buildTile(std::span<const std::byte> data, int z, std::int64_t x,
    std::int64_t y)
{
    const auto* text = reinterpret_cast<const char*>(data.data());
    const json document = json::parse(text, text + data.size(), nullptr, false);
    if (!document.is_object())
        return std::nullopt;
    const auto features = document.find("features");
    if (features == document.end() || !features->is_array())
        return std::nullopt;
    const TileFrame frame(z, x, y);
    std::vector<Vertex> vertices;
    try {
        for (const json& feature : *features) {
            if (!feature.is_object())
                return std::nullopt;
            const auto properties = feature.find("properties");
            if (properties == feature.end())
                return std::nullopt;
            const Looks looks = looksOf(*properties);
            const auto geometry = feature.find("geometry");
            if (geometry == feature.end() || geometry->is_null())
                continue;
            if (!geometry->is_object() || !optionalText(*geometry, "type"))
                return std::nullopt;
            const auto coordinates = geometry->find("coordinates");
            if (coordinates == geometry->end() || coordinates->is_null())
                continue;
            checkMultiPolygon(*coordinates);
            for (const json& polygon : *coordinates) {
                const auto ring = outerRing(polygon, frame);
                if (!ring)
                    continue;
                const auto mesh = footprintMesh(looks.height, looks.roofHeight, looks.wall, looks.roof, *ring, looks.facade);
                vertices.insert(vertices.end(), mesh.begin(), mesh.end());
            }
        }
    } catch (const Malformed&) {
        return std::nullopt;
    }
    return vertices;
}

BuildingMesh::Color BuildingMesh::wallColor(std::optional<std::string_view> material)
{
    switch (firstSignificant(material)) {
    case '1':
        return {0.74f, 0.68f, 0.58f};
    case '2':
        return {0.70f, 0.60f, 0.46f};
    case '3':
        return {0.73f, 0.73f, 0.71f};
    case '4':
        return {0.62f, 0.35f, 0.26f};
    case '5':
        return {0.86f, 0.81f, 0.72f};
    case '6':
        return {0.50f, 0.37f, 0.24f};
    default:
        return kDefaultWallColor;
    }
}

BuildingMesh::Color BuildingMesh::roofColor(std::optional<std::string_view> material, std::optional<std::string_view> nature)
{
    switch (firstSignificant(material)) {
    case '1':
        return {0.62f, 0.33f, 0.22f};
    case '2':
        return {0.29f, 0.31f, 0.35f};
    case '3':
        return {0.52f, 0.54f, 0.56f};
    case '4':
        return {0.60f, 0.59f, 0.56f};
    default:
        break;
    }
    if (nature == "Serre")
        return {0.80f, 0.85f, 0.85f};
    if (nature && nature->starts_with("Industriel"))
        return {0.55f, 0.56f, 0.57f};
    return kNoRoofColor;
}

BuildingMesh::Ridge BuildingMesh::ridgeLine(const Ring& ring)
{
    Ridge ridge;
    double bestArea = std::numeric_limits<double>::infinity();
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Point edge = minus(ring[(i + 1) % n], ring[i]);
        const double length = std::hypot(edge.x, edge.y);
        if (!(length > kMinEdgeMeters))
            continue;
        const Point u{edge.x / length, edge.y / length};
        double minA = std::numeric_limits<double>::infinity();
        double maxA = -minA;
        double minB = minA;
        double maxB = -minA;
        for (const Point& p : ring) {
            const double a = dot(p, u);
            const double b = u.x * p.y - u.y * p.x;
            minA = std::min(minA, a);
            maxA = std::max(maxA, a);
            minB = std::min(minB, b);
            maxB = std::max(maxB, b);
        }
        const double spanA = maxA - minA;
        const double spanB = maxB - minB;
        if (!(spanA * spanB < bestArea))
            continue;
        bestArea = spanA * spanB;
        if (spanA >= spanB)
            ridge = {{-u.y, u.x}, (maxB + minB) / 2, spanB / 2};
        else
            ridge = {u, (maxA + minA) / 2, spanA / 2};
    }
    return ridge;
}

std::vector<BuildingMesh::Triangle> BuildingMesh::triangulate(const Ring& ring)
{
    return EarClipper(ring).triangles();
}

std::vector<Vertex> BuildingMesh::footprintMesh(double height, double roofHeight, Color wall, Color roof,
    const Ring& ring, bool facade)
{
    std::vector<Vertex> vertices;
    if (ring.empty())
        return vertices;
    Point centre;
    for (const Point& p : ring) {
        centre.x += p.x;
        centre.y += p.y;
    }
    centre = {centre.x / double(ring.size()), centre.y / double(ring.size())};

    const Ridge ridge = ridgeLine(ring);
    const bool pitched = roofHeight > kMinPitchMeters && ridge.halfWidth > kMinPitchMeters;
    const double rise = pitched ? std::min(kMaxRisePerHalfWidth * ridge.halfWidth, roofHeight) : 0;
    const double eave = height - rise;
    const auto side = [&](Point q) { return dot(ridge.normal, q) - ridge.offset; };
    const auto top = [&](Point q) {
        return pitched ? eave + rise * std::max(0.0, 1 - std::abs(side(q)) / ridge.halfWidth) : height;
    };

    // The ring with the points where the ridge crosses it, so that gables reach the ridge.
    Ring expanded;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point p = ring[i];
        const Point q = ring[(i + 1) % ring.size()];
        expanded.push_back(p);
        if (!pitched)
            continue;
        const double dp = side(p);
        const double dq = side(q);
        if (dp * dq < 0 && std::abs(dp) > kOnRidgeMeters && std::abs(dq) > kOnRidgeMeters) {
            const double t = dp / (dp - dq);
            expanded.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
        }
    }

    const auto wallColour = rgba(wall);
    const auto vertex = [&](Point p, double z, std::array<double, 3> normal, float part,
                            const std::array<float, 4>& colour, double wallU, double wallLength) {
        return Vertex{float(p.x), float(p.y), float(z), float(normal[0]), float(normal[1]), float(normal[2]), part,
            colour, float(centre.x), float(centre.y), float(wallU), float(wallLength)};
    };
    for (std::size_t i = 0; i < expanded.size(); ++i) {
        const Point q = expanded[i];
        const Point r = expanded[(i + 1) % expanded.size()];
        const double dx = r.x - q.x;
        const double dy = r.y - q.y;
        const double length = std::hypot(dx, dy);
        if (!(length > kMinEdgeMeters))
            continue;
        const std::array<double, 3> normal{dy / length, -dx / length, 0};
        const double storeys = facade && length >= kMinFacadeWallMeters ? length : 0;
        const double topQ = top(q);
        const double topR = top(r);
        vertices.push_back(vertex(q, kWallFootMeters, normal, 0, wallColour, 0, storeys));
        vertices.push_back(vertex(r, kWallFootMeters, normal, 0, wallColour, length, storeys));
        vertices.push_back(vertex(r, topR, normal, 0, wallColour, length, storeys));
        vertices.push_back(vertex(q, kWallFootMeters, normal, 0, wallColour, 0, storeys));
        vertices.push_back(vertex(r, topR, normal, 0, wallColour, length, storeys));
        vertices.push_back(vertex(q, topQ, normal, 0, wallColour, 0, storeys));
    }

    std::vector<Ring> parts;
    if (pitched) {
        parts.resize(2);
        for (const Point& q : expanded) {
            if (side(q) >= -kOnRidgeMeters)
                parts[0].push_back(q);
            if (side(q) <= kOnRidgeMeters)
                parts[1].push_back(q);
        }
    } else {
        parts.push_back(ring);
    }
    const auto roofColour = rgba(roof);
    for (const Ring& part : parts) {
        if (part.size() <= 2)
            continue;
        for (const Triangle& triangle : triangulate(part)) {
            std::array<std::array<double, 3>, 3> lifted;
            for (std::size_t k = 0; k < 3; ++k)
                lifted[k] = {triangle[k].x, triangle[k].y, top(triangle[k])};
            const std::array<double, 3> u{lifted[1][0] - lifted[0][0], lifted[1][1] - lifted[0][1], lifted[1][2] - lifted[0][2]};
            const std::array<double, 3> v{lifted[2][0] - lifted[0][0], lifted[2][1] - lifted[0][1], lifted[2][2] - lifted[0][2]};
            std::array<double, 3> normal{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
            const double length = std::hypot(normal[0], normal[1], normal[2]);
            if (!(length > kMinRoofCross))
                continue;
            const double sign = normal[2] < 0 ? -1 : 1;
            for (double& component : normal)
                component *= sign / length;
            for (std::size_t k = 0; k < 3; ++k)
                vertices.push_back(vertex(triangle[k], lifted[k][2], normal, 1, roofColour, 0, 0));
        }
    }
    return vertices;
}

} // namespace velorin
