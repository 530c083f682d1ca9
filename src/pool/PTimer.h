#pragma once
// Elapsed-time measurement on the monotonic high-resolution clock.
#include "numerics/Complex.h"

#include <chrono>

namespace ksn {

class TPerfTimer {
public:
    TPerfTimer();
    void Start();
    // Seconds since Start (extended precision); also records the stop count.
    TExtended Elapsed();
    bool Valid() const { return myValid; }
    // Counts per second of the underlying clock.
    long long Frequency() const { return myFrequency; }

private:
    using TClock = std::chrono::steady_clock;
    long long myFrequency = 0;
    TClock::time_point myStart;
    TClock::time_point myStop;
    bool myValid = true;
};

} // namespace ksn
