#include "field/VectorEField.h"

#include "config/Messages.h"
#include "numerics/FastFourier.h"
#include "field/BeamSetup.h"

#include <string>

namespace ksn {

namespace {

std::string Pixel(const char* head, int x, int y)
{
    return std::string(head) + std::to_string(x) + "," + std::to_string(y) + "]";
}

bool SameSize(const TComplexArray& a, const TComplexArray& b) { return a.Nx() == b.Nx() && a.Ny() == b.Ny(); }

// a(p) += b(p) over two arrays of equal size.
void AddInto(TComplexArray& a, const TComplexArray& b)
{
    double* re = a.Re();
    double* im = a.Im();
    const double* bre = b.Re();
    const double* bim = b.Im();
    const size_t count = size_t(a.Count());
    for (size_t k = 0; k < count; ++k) {
        re[k] += bre[k];
        im[k] += bim[k];
    }
}

} // namespace

TVectorEField::TVectorEField(const TGridParms& grid)
    : TField(grid), myEX(grid.nx, grid.ny), myEY(grid.nx, grid.ny), myEZ(grid.nx, grid.ny)
{
    ResetTotals(); // the arrays are new, hence zero
}

TVectorEField::TVectorEField(const TGridParms& grid, const TFieldOptions& options)
    : TField(grid, options), myEX(grid.nx, grid.ny), myEY(grid.nx, grid.ny), myEZ(grid.nx, grid.ny)
{
    ResetTotals(); // the arrays are new, hence zero
    Generate(grid, options, nullptr, false, "Create");
}

TVectorEField::TVectorEField(const TVectorEField& source)
    : TField(source), myEX(source.myEX), myEY(source.myEY), myEZ(source.myEZ)
{
}

std::unique_ptr<TField> TVectorEField::Clone() const { return std::make_unique<TVectorEField>(*this); }

std::unique_ptr<TField> TVectorEField::CreateEmpty(const TGridParms& grid) const
{
    return std::make_unique<TVectorEField>(grid);
}

// ---------------------------------------------------------------------------------------
// Accessors

TCVec3 TVectorEField::GetEVec(int x, int y)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot get EVec[", x, y));
        return {};
    }
    return {myEX.At(x, y), myEY.At(x, y), myEZ.At(x, y)};
}

void TVectorEField::SetEVec(int x, int y, const TCVec3& e)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot set EVec[", x, y));
        return;
    }
    myEX.SetAt(x, y, e.x);
    myEY.SetAt(x, y, e.y);
    myEZ.SetAt(x, y, e.z);
}

TComplex TVectorEField::GetEX(int x, int y)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot get EX[", x, y));
        return {};
    }
    return myEX.At(x, y);
}

TComplex TVectorEField::GetEY(int x, int y)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot get EY[", x, y));
        return {};
    }
    return myEY.At(x, y);
}

TComplex TVectorEField::GetEZ(int x, int y)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot get Ez[", x, y));
        return {};
    }
    return myEZ.At(x, y);
}

void TVectorEField::SetEX(int x, int y, TComplex v)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot set EX[", x, y));
        return;
    }
    myEX.SetAt(x, y, ZeroAtOrBelowThreshold(v));
}

void TVectorEField::SetEY(int x, int y, TComplex v)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot set Ey[", x, y));
        return;
    }
    myEY.SetAt(x, y, ZeroAtOrBelowThreshold(v));
}

void TVectorEField::SetEZ(int x, int y, TComplex v)
{
    if (!InRange(x, y)) {
        ShowMessage(Pixel("Cannot set EZ[", x, y));
        return;
    }
    myEZ.SetAt(x, y, ZeroAtOrBelowThreshold(v));
}

// ---------------------------------------------------------------------------------------
// Whole-field operations

void TVectorEField::Fourier(int sign)
{
    if (!CanTransform(myEX.Nx(), myEX.Ny(), sign))
        return;
    TField::Fourier(sign);
    FastCentredFFT(myEX, sign);
    FastCentredFFT(myEY, sign);
    FastCentredFFT(myEZ, sign);
}

void TVectorEField::Accum(const TField& other)
{
    TField::Accum(other);
    // Components accumulate only from another vector field, each where the sizes agree.
    const auto* vector = dynamic_cast<const TVectorEField*>(&other);
    if (vector == nullptr)
        return;
    if (SameSize(myEX, vector->myEX))
        AddInto(myEX, vector->myEX);
    if (SameSize(myEY, vector->myEY))
        AddInto(myEY, vector->myEY);
    if (SameSize(myEZ, vector->myEZ))
        AddInto(myEZ, vector->myEZ);
}

void TVectorEField::ClearField()
{
    TField::ClearField();
    myEX.Fill({0.0, 0.0});
    myEY.Fill({0.0, 0.0});
    myEZ.Fill({0.0, 0.0});
}

void TVectorEField::Regenerate(const TComplexArray* index)
{
    if (myEX.Nx() != myGrid.nx || myEX.Ny() != myGrid.ny) {
        myEX = TComplexArray(myGrid.nx, myGrid.ny);
        myEY = TComplexArray(myGrid.nx, myGrid.ny);
        myEZ = TComplexArray(myGrid.nx, myGrid.ny);
    }
    ClearField();
    // The field is rebuilt from its wave list, so the amplitude sum restarts with it.
    myAmplitudeSum = 0.0L;
    for (const TFieldOptions& wave : TFieldOptionsArr(myWaves))
        Generate(myGrid, wave, index, true, "Regenerate");
}

bool TVectorEField::AddBeam(const TGridParms& grid, const TFieldOptions& options, const TComplexArray* index)
{
    return Generate(grid, options, index, true, "AddBeam");
}

} // namespace ksn
