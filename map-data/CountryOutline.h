#pragma once

// The rings of a country's border in world units, read from an outline resource, with
// each ring's bounding box. Immutable once built; any thread may read it.

#include <cstddef>
#include <filesystem>
#include <span>
#include <vector>

namespace velorin {

class CountryOutline {
public:
    struct Point {
        double x = 0;
        double y = 0;
        bool operator==(const Point&) const = default;
    };

    struct Bounds {
        double minX = 0;
        double minY = 0;
        double maxX = 0;
        double maxY = 0;
    };

    CountryOutline() = default;
    explicit CountryOutline(std::vector<std::vector<Point>> rings);

    // Little-endian: a signed 32-bit ring count, then per ring a signed 32-bit point count
    // and that many x, y pairs of 64-bit floats. Reading stops, keeping the rings read so
    // far, at a ring of fewer than 3 points, one that runs past the end of the data or one
    // with a coordinate that is not a finite number.
    static CountryOutline parse(std::span<const std::byte> bytes);

    // The whole file at `path`; empty when it is missing or unreadable.
    static CountryOutline read(const std::filesystem::path& path);

    // Metropolitan France and Corsica from the "France.outline" resource, read once on
    // first use; empty when the resource is missing.
    static const CountryOutline& france();

    const std::vector<std::vector<Point>>& rings() const { return rings_; }
    const std::vector<Bounds>& bounds() const { return bounds_; }
    bool empty() const { return rings_.empty(); }

    // Even-odd rule over the rings whose bounding box holds the point.
    bool contains(double x, double y) const;

private:
    std::vector<std::vector<Point>> rings_;
    std::vector<Bounds> bounds_;
};

} // namespace velorin
