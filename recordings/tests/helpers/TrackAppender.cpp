// velorin_track_appender <root> <track id> <first time, seconds since 1970>
// Appends the points of a walk north from 45° N, 6° E, one a second, to the track, and
// writes the index of each point on standard output once its append has returned, until
// it is killed.
#include "recordings/TrackStore.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    velorin::TrackStore store(argv[1]);
    const std::string id = argv[2];
    const platform::SystemTime start{std::chrono::seconds(std::atoll(argv[3]))};
    for (long index = 0;; ++index) {
        velorin::TrackPoint point{45.0 + index * 1e-5, 6.0, 1000.0 + index % 50, start + std::chrono::seconds(index), 5.0,
            velorin::TravelMode::walking};
        store.append(point, id);
        const std::string acknowledgement = std::to_string(index) + "\n";
        if (::write(STDOUT_FILENO, acknowledgement.data(), acknowledgement.size()) < 0)
            return 1;
    }
}
