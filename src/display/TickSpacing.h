#pragma once
// Tick spacing of the plotting components' axes, shared by the false-colour diagram
// and the x-y graph.
#include <vector>

namespace ksn {

struct TTickSteps {
    double major = 0;
    double minor = 0;
};

// With a = log10(|hi - lo| / minDivision), b = floor(a) and the mantissa m = 10^(a - b)
// (1 <= m < 10): major and minor steps 1 and 0.25 for m <= 1.5, 2 and 0.5 for
// m <= 2.25, 2.5 and 0.5 for m < 4, 5 and 1 otherwise, times 10^b. Mantissas within a
// relative 1e-9 of a boundary count as the boundary, so that log10's last bit cannot
// move a range of exactly 15, 22.5 or 10^b * minDivision into the wrong class.
// Both steps are 0 when the range is empty or not finite; minDivision 0 counts as 1.
TTickSteps TickSteps(double lo, double hi, int minDivision);

// Multiples of `step` from the smaller to the larger limit (inclusive, with a relative
// tolerance of 1e-9 of the step), at most `maxCount` of them; empty for a bad step.
std::vector<double> TickValues(double lo, double hi, double step, int maxCount = 1000);

} // namespace ksn
