#include "engine/SpectralGrid.h"

#include "numerics/FFT12.h"
#include "numerics/GeneralError.h"

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
    const auto prefix = [&where] { return "Error in " + where + ". "; };
    if (!IsPowerOfTwo(grid.nx) || !IsPowerOfTwo(grid.ny))
        throw EGeneralError(prefix() + "Grid size " + std::to_string(grid.nx) + " x " + std::to_string(grid.ny) +
                            " is not a power of two along each axis.");
    const long long count = static_cast<long long>(grid.nx) * grid.ny;
    if (count > INT32_MAX)
        throw EGeneralError(prefix() + "Grid size " + std::to_string(grid.nx) + " x " + std::to_string(grid.ny) +
                            " exceeds 32 bits.");
    if (!std::isfinite(grid.scaleFactor) || grid.scaleFactor <= 0.0 || !std::isfinite(grid.dz) ||
        !std::isfinite(grid.dx) || !std::isfinite(grid.dy) || (grid.nx >= 2 && grid.dx <= 0.0) ||
        (grid.ny >= 2 && grid.dy <= 0.0))
        throw EGeneralError(prefix() + "Invalid grid spacing.");
    if (!std::isfinite(lambdaMetres) || lambdaMetres <= 0.0)
        throw EGeneralError(prefix() + "Invalid wavelength.");

    myNx = grid.nx;
    myNy = grid.ny;
    myCount = std::int32_t(count);
    myXShift = Log2(myNx);
    myYShift = Log2(myNy);
    myCentredSign = ((myNx == 2) != (myNy == 2)) ? -1.0 : 1.0;

    myK0 = kTwoPi / TExtended(lambdaMetres);
    myDX = TExtended(grid.dx) * grid.scaleFactor;
    myDY = TExtended(grid.dy) * grid.scaleFactor;
    myDZ = TExtended(grid.dz) * grid.scaleFactor;
    myLx = myNx >= 2 ? TExtended(myNx) * myDX : 1.0L;
    myLy = myNy >= 2 ? TExtended(myNy) * myDY : 1.0L;
    myDKx = kTwoPi / myLx;
    myDKy = kTwoPi / myLy;
    // Spacings that underflow or overflow in metres would poison every wave number.
    if ((myNx >= 2 && !(myDX > 0.0L)) || (myNy >= 2 && !(myDY > 0.0L)) || !std::isfinite(myLx) ||
        !std::isfinite(myLy) || !std::isfinite(myDZ) || !std::isfinite(myDKx) || !std::isfinite(myDKy))
        throw EGeneralError(prefix() + "Invalid grid spacing.");
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
