// The stored camera ("Velorin.lastCamera") read from a preferences file of any content:
// a view that restores holds three finite numbers, and the camera it places saves and
// restores to the same view.

#include "canvas/LastCamera.h"
#include "fuzz/FuzzCheck.h"
#include "map-data/WorldPoint.h"
#include "platform/Log.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

namespace fs = std::filesystem;

struct Scratch {
    fs::path folder;
    // Preferences whose writes fail: saves stay in memory and the disk is left alone.
    fs::path unwritable;
    // The preferences say it when they set a corrupt file aside; that is expected here.
    platform::Log::SinkRegistration quiet = platform::Log::addSink([](const platform::LogEntry&) {});
};

// A file written for every input: in memory where the system offers a folder there, which
// runs some twenty times faster than on a disk.
fs::path scratchRoot()
{
    std::error_code error;
    return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

Scratch& scratch()
{
    static Scratch* shared = [] {
        auto* made = new Scratch;
        made->folder = scratchRoot() / ("velorin-lastcamera-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(made->folder);
        made->unwritable = made->folder / "missing" / "defaults.json";
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(scratch().folder, ignored);
        });
        return made;
    }();
    return *shared;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fs::path file = scratch().folder / "defaults.json";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    const platform::UserDefaults defaults(file);
    const auto restored = velorin::LastCamera::restore(defaults);
    if (!restored)
        return 0;
    FUZZ_CHECK(std::isfinite(restored->latitude) && std::isfinite(restored->longitude) && std::isfinite(restored->zoom));

    velorin::Camera camera;
    camera.center = velorin::WorldPoint::fromLatitudeLongitude(restored->latitude, restored->longitude);
    camera.zoom = restored->zoom;
    const velorin::LastCamera placed{camera.center.latitude(), camera.center.longitude(), camera.zoom};
    FUZZ_CHECK(std::isfinite(placed.latitude) && std::abs(placed.latitude) <= 90);

    platform::UserDefaults saved(scratch().unwritable);
    velorin::LastCamera::save(saved, camera);
    const auto again = velorin::LastCamera::restore(saved);
    if (std::isfinite(placed.longitude))
        FUZZ_CHECK(again == placed);
    else
        FUZZ_CHECK(!again);
    return 0;
}
