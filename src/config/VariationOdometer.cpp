#include "config/VariationOdometer.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <utility>

namespace ksn {

void TVariationOdometer::Replace(int i, const TParmsVariation& entry)
{
    assert(i >= 0);
    if (size_t(i) >= myEntries.size()) {
        myEntries.resize(size_t(i) + 1); // new entries are inactive (parm unknown)
        myPositions.resize(size_t(i) + 1, 0);
    }
    myEntries[size_t(i)] = entry;
    Recount();
    Reset();
}

void TVariationOdometer::Swap(int i, int j)
{
    std::swap(myEntries[size_t(i)], myEntries[size_t(j)]);
    std::swap(myPositions[size_t(i)], myPositions[size_t(j)]);
}

int TVariationOdometer::ValueCount(int i) const { return std::max(myEntries[size_t(i)].steps, 1); }

void TVariationOdometer::Recount()
{
    long long total = 1;
    for (int i = 0; i < Size(); ++i)
        if (IsActive(Entry(i)))
            total = std::min<long long>(total * ValueCount(i), INT_MAX);
    myTotal = int(total);
}

// value = first + k*delta, one multiplication from first (no accumulated rounding).
TComplex TVariationOdometer::Value(int i) const
{
    const TParmsVariation& v = Entry(i);
    const TExtended k = Position(i);
    return {double(TExtended(v.first.re) + k * v.delta.re), double(TExtended(v.first.im) + k * v.delta.im)};
}

bool TVariationOdometer::Turn(int i, int j)
{
    const long long k = (long long)myPositions[size_t(i)] + j;
    if (k < 0 || k >= ValueCount(i)) {
        myPositions[size_t(i)] = 0;
        return false;
    }
    myPositions[size_t(i)] = int(k);
    return true;
}

void TVariationOdometer::Reset()
{
    std::fill(myPositions.begin(), myPositions.end(), 0);
    myCount = 0;
}

bool TVariationOdometer::Step(const std::function<bool(int)>& turn)
{
    if (myEntries.empty())
        return false;
    for (int i = 0; i < Size(); ++i)
        if (IsActive(Entry(i)) && turn(i))
            break;
    ++myCount;
    return myCount < myTotal;
}

} // namespace ksn
