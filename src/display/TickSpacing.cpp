#include "display/TickSpacing.h"

#include <algorithm>
#include <cmath>

namespace ksn {

TTickSteps TickSteps(double lo, double hi, int minDivision)
{
    const double span = std::fabs(hi - lo);
    if (!std::isfinite(span) || span == 0)
        return {};
    const double a = std::log10(span / std::max(1, minDivision));
    double b = std::floor(a);
    double m = std::pow(10.0, a - b);
    constexpr double eps = 1e-9;
    if (m >= 10 * (1 - eps)) { // log10 fell just short of an integer
        m = 1;
        b += 1;
    }
    TTickSteps s;
    if (m <= 1.5 * (1 + eps))
        s = {1, 0.25};
    else if (m <= 2.25 * (1 + eps))
        s = {2, 0.5};
    else if (m < 4 * (1 - eps))
        s = {2.5, 0.5};
    else
        s = {5, 1};
    const double unit = std::pow(10.0, b);
    return {s.major * unit, s.minor * unit};
}

std::vector<double> TickValues(double lo, double hi, double step, int maxCount)
{
    std::vector<double> ticks;
    if (!(step > 0) || !std::isfinite(lo) || !std::isfinite(hi))
        return ticks;
    const double from = std::min(lo, hi), to = std::max(lo, hi);
    const double tolerance = step * 1e-9;
    const double first = std::ceil((from - tolerance) / step);
    for (int i = 0; i < maxCount; ++i) {
        double v = (first + i) * step;
        if (v > to + tolerance)
            break;
        if (std::fabs(v) < tolerance)
            v = 0; // no "-0.0" label
        ticks.push_back(v);
    }
    return ticks;
}

} // namespace ksn
