#pragma once
// The odometer of a parameter-variation series, one for the wave parameters (held by the
// field) and one for the layer parameters (held by the scene), with one rule for both.
//
// Every entry whose parm is not `unknown` is a wheel. A wheel with steps = s takes the s
// values  first + k*delta,  k = 0 ... s-1  (a count below 1 gives the single value
// first); it wraps back to first when a step would pass its last value first +
// (s-1)*delta. The wheel counts k instead of accumulating delta, so rounding can neither
// lose the last value nor add one, whatever the sign of delta, and a delta without real
// part (a complex index stepped in kappa only) wraps like any other.
//
// A step of the odometer turns the first active wheel; a wheel that wraps carries to the
// next active one. A series therefore visits the full grid of the wheels' values, entry 0
// fastest: wheels of 3 and 2 steps give Total() = 6 configurations, the first at Reset
// and five more by Step, and the sixth Step ends the series.
#include "config/Records.h"

#include <functional>
#include <vector>

namespace ksn {

class TVariationOdometer {
public:
    // Stores the entry at index i >= 0, growing the list with inactive entries; the
    // series starts again (all wheels at first, count 0).
    void Replace(int i, const TParmsVariation& entry);
    // Exchanges entries i and j with their wheel positions.
    void Swap(int i, int j);

    int Size() const { return int(myEntries.size()); }
    const TParmsVariationArr& Entries() const { return myEntries; }
    const TParmsVariation& Entry(int i) const { return myEntries[size_t(i)]; }
    static bool IsActive(const TParmsVariation& entry) { return entry.parm != TParms::unknown; }

    // Configurations of a series: the product of the active wheels' value counts (1
    // without active wheels), saturated at the int range.
    int Total() const { return myTotal; }
    // Steps taken since the series began.
    int Count() const { return myCount; }

    // Wheel i's position k and its value first + k*delta.
    int Position(int i) const { return myPositions[size_t(i)]; }
    TComplex Value(int i) const;
    // Turns wheel i by j positions; false when it passed its last value and wrapped to
    // first (k = 0).
    bool Turn(int i, int j);
    // Wheel i back to first.
    void ResetWheel(int i) { myPositions[size_t(i)] = 0; }

    // The start of a series: every wheel at first, count 0.
    void Reset();
    // The next configuration. `turn(i)` turns active wheel i by one (the owner writes the
    // new value into its record) and returns false when the wheel wrapped, which carries
    // the step to the next active wheel; true stops the carry (also the owner's answer
    // for an entry it cannot apply). Returns true while the new configuration belongs to
    // the series (Count() < Total()); false after the last one, and the owner then resets.
    bool Step(const std::function<bool(int)>& turn);

private:
    int ValueCount(int i) const;
    void Recount();

    TParmsVariationArr myEntries;
    std::vector<int> myPositions;
    int myTotal = 1;
    int myCount = 0;
};

} // namespace ksn
