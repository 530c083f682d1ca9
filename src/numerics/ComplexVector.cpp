#include "numerics/ComplexVector.h"

#include "numerics/GeneralError.h"

#include <cmath>
#include <string>

namespace ksn {

TComplexVector::TComplexVector(int count) : myFirst(count), mySecond(count) {}

void TComplexVector::SetLength(int count)
{
    myFirst.SetLength(count);
    mySecond.SetLength(count);
}

void TComplexVector::SetBase(int base)
{
    myFirst.SetBase(base);
    mySecond.SetBase(base);
}

void TComplexVector::Put(int i, TComplex value)
{
    ToCartesian();
    if (rangeCheck && (i < Base() || i >= Base() + Count()))
        throw EGeneralError("ComplexVector: write ix beyond range");
    myFirst.Put(i, value.re);
    mySecond.Put(i, value.im);
}

TComplex TComplexVector::Get(int i)
{
    ToCartesian();
    if (rangeCheck && (i < Base() || i >= Base() + Count()))
        throw EGeneralError("ComplexVector: read ix beyond range");
    return {myFirst.Get(i), mySecond.Get(i)};
}

TRealVector& TComplexVector::Component(int selector)
{
    if (selector < 0 || selector > 3)
        throw EGeneralError("ComplexVector.Component: Invalid selector: " + std::to_string(selector));
    if (selector >= 2) {
        ToPolar();
        return selector == 2 ? myFirst : mySecond;
    }
    ToCartesian();
    return selector == 0 ? myFirst : mySecond;
}

void TComplexVector::ToPolar()
{
    if (myPolar)
        return;
    myPolar = true;
    double* a = myFirst.Data();
    double* b = mySecond.Data();
    for (int i = 0; i < Count(); ++i) {
        const double re = a[i], im = b[i];
        a[i] = std::hypot(re, im);
        b[i] = PrincipalPhase(re, im);
    }
}

void TComplexVector::ToCartesian()
{
    if (!myPolar)
        return;
    myPolar = false;
    double* a = myFirst.Data();
    double* b = mySecond.Data();
    for (int i = 0; i < Count(); ++i) {
        const double m = a[i], p = b[i];
        a[i] = m * std::cos(p);
        b[i] = m * std::sin(p);
    }
}

} // namespace ksn
