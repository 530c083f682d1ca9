#pragma once
#include "numerics/Complex.h"
#include "numerics/RealVector.h"

namespace ksn {

// Complex vector in split storage: first part = real parts (or moduli when polar),
// second part = imaginary parts (or phases in radians when polar).
class TComplexVector {
public:
    explicit TComplexVector(int count = 0);
    virtual ~TComplexVector() = default;

    void SetLength(int count);
    int Count() const { return myFirst.Count(); }
    void SetBase(int base);
    int Base() const { return myFirst.Base(); }

    // Both convert to Cartesian form first. With the range check on, an index outside
    // the range throws "ComplexVector: write ix beyond range" / "... read ix ...".
    void Put(int i, TComplex value);
    TComplex Get(int i);

    // Selector 0 = real part, 1 = imaginary part, 2 = modulus, 3 = phase; converts
    // to the form that holds the selected quantity; any other selector throws EGeneralError.
    TRealVector& Component(int selector);
    void ToPolar();
    void ToCartesian();
    bool IsPolar() const { return myPolar; }

    TRealVector& FirstPart() { return myFirst; }
    TRealVector& SecondPart() { return mySecond; }
    const TRealVector& FirstPart() const { return myFirst; }
    const TRealVector& SecondPart() const { return mySecond; }
    TAxis& Axis() { return myFirst.Axis(); }

    bool rangeCheck = false;

private:
    TRealVector myFirst;
    TRealVector mySecond;
    bool myPolar = false;
};

} // namespace ksn
