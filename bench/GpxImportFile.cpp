// GpxImportFile <file.gpx>: imports the file as Velorin does and prints how many points
// it found; exits non-zero when it found none. scripts/bench-gpx times it.
#include "platform/MappedFile.h"
#include "recordings/GPXImporter.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: GpxImportFile <file.gpx>\n");
        return 2;
    }
    const auto file = platform::MappedFile::open(argv[1]);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    const auto imported = velorin::GPXImporter::parse(file->bytes(), std::chrono::system_clock::now());
    std::size_t points = 0;
    for (const auto& track : imported.tracks)
        points += track.points.size();
    if (points == 0)
        return 1;
    std::printf("%zu\n", points);
    return 0;
}
