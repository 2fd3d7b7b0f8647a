#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// A real gpsd fed by gpsfake from an NMEA log, listening on a loopback port of its own so
// that the machine's daemon is never involved. gpsd reads its receiver only once a client
// watches, so the log waits until `play` hands it over, then goes one sentence every
// `sentenceSeconds`. The daemon and gpsfake run in a process group that `kill` ends at once,
// as a crash would; the destructor kills too. One thread.
class GpsFake {
public:
    // The gpsfake program, found on the PATH; empty when it is not installed.
    static std::filesystem::path program();
    // A TCP port on 127.0.0.1 that nothing listens on now.
    static int freePort();

    GpsFake(std::filesystem::path log, int port, double sentenceSeconds);
    ~GpsFake();

    GpsFake(const GpsFake&) = delete;
    GpsFake& operator=(const GpsFake&) = delete;

    // Whether gpsd came up with the log's receiver; waits up to `timeoutSeconds`.
    bool waitUntilListening(double timeoutSeconds) const;
    // Lets gpsfake write the whole log to the receiver's line.
    void play();
    void kill();
    int port() const { return port_; }

private:
    int port_;
    int sentences_ = 0;
    int group_ = -1;
    // gpsfake's standard input: one line lets one sentence go.
    int steps_ = -1;
};

} // namespace testing_support
