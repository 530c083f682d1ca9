#pragma once
#include "numerics/Complex.h"
#include "numerics/ComplexVector.h"
#include "numerics/RealArray.h"

namespace ksn {

// nx x ny complex array in split storage (two TRealArray parts of equal size), x fastest.
// Cartesian form: parts are real and imaginary parts; polar form: modulus and phase.
// Carries the centred 2-D FFT on which the propagation methods rest.
class TComplexArray {
public:
    TComplexArray(int nx = 0, int ny = 0);
    virtual ~TComplexArray() = default;
    TComplexArray(const TComplexArray&) = default;
    TComplexArray& operator=(const TComplexArray&) = default;

    virtual void SetSize(int dimension, int n);
    void SetBase(int base);
    int Base() const { return myFirst.Base(); }
    int Nx() const { return myFirst.Nx(); }
    int Ny() const { return myFirst.Ny(); }
    int Count() const { return myFirst.Count(); }

    // Put converts to Cartesian form first and, with the range check on, throws
    // "ComplexArray: Write x beyond range: <x>" (or y). Get converts, never checks.
    void Put(int x, int y, TComplex value);
    TComplex Get(int x, int y);
    // Unchecked 0-based access to a Cartesian array (kernels; no form switch).
    TComplex At(int ix, int iy) const
    {
        const size_t k = size_t(ix) + size_t(iy) * size_t(Nx());
        return {myFirst.Data()[k], mySecond.Data()[k]};
    }
    void SetAt(int ix, int iy, TComplex v)
    {
        const size_t k = size_t(ix) + size_t(iy) * size_t(Nx());
        myFirst.Data()[k] = v.re;
        mySecond.Data()[k] = v.im;
    }

    // Selector 0 = real, 1 = imaginary, 2 = modulus, 3 = phase, switching form as needed;
    // any other selector throws EGeneralError.
    TRealArray& Component(int selector);
    double* ComponentData(int selector) { return Component(selector).Data(); }
    // Contiguous real and imaginary blocks; convert to Cartesian form first.
    double* Re();
    double* Im();
    const double* Re() const { return myFirst.Data(); }
    const double* Im() const { return mySecond.Data(); }

    void Assign(const TComplexArray& source);
    void Fill(TComplex value);
    // Both throw "GetColumn: different base" when the vector's base differs.
    void GetColumn(int x, TComplexVector& vector);
    void GetRow(int y, TComplexVector& vector);
    void ToPolar();
    void ToCartesian();
    bool IsPolar() const { return myPolar; }

    // Centred 2-D transform in place: sign +1 forward (unscaled), -1 inverse (1/(nx*ny)).
    // nx and ny must be powers of two (1 included) and sign +1 or -1, else EGeneralError
    // before any element changes.
    void FFT(int sign);

    TRealArray& FirstPart() { return myFirst; }
    TRealArray& SecondPart() { return mySecond; }
    const TRealArray& FirstPart() const { return myFirst; }
    const TRealArray& SecondPart() const { return mySecond; }
    TAxis& XAxis() { return myFirst.XAxis(); }
    TAxis& YAxis() { return myFirst.YAxis(); }

    bool rangeCheck = false;

private:
    TRealArray myFirst;
    TRealArray mySecond;
    bool myPolar = false;
};

} // namespace ksn
