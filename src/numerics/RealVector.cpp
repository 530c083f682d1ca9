#include "numerics/RealVector.h"

#include "numerics/GeneralError.h"

#include <string>

namespace ksn {

TRealVector::TRealVector(int count) : myData(count > 0 ? size_t(count) : 0, 0.0)
{
    myAxis.SetPoints(Count());
}

void TRealVector::SetLength(int count)
{
    if (count < 0)
        count = 0;
    if (count != Count())
        myData.assign(size_t(count), 0.0);
    myAxis.SetPoints(Count());
}

double TRealVector::Get(int i) const
{
    if (rangeCheck && (i < myBase || i >= myBase + Count()))
        throw EGeneralError("RealVector: Read beyond range: " + std::to_string(i));
    assert(i - myBase >= 0 && i - myBase < Count());
    return myData[size_t(i - myBase)];
}

void TRealVector::Put(int i, double value)
{
    if (rangeCheck && (i < myBase || i >= myBase + Count()))
        throw EGeneralError("RealVector: Write beyond range: " + std::to_string(i));
    assert(i - myBase >= 0 && i - myBase < Count());
    myData[size_t(i - myBase)] = value;
}

double TRealVector::Max() const
{
    if (myData.empty())
        return 0.0;
    double m = myData[0];
    for (double v : myData)
        if (v > m)
            m = v;
    return m;
}

double TRealVector::Min() const
{
    if (myData.empty())
        return 0.0;
    double m = myData[0];
    for (double v : myData)
        if (v < m)
            m = v;
    return m;
}

} // namespace ksn
