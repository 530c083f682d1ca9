#pragma once
// The spectral grid of one wave-propagation step: vacuum wave number, physical
// spacings, and the tables of transverse wave numbers and point coordinates.
//
//   k0 = 2 pi / lambda                                    (lambda in metres)
//   dX = dx in metres (TGridParms::ToMetres), likewise dY, dZ
//   Lx = nx dX if nx >= 2, else 1; likewise Ly
//   kx(j) = (j - nx/2) 2 pi / Lx, j = 0 .. nx-1, nx/2 a real quotient; kx = 0 if nx < 2
//   x(c)  = (c - nx/2) dX,        c = 0 .. nx-1            (origin at the grid centre)
//
// The field's centred transform is the modulated FFT  X(j) = (-1)^j FFT((-1)^c f)(j).
// The true centred sum  F(j) = sum_c f(c) e^{-i kx(j) x(c)}  equals  s X(j)  with
// s = (-1)^(nx/2) for even nx and s = 1 for nx = 1, i.e. s = -1 only for nx = 2 (the
// lengths are powers of two). CentredSign() is the product of both axes' s: multiplying
// a spectrum by it turns the transform's output into the true centred spectrum.
#include "config/Records.h"
#include "numerics/Complex.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksn {

class TSpectralGrid {
public:
    // Tabulates the grid of the run (checked at load, GridFault); `where` names the
    // calling step in the error text. Throws EGeneralError for a wavelength that is not
    // positive and finite.
    void Setup(const TGridParms& grid, double lambdaMetres, const std::string& where);

    int Nx() const { return myNx; }
    int Ny() const { return myNy; }
    std::int32_t Count() const { return myCount; }
    int XShift() const { return myXShift; } // log2(nx): point p = c + (r << XShift())
    int Log2Count() const { return myXShift + myYShift; }
    double CentredSign() const { return myCentredSign; }

    TExtended K0() const { return myK0; }
    TExtended DX() const { return myDX; }
    TExtended DY() const { return myDY; }
    TExtended DZ() const { return myDZ; }
    TExtended Lx() const { return myLx; }
    TExtended Ly() const { return myLy; }
    TExtended DKx() const { return myDKx; } // 2 pi / Lx
    TExtended DKy() const { return myDKy; }

    const TExtended* Kx() const { return myKx.data(); }
    const TExtended* Ky() const { return myKy.data(); }
    const TExtended* X() const { return myX.data(); }
    const TExtended* Y() const { return myY.data(); }

private:
    int myNx = 0, myNy = 0, myXShift = 0, myYShift = 0;
    std::int32_t myCount = 0;
    double myCentredSign = 1.0;
    TExtended myK0 = 0, myDX = 0, myDY = 0, myDZ = 0, myLx = 1, myLy = 1, myDKx = 0, myDKy = 0;
    std::vector<TExtended> myKx, myKy, myX, myY;
    TExtended myTabulatedDX = -1, myTabulatedDY = -1; // spacings the tables were made for
};

// 2 pi as the 80-bit constant of the step formulas.
constexpr TExtended kTwoPi = 6.283185307179586477L;

} // namespace ksn
