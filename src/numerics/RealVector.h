#pragma once
#include "numerics/Axis.h"

#include <cassert>
#include <vector>

namespace ksn {

// Owning vector of doubles with a movable index base: element i lives at i - base.
class TRealVector {
public:
    explicit TRealVector(int count = 0);
    virtual ~TRealVector() = default;

    // Reallocates and zeroes every element when the count changes.
    void SetLength(int count);
    int Count() const { return int(myData.size()); }
    void SetBase(int base) { myBase = base; }
    int Base() const { return myBase; }

    // With the range check on, an index outside base..base+count-1 throws
    // "RealVector: Read beyond range: <i>".
    double Get(int i) const;
    void Put(int i, double value);
    double Max() const;
    double Min() const;

    double* Data() { return myData.data(); }
    const double* Data() const { return myData.data(); }
    TAxis& Axis() { return myAxis; }
    const TAxis& Axis() const { return myAxis; }

    bool rangeCheck = false;

private:
    std::vector<double> myData;
    int myBase = 0;
    TAxis myAxis;
};

} // namespace ksn
