#include "engine/SpectralGrid.h"

#include "numerics/FFT12.h"
#include "numerics/GeneralError.h"

#include <cassert>
#include <cmath>
#include <cstdint>

namespace ksn {

namespace {

int Log2(int n)
{
    int s = 0;
    while ((1 << s) < n)
        ++s;
    return s;
}

// Wave numbers and coordinates of one axis of n points, spacing d (metres).
void Tabulate(int n, TExtended d, TExtended length, std::vector<TExtended>& k, std::vector<TExtended>& x)
{
    k.assign(size_t(n), 0.0L);
    x.assign(size_t(n), 0.0L);
    const TExtended half = TExtended(n) / 2.0L;
    for (int j = 0; j < n; ++j) {
        if (n >= 2)
            k[size_t(j)] = (TExtended(j) - half) * kTwoPi / length;
        x[size_t(j)] = (TExtended(j) - half) * d;
    }
}

} // namespace

void TSpectralGrid::Setup(const TGridParms& grid, double lambdaMetres, const std::string& where)
{
    // The grid was checked when the configuration was loaded (GridFault): power-of-two
    // axes within 32 bits, positive spacings that stay finite in metres.
    assert(IsPowerOfTwo(grid.nx) && IsPowerOfTwo(grid.ny) && (long long)grid.nx * grid.ny <= INT32_MAX);
    if (!std::isfinite(lambdaMetres) || lambdaMetres <= 0.0)
        throw EGeneralError("Error in " + where + ". Invalid wavelength.");

    myNx = grid.nx;
    myNy = grid.ny;
    myCount = std::int32_t(grid.nx) * grid.ny;
    myXShift = Log2(myNx);
    myYShift = Log2(myNy);
    myCentredSign = ((myNx == 2) != (myNy == 2)) ? -1.0 : 1.0;

    myK0 = kTwoPi / TExtended(lambdaMetres);
    myDX = grid.ToMetres(grid.dx);
    myDY = grid.ToMetres(grid.dy);
    myDZ = grid.ToMetres(grid.dz);
    myLx = myNx >= 2 ? TExtended(myNx) * myDX : 1.0L;
    myLy = myNy >= 2 ? TExtended(myNy) * myDY : 1.0L;
    myDKx = kTwoPi / myLx;
    myDKy = kTwoPi / myLy;
    // The tables change only with the grid: a run tabulates them once.
    if (myKx.size() != size_t(myNx) || myTabulatedDX != myDX) {
        Tabulate(myNx, myDX, myLx, myKx, myX);
        myTabulatedDX = myDX;
    }
    if (myKy.size() != size_t(myNy) || myTabulatedDY != myDY) {
        Tabulate(myNy, myDY, myLy, myKy, myY);
        myTabulatedDY = myDY;
    }
}

} // namespace ksn
