#pragma once

namespace velorin {

// How long a frame prepared ahead (a flight's, a film's) waits for the tiles, elevation
// grids, trees and buildings it shows: up to kPatienceSeconds, after which it is taken with
// what has come. Once one frame has given up, the next ones are taken at once, until
// something new arrives and waiting is worth it again; so a flight offline prepares in
// seconds rather than never. A plain value; GUI thread only.
class ResourceWait {
public:
    static constexpr double kPatienceSeconds = 6;

    // Whether a frame not ready, waiting since `waitingSince`, is taken as it is at `now`.
    bool givesUp(double waitingSince, double now)
    {
        if (!givenUp_ && now - waitingSince >= kPatienceSeconds)
            givenUp_ = true;
        return givenUp_;
    }
    // Something the frames wait for has arrived: the next frame not ready waits again.
    void resourceArrived() { givenUp_ = false; }
    bool hasGivenUp() const { return givenUp_; }

private:
    bool givenUp_ = false;
};

} // namespace velorin
