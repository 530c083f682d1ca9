#include "pool/PTimer.h"

namespace ksn {

TPerfTimer::TPerfTimer()
{
    using period = TClock::period;
    myFrequency = period::den / period::num;
    myStart = myStop = TClock::now();
}

void TPerfTimer::Start() { myStart = TClock::now(); }

TExtended TPerfTimer::Elapsed()
{
    myStop = TClock::now();
    const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(myStop - myStart).count();
    return TExtended(ticks) * 1e-9L;
}

} // namespace ksn
