#include "numerics/RealArray.h"

#include "numerics/GeneralError.h"

#include <algorithm>
#include <string>

namespace ksn {

TRealArray::TRealArray(int nx, int ny)
    : myData(size_t(std::max(nx, 0)) * size_t(std::max(ny, 0))), myNx(std::max(nx, 0)),
      myNy(std::max(ny, 0))
{
    myXAxis.SetPoints(myNx);
    myYAxis.SetPoints(myNy);
}

void TRealArray::SetSize(int dimension, int n)
{
    if (n < 0)
        n = 0;
    const int oldCount = Count();
    if (dimension == 0) {
        if (n == myNx)
            return;
        myNx = n;
        myXAxis.SetPoints(n);
    } else {
        if (n == myNy)
            return;
        myNy = n;
        myYAxis.SetPoints(n);
    }
    if (Count() != oldCount)
        myData = std::vector<double, TZeroedAllocator<double>>(size_t(Count())); // new, zeroed storage
}

void TRealArray::Put(int x, int y, double value)
{
    if (rangeCheck) {
        if (x < myBase || x >= myBase + myNx)
            throw EGeneralError("RealArray: Write x beyond range: " + std::to_string(x));
        if (y < myBase || y >= myBase + myNy)
            throw EGeneralError("RealArray: Write y beyond range: " + std::to_string(y));
    }
    assert(x - myBase >= 0 && x - myBase < myNx && y - myBase >= 0 && y - myBase < myNy);
    At(x - myBase, y - myBase) = value;
}

double TRealArray::Get(int x, int y) const
{
    if (rangeCheck) {
        if (x < myBase || x >= myBase + myNx)
            throw EGeneralError("RealArray: Read x beyond range: " + std::to_string(x));
        if (y < myBase || y >= myBase + myNy)
            throw EGeneralError("RealArray: Read y beyond range: " + std::to_string(y));
    }
    assert(x - myBase >= 0 && x - myBase < myNx && y - myBase >= 0 && y - myBase < myNy);
    return At(x - myBase, y - myBase);
}

double TRealArray::Max() const
{
    if (myData.empty())
        return 0.0;
    return *std::max_element(myData.begin(), myData.end());
}

double TRealArray::Min() const
{
    if (myData.empty())
        return 0.0;
    return *std::min_element(myData.begin(), myData.end());
}

void TRealArray::Assign(const TRealArray& source)
{
    if (&source == this)
        return;
    SetSize(0, source.myNx);
    SetSize(1, source.myNy);
    myData = source.myData;
    myXAxis = source.myXAxis;
    myYAxis = source.myYAxis;
}

void TRealArray::Preset(const double* values, std::size_t count)
{
    if (count != myData.size())
        throw EGeneralError("RealArray.Preset: Sizes don't match");
    std::copy(values, values + count, myData.begin());
}

void TRealArray::Fill(double value) { std::fill(myData.begin(), myData.end(), value); }

} // namespace ksn
