#pragma once

namespace velorin {

// The pixel size of a film: the height asked for, rounded up to even since 4:2:0 video
// halves each side, and the width that keeps the first pose's view proportions at that
// height, even as well. Any thread.
struct FilmSize {
    int width = 0;
    int height = 0;

    static FilmSize of(int height, double poseWidth, double poseHeight);
    bool operator==(const FilmSize&) const = default;
};

} // namespace velorin
