#include "field/ScalarEField.h"

#include "config/Messages.h"
#include "numerics/FastFourier.h"
#include "field/BeamSetup.h"

#include <cmath>
#include <string>

namespace ksn {

namespace {

std::string Pixel(const char* head, int x, int y)
{
    return std::string(head) + std::to_string(x) + "," + std::to_string(y) + "]";
}

constexpr const char* kLostComponents =
    "Attention! Assignment of vector field component to scalar field instance! y- and z-component will be lost!";

} // namespace

TScalarEField::TScalarEField(const TGridParms& grid) : TField(grid), myE(grid.nx, grid.ny)
{
    ResetTotals(); // the arrays are new, hence zero
}

TScalarEField::TScalarEField(const TGridParms& grid, const TFieldOptions& options)
    : TField(grid, options), myE(grid.nx, grid.ny)
{
    ResetTotals(); // the arrays are new, hence zero
    Generate(grid, options, false, "Create");
}

TScalarEField::TScalarEField(const TScalarEField& source) : TField(source), myE(source.myE) {}

std::unique_ptr<TField> TScalarEField::Clone() const { return std::make_unique<TScalarEField>(*this); }

std::unique_ptr<TField> TScalarEField::CreateEmpty(const TGridParms& grid) const
{
    return std::make_unique<TScalarEField>(grid);
}

// ---------------------------------------------------------------------------------------
// Accessors

TComplex TScalarEField::GetE(int x, int y)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot get E[", x, y));
        return {};
    }
    return myE.At(x, y);
}

void TScalarEField::SetE(int x, int y, TComplex v)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot set E[", x, y));
        return;
    }
    myE.SetAt(x, y, v);
}

TCVec3 TScalarEField::GetEVec(int x, int y)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot get EVec[", x, y));
        return {};
    }
    return {myE.At(x, y), {}, {}};
}

void TScalarEField::SetEVec(int x, int y, const TCVec3& e)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot set EVec[", x, y));
        return;
    }
    myE.SetAt(x, y, e.x);
    if (CAbs(e.y) != 0.0L || CAbs(e.z) != 0.0L)
        ShowMessage(kLostComponents);
}

TComplex TScalarEField::GetEY(int x, int y)
{
    if (!InRange(x, y))
        ShowMessage(Pixel("Cannot get EY[", x, y));
    return {};
}

TComplex TScalarEField::GetEZ(int x, int y)
{
    if (!InRange(x, y))
        ShowMessage(Pixel("Cannot get Ez[", x, y));
    return {};
}

void TScalarEField::SetEY(int x, int y, TComplex v)
{
    if (!InRange(x, y))
        ShowMessage(Pixel("Cannot set Ey[", x, y));
    else if (CAbs(v) != 0.0L)
        ShowMessage(kLostComponents);
}

void TScalarEField::SetEZ(int x, int y, TComplex v)
{
    if (!InRange(x, y))
        ShowMessage(Pixel("Cannot set EZ[", x, y));
    else if (CAbs(v) != 0.0L)
        ShowMessage(kLostComponents);
}

// ---------------------------------------------------------------------------------------
// Whole-field operations

void TScalarEField::Fourier(int sign)
{
    if (CanTransform(myE.Nx(), myE.Ny(), sign))
        FastCentredFFT(myE, sign);
}

void TScalarEField::Accum(const TField& other)
{
    // E accumulates; the absorption map of a scalar field is not accumulated.
    const auto* scalar = dynamic_cast<const TScalarEField*>(&other);
    if (scalar == nullptr || scalar->myE.Nx() != myE.Nx() || scalar->myE.Ny() != myE.Ny())
        return;
    double* re = myE.Re();
    double* im = myE.Im();
    const double* ore = scalar->myE.Re();
    const double* oim = scalar->myE.Im();
    const size_t count = size_t(myE.Count());
    // E(p) += E_other(p)
    for (size_t k = 0; k < count; ++k) {
        re[k] += ore[k];
        im[k] += oim[k];
    }
}

void TScalarEField::ClearField()
{
    TField::ClearField();
    myE.Fill({0.0, 0.0});
}

void TScalarEField::Regenerate(const TComplexArray* index)
{
    myE = TComplexArray(myGrid.nx, myGrid.ny);
    // The field is rebuilt from its wave list, so the amplitude sum restarts with it.
    myAmplitudeSum = 0.0L;
    for (const TFieldOptions& wave : TFieldOptionsArr(myWaves))
        AddBeam(myGrid, wave, index);
}

bool TScalarEField::AddBeam(const TGridParms& grid, const TFieldOptions& options, const TComplexArray*)
{
    return Generate(grid, options, true, "AddBeam");
}

// Scalar beam on the grid, pixel (ix, iy) at
//   x = ((ix - (nx-1)/2) dx - shiftX) u,  y = ((iy - (ny-1)/2) dy - shiftY) u,  z = -shiftZ u,
//   E(ix, iy) [+]= a g(x, y) exp(i (kx x + ky y + kz z)),
// with the vacuum wave vector k, the amplitude a of the wave and the envelope
// g = exp(-pi (x^2/(sigmaX u)^2 + y^2/(sigmaY u)^2)) for a Gaussian, 1 otherwise (a scalar
// dirac beam is a plane wave). No index array enters the scalar beam.
bool TScalarEField::Generate(const TGridParms& grid, const TFieldOptions& options, bool add, const char* caller)
{
    const std::string head = std::string("Error in TScalarEField.") + caller + "(). ";
    TBeamSetup s;
    if (!BeginBeam(head, grid, myE, nullptr, options, s))
        return false;
    myAmplitudeSum += options.amplitude;

    const int nx = grid.nx, ny = grid.ny;
    const TExtended cx = (nx - 1) / 2.0L, cy = (ny - 1) / 2.0L;
    const TExtended z = -grid.ToMetres(options.shiftZ);
    const TExtended a = options.amplitude;
    const bool gaussian = options.shape == TBeamShape::gaussian;
    const TExtended pi = 3.141592653589793238462643383279503L;
    double* re = myE.Re();
    double* im = myE.Im();
    for (int iy = 0; iy < ny; ++iy) {
        const TExtended y = grid.ToMetres((iy - cy) * grid.dy - options.shiftY);
        const TExtended gy = gaussian ? y * y * s.invSigmaY2 : 0.0L;
        double* rowRe = re + size_t(iy) * size_t(nx);
        double* rowIm = im + size_t(iy) * size_t(nx);
        for (int ix = 0; ix < nx; ++ix) {
            const TExtended x = grid.ToMetres((ix - cx) * grid.dx - options.shiftX);
            const TExtended g = gaussian ? std::exp(-pi * (x * x * s.invSigmaX2 + gy)) : 1.0L;
            const TExtended phi = s.kx * x + s.ky * y + s.kz * z;
            const TExtended c = a * g;
            const double vr = double(c * std::cos(phi));
            const double vi = double(c * std::sin(phi));
            if (add) {
                rowRe[ix] += vr;
                rowIm[ix] += vi;
            } else {
                rowRe[ix] = vr;
                rowIm[ix] = vi;
            }
        }
    }
    return true;
}

} // namespace ksn
