#include "numerics/ComplexArray.h"

#include "numerics/FFT12.h"
#include "numerics/GeneralError.h"

#include <cassert>
#include <cmath>
#include <string>

namespace ksn {

TComplexArray::TComplexArray(int nx, int ny) : myFirst(nx, ny), mySecond(nx, ny) {}

void TComplexArray::SetSize(int dimension, int n)
{
    myFirst.SetSize(dimension, n);
    mySecond.SetSize(dimension, n);
    SetBase(Base());
}

void TComplexArray::SetBase(int base)
{
    myFirst.SetBase(base);
    mySecond.SetBase(base);
}

void TComplexArray::Put(int x, int y, TComplex value)
{
    ToCartesian();
    if (rangeCheck) {
        if (x < Base() || x >= Base() + Nx())
            throw EGeneralError("ComplexArray: Write x beyond range: " + std::to_string(x));
        if (y < Base() || y >= Base() + Ny())
            throw EGeneralError("ComplexArray: Write y beyond range: " + std::to_string(y));
    }
    SetAt(x - Base(), y - Base(), value);
}

TComplex TComplexArray::Get(int x, int y)
{
    ToCartesian();
    assert(x - Base() >= 0 && x - Base() < Nx() && y - Base() >= 0 && y - Base() < Ny());
    return At(x - Base(), y - Base());
}

TRealArray& TComplexArray::Component(int selector)
{
    if (selector < 0 || selector > 3)
        throw EGeneralError("ComplexArray.Component: Invalid selector: " + std::to_string(selector));
    if (selector >= 2) {
        ToPolar();
        return selector == 2 ? myFirst : mySecond;
    }
    ToCartesian();
    return selector == 0 ? myFirst : mySecond;
}

double* TComplexArray::Re()
{
    ToCartesian();
    return myFirst.Data();
}

double* TComplexArray::Im()
{
    ToCartesian();
    return mySecond.Data();
}

void TComplexArray::Assign(const TComplexArray& source)
{
    if (&source == this)
        return;
    myPolar = source.myPolar;
    myFirst.Assign(source.myFirst);
    mySecond.Assign(source.mySecond);
    SetBase(source.Base());
}

void TComplexArray::Fill(TComplex value)
{
    ToCartesian();
    myFirst.Fill(value.re);
    mySecond.Fill(value.im);
}

void TComplexArray::GetColumn(int x, TComplexVector& vector)
{
    if (vector.Base() != Base())
        throw EGeneralError("GetColumn: different base");
    vector.SetLength(Ny());
    for (int y = Base(); y < Base() + Ny(); ++y)
        vector.Put(y, Get(x, y));
}

void TComplexArray::GetRow(int y, TComplexVector& vector)
{
    if (vector.Base() != Base())
        throw EGeneralError("GetColumn: different base");
    vector.SetLength(Nx());
    for (int x = Base(); x < Base() + Nx(); ++x)
        vector.Put(x, Get(x, y));
}

void TComplexArray::ToPolar()
{
    if (myPolar)
        return;
    myPolar = true;
    double* a = myFirst.Data();
    double* b = mySecond.Data();
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        const double re = a[i], im = b[i];
        a[i] = std::hypot(re, im);
        b[i] = PrincipalPhase(re, im);
    }
}

void TComplexArray::ToCartesian()
{
    if (!myPolar)
        return;
    myPolar = false;
    double* a = myFirst.Data();
    double* b = mySecond.Data();
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        const double m = a[i], p = b[i];
        a[i] = m * std::cos(p);
        b[i] = m * std::sin(p);
    }
}

namespace {

// Multiply element (x, y) by (-1)^(mx*x + my*y): the modulation that moves the
// origin of an axis to index N/2 (indices counted from 0). The parity test is hoisted
// out of the inner loop: with mx set a row flips every second element starting at
// x0 = 1 - (my*y mod 2); without it a row flips entirely or not at all.
void Modulate(double* re, double* im, int nx, int ny, bool mx, bool my)
{
    for (int y = 0; y < ny; ++y) {
        const bool oddRow = my && (y & 1);
        double* r = re + size_t(y) * size_t(nx);
        double* i = im + size_t(y) * size_t(nx);
        if (mx) {
            for (int x = oddRow ? 0 : 1; x < nx; x += 2) {
                r[x] = -r[x];
                i[x] = -i[x];
            }
        } else if (oddRow) {
            for (int x = 0; x < nx; ++x) {
                r[x] = -r[x];
                i[x] = -i[x];
            }
        }
    }
}

} // namespace

// Centred transform: with both axes centred,
//   X[k] = sum_j x[j] e^(-sign 2 pi i (j - N/2)(k - N/2)/N)   per axis (N a multiple of 4),
// obtained as (-1)^(x+y) . FFT . (-1)^(x+y); for N = 2 it is the negative of that.
void TComplexArray::FFT(int sign)
{
    const int nx = Nx(), ny = Ny();
    if (nx == 0 || ny == 0) {
        ToCartesian();
        return;
    }
    // Refused before any element changes, so a wrong size leaves the data intact.
    if (!IsPowerOfTwo(nx) || !IsPowerOfTwo(ny))
        throw EGeneralError("ComplexArray.FFT: Size is not a power of two: " + std::to_string(nx) + " x " +
                            std::to_string(ny));
    if (sign != 1 && sign != -1)
        throw EGeneralError("ComplexArray.FFT: Sign must be +1 or -1: " + std::to_string(sign));
    ToCartesian();
    double* re = myFirst.Data();
    double* im = mySecond.Data();
    const bool cx = myFirst.XAxis().centred;
    const bool cy = myFirst.YAxis().centred;

    const auto rows = [&] {
        for (int y = 0; y < ny; ++y)
            FFT1D(re + size_t(y) * size_t(nx), im + size_t(y) * size_t(nx), nx, sign);
    };
    if (cx && cy) {
        // The only case that occurs: one modulation on each side of rows-then-columns.
        Modulate(re, im, nx, ny, true, true);
        rows();
        if (ny > 1)
            FFTColumns(re, im, nx, sign, ny);
        Modulate(re, im, nx, ny, true, true);
        return;
    }
    if (cx)
        Modulate(re, im, nx, ny, true, false);
    rows();
    if (cx)
        Modulate(re, im, nx, ny, true, false);
    if (ny > 1) {
        if (cy)
            Modulate(re, im, nx, ny, false, true);
        FFTColumns(re, im, nx, sign, ny);
        if (cy)
            Modulate(re, im, nx, ny, false, true);
    }
}

} // namespace ksn
