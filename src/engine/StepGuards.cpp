#include "engine/StepGuards.h"

#include "field/ScalarEField.h"
#include "field/VectorEField.h"
#include "numerics/GeneralError.h"

#include <cmath>

namespace ksn::stepguard {

namespace {

bool Finite(TComplex v) { return std::isfinite(v.re) && std::isfinite(v.im); }

bool AllFinite(const TComplexArray& a)
{
    const double* re = a.Re();
    const double* im = a.Im();
    const int count = a.Count();
    for (int k = 0; k < count; ++k)
        if (!std::isfinite(re[k]) || !std::isfinite(im[k]))
            return false;
    return true;
}

} // namespace

TVectorEField* Vector(TField* field, const std::string& where)
{
    if (!field)
        return nullptr;
    auto* vector = dynamic_cast<TVectorEField*>(field);
    if (!vector)
        throw EGeneralError("Error in " + where + ". Vector field expected.");
    return vector;
}

TScalarEField* Scalar(TField* field, const std::string& where)
{
    if (!field)
        return nullptr;
    auto* scalar = dynamic_cast<TScalarEField*>(field);
    if (!scalar)
        throw EGeneralError("Error in " + where + ". Scalar field expected.");
    return scalar;
}

void CheckFieldGrid(const TField* field, const TGridParms& grid, const std::string& where)
{
    if (field && (field->GetXSize() != grid.nx || field->GetYSize() != grid.ny))
        throw EGeneralError("Error in " + where + ". Field does not match the grid.");
}

void CheckSlices(const TStepInput& in, const std::string& where)
{
    if (!in.grid)
        throw EGeneralError("Error in " + where + ". Called function with unassigned grid.");
    if (!in.previousSlice || !in.currentSlice)
        throw EGeneralError("Error in " + where + ". Called function with unassigned index slice.");
    for (const TComplexArray* s : {in.previousSlice, in.currentSlice})
        if (s->Nx() != in.grid->nx || s->Ny() != in.grid->ny || s->IsPolar())
            throw EGeneralError("Error in " + where + ". Index slice does not match the grid.");
    if (!AllFinite(*in.previousSlice) || !AllFinite(*in.currentSlice))
        throw EGeneralError("Error in " + where + ". Index slice holds a non-finite value.");
    if (!Finite(in.previousRefN) || !Finite(in.currentRefN))
        throw EGeneralError("Error in " + where + ". Reference index is not finite.");
}

void CheckNotInput(const TFieldRef& output, const TStepInput& in, const std::string& where)
{
    if (output && (output.get() == in.forward || output.get() == in.backward))
        throw EGeneralError("Error in " + where + ". Output field is an input field.");
}

TSpectralInputs::TSpectralInputs(TField* a, TField* b) : myA(a), myB(b)
{
    if (myA)
        myA->Fourier(+1);
    if (myB)
        myB->Fourier(+1);
}

TSpectralInputs::~TSpectralInputs()
{
    if (myA)
        myA->Fourier(-1);
    if (myB)
        myB->Fourier(-1);
}

} // namespace ksn::stepguard
