#pragma once

#include "recordings/GPXWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

// The schema check and the other GPS program that the GPX tests hold our files against;
// scripts/install-deps installs both.
namespace gpx_tools {

struct CommandResult {
    int status = -1;
    std::string output; // standard output and standard error together
};

inline CommandResult run(const std::string& command)
{
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, got);
    result.status = ::pclose(pipe);
    return result;
}

inline std::string quoted(const std::filesystem::path& path)
{
    return "'" + path.string() + "'";
}

// Fails the test unless the file is valid against the GPX 1.1 schema.
inline void expectValidGpx11(const std::filesystem::path& file)
{
    const auto check = run("xmllint --noout --nonet --schema " VELORIN_FIXTURES "/gpx-1.1.xsd " + quoted(file));
    EXPECT_EQ(check.status, 0) << check.output;
}

// A point as the other program reads it back: degrees to six places, the altitude, the
// UTC time as "2024/05/01 10:00:00".
struct ReadBack {
    double latitude = 0, longitude = 0;
    std::optional<double> altitude;
    std::string time;
};

// The track points of a GPX file (1.0 or 1.1), as gpsbabel reads them.
inline std::vector<ReadBack> readBack(const std::filesystem::path& file)
{
    const auto converted = run("TZ=UTC gpsbabel -t -i gpx -f " + quoted(file) + " -o unicsv,utc=0 -F -");
    EXPECT_EQ(converted.status, 0) << converted.output;
    std::vector<ReadBack> points;
    std::istringstream lines(converted.output);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("No,Latitude,Longitude", 0), 0u) << line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            fields.push_back(cell);
        if (fields.size() != 6) {
            ADD_FAILURE() << "unexpected line " << line;
            continue;
        }
        ReadBack point{std::stod(fields[1]), std::stod(fields[2]), std::nullopt, fields[4] + " " + fields[5]};
        if (!fields[3].empty())
            point.altitude = std::stod(fields[3]);
        points.push_back(point);
    }
    return points;
}

// Fails the test unless gpsbabel reads `file` back as `points`, in order.
inline void expectReadBackAs(const std::filesystem::path& file, const std::vector<velorin::TrackPoint>& points)
{
    const auto read = readBack(file);
    ASSERT_EQ(read.size(), points.size()) << file;
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(read[i].latitude, points[i].latitude, 1e-6) << i;
        EXPECT_NEAR(read[i].longitude, points[i].longitude, 1e-6) << i;
        EXPECT_EQ(read[i].altitude.has_value(), points[i].altitude.has_value()) << i;
        if (read[i].altitude && points[i].altitude) {
            EXPECT_NEAR(*read[i].altitude, *points[i].altitude, 0.05) << i;
        }
        std::string expected = platform::formatIso8601(points[i].timestamp).substr(0, 19);
        std::replace(expected.begin(), expected.end(), '-', '/');
        expected[10] = ' ';
        EXPECT_EQ(read[i].time, expected) << i;
    }
}

} // namespace gpx_tools
