#include "field/Field.h"

#include "config/ConfigText.h"
#include "config/Messages.h"
#include "numerics/FastFourier.h"
#include "numerics/FFT12.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <utility>

namespace ksn {

namespace {

// Longest wave or variation list accepted: far beyond any configuration, small enough
// that a wild index cannot exhaust memory while the list grows to it.
constexpr long long kMaxListEntries = 1 << 16;

bool IsWaveParm(TParms p)
{
    switch (p) {
    case TParms::lambda:
    case TParms::theta:
    case TParms::rho:
    case TParms::psi:
    case TParms::delta:
    case TParms::amplitude:
    case TParms::sigmaX:
    case TParms::sigmaY:
        return true;
    default:
        return false;
    }
}

// The field of a wave record that a wave parameter names.
double* WaveField(TFieldOptions& w, TParms p)
{
    switch (p) {
    case TParms::lambda: return &w.lambda;
    case TParms::theta: return &w.theta;
    case TParms::rho: return &w.rho;
    case TParms::psi: return &w.psi;
    case TParms::delta: return &w.delta;
    case TParms::amplitude: return &w.amplitude;
    case TParms::sigmaX: return &w.sigmaX;
    case TParms::sigmaY: return &w.sigmaY;
    default: return nullptr;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------
// Construction

TField::TField(const TGridParms& grid) : myGrid(grid)
{
    SetGridSize(grid.nx, grid.ny);
    myIntensity = myAbsorption = myEnergyFlux = 0.0;
    myAmplitudeSum = 0.0L;
    ComputeElements();
}

TField::TField(const TGridParms& grid, const TFieldOptions& options) : myGrid(grid)
{
    myIntensity = myAbsorption = myEnergyFlux = 0.0;
    myAmplitudeSum = 0.0L;
    myLambda = double(grid.ToMetres(options.lambda));
    ComputeElements();
    SetGridSize(grid.nx, grid.ny);
    myWaves.assign(1, options);
}

TField::TField(const TField& source)
    : myIntensity(source.myIntensity), myAbsorption(source.myAbsorption), myEnergyFlux(source.myEnergyFlux),
      myGrid(source.myGrid), myAmplitudeSum(source.myAmplitudeSum)
{
    ComputeElements();
    myIntensityArr = std::make_unique<TRealArray>();
    myAbsorptionArr = std::make_unique<TComplexArray>();
    myEFluxArr = std::make_unique<TComplexArray>();
    if (source.myIntensityArr)
        myIntensityArr->Assign(*source.myIntensityArr);
    if (source.myAbsorptionArr)
        myAbsorptionArr->Assign(*source.myAbsorptionArr);
    if (source.myEFluxArr)
        myEFluxArr->Assign(*source.myEFluxArr);
    myFluxZero.store(source.myFluxZero.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

TField::~TField() = default;

// Area element dA = dx dy in metres; a one-dimensional slice (dy = 0 or dx = 0) takes
// the line element of its one axis. Volume element dV = dA dz.
void TField::ComputeElements()
{
    const TExtended dx = myGrid.ToMetres(myGrid.dx);
    const TExtended dy = myGrid.ToMetres(myGrid.dy);
    if (myGrid.dx != 0.0 && myGrid.dy != 0.0)
        myDA = dx * dy;
    else if (myGrid.dx != 0.0)
        myDA = dx;
    else
        myDA = dy;
    myDV = myDA * myGrid.ToMetres(myGrid.dz);
}

void TField::SetGridSize(int nx, int ny)
{
    myIntensityArr = std::make_unique<TRealArray>(nx, ny);
    myAbsorptionArr = std::make_unique<TComplexArray>(nx, ny);
    myEFluxArr = std::make_unique<TComplexArray>(nx, ny);
    myFluxZero.store(true, std::memory_order_relaxed);
    mySkipMapClear = false;
    ResetTotals();
}

void TField::ResetTotals()
{
    myIntensity = myAbsorption = 0.0;
    std::lock_guard<std::mutex> lock(myFluxMutex);
    myEnergyFlux = 0.0;
}

// The variation counter is not field data: a regenerated field keeps its place in the
// series.
void TField::ClearField() { ClearBesideOutputs(false); }

void TField::ClearBesideOutputs(bool fluxWritten)
{
    myIntensity = myAbsorption = 0.0;
    {
        std::lock_guard<std::mutex> lock(myFluxMutex);
        myEnergyFlux = 0.0;
    }
    if (!mySkipMapClear) {
        if (myIntensityArr)
            myIntensityArr->Fill(0.0);
        if (myAbsorptionArr)
            myAbsorptionArr->Fill({0.0, 0.0});
    }
    mySkipMapClear = false;
    if (fluxWritten) {
        myFluxZero.store(false, std::memory_order_relaxed);
        return;
    }
    if (myEFluxArr && !myFluxZero.load(std::memory_order_relaxed))
        myEFluxArr->Fill({0.0, 0.0});
    myFluxZero.store(true, std::memory_order_relaxed);
}

bool TField::CanTransform(int nx, int ny, int sign) const
{
    if ((sign == 1 || sign == -1) && nx >= 1 && ny >= 1 && IsPowerOfTwo(nx) && IsPowerOfTwo(ny))
        return true;
    ShowMessage("TField.Fourier :: Cannot FFT TComplexArray.");
    return false;
}

void TField::Fourier(int sign)
{
    if (!myEFluxArr || !CanTransform(myEFluxArr->Nx(), myEFluxArr->Ny(), sign))
        return;
    myFluxZero.store(false, std::memory_order_relaxed);
    FastCentredFFT(*myEFluxArr, sign);
}

void TField::Accum(const TField& other)
{
    if (!myAbsorptionArr || !other.myAbsorptionArr)
        return;
    TComplexArray& mine = *myAbsorptionArr;
    const TComplexArray& theirs = *other.myAbsorptionArr;
    if (mine.Nx() != theirs.Nx() || mine.Ny() != theirs.Ny())
        return; // fields of different grids do not accumulate
    double* re = mine.Re();
    double* im = mine.Im();
    const double* ore = theirs.Re();
    const double* oim = theirs.Im();
    const size_t count = size_t(mine.Count());
    // absorption(p) += other absorption(p), element by element
    for (size_t k = 0; k < count; ++k) {
        re[k] += ore[k];
        im[k] += oim[k];
    }
}

void TField::CopyWaveQuantities(const TField& from)
{
    myLambda = from.myLambda;
    myAmplitudeSum = from.myAmplitudeSum;
}

// ---------------------------------------------------------------------------------------
// Per-pixel maps

double TField::GetI(int x, int y)
{
    const TRealArray& a = *myIntensityArr;
    if (x < 0 || y < 0 || x >= a.Nx() || y >= a.Ny()) {
        ShowMessage("Error in GetI(const x, y : Integer). Index out of range.");
        return 0.0;
    }
    return a.At(x, y);
}

void TField::SetI(int x, int y, double value)
{
    TRealArray& a = *myIntensityArr;
    if (x < 0 || y < 0 || x >= a.Nx() || y >= a.Ny()) {
        ShowMessage("Error in TField.SetI(const x, y : Integer; const C : Double). Index out of range.");
        return;
    }
    a.At(x, y) = value;
}

double TField::GetEFlux(int x, int y)
{
    const TComplexArray& a = *myEFluxArr;
    if (x < 0 || y < 0 || x >= a.Nx() || y >= a.Ny()) {
        ShowMessage("Error in TField.GetEFlux(const x, y : Integer). Index out of range.");
        return 0.0;
    }
    return a.At(x, y).re;
}

double TField::GetAbsorp(int x, int y)
{
    const TComplexArray& a = *myAbsorptionArr;
    if (x < 0 || y < 0 || x >= a.Nx() || y >= a.Ny()) {
        ShowMessage("Error in TField.GetAbsorp(const x, y : Integer). Index out of range.");
        return 0.0;
    }
    return a.At(x, y).re;
}

namespace {

// The pixels that a (possibly negative) index pair names: a negative x takes the whole
// row y, a negative y the whole column x, both negative the whole map. False when a
// non-negative index lies outside the map.
bool PixelRange(int x, int y, int nx, int ny, int& x0, int& x1, int& y0, int& y1)
{
    if (x >= nx || y >= ny)
        return false;
    x0 = x < 0 ? 0 : x;
    x1 = x < 0 ? nx : x + 1;
    y0 = y < 0 ? 0 : y;
    y1 = y < 0 ? ny : y + 1;
    return true;
}

} // namespace

void TField::SetEFlux(int x, int y, TExtended f)
{
    TComplexArray& a = EnergyFluxMap();
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    if (!PixelRange(x, y, a.Nx(), a.Ny(), x0, x1, y0, y1)) {
        ShowMessage("Error in TField.SetEFlux(const x, y : Integer; const f : Extended). Index out of range.");
        return;
    }
    const TComplex v{double(f), 0.0};
    for (int iy = y0; iy < y1; ++iy)
        for (int ix = x0; ix < x1; ++ix)
            a.SetAt(ix, iy, v);
}

void TField::SetAbsorp(int x, int y, TExtended absorp)
{
    TComplexArray& a = *myAbsorptionArr;
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    if (!PixelRange(x, y, a.Nx(), a.Ny(), x0, x1, y0, y1)) {
        ShowMessage("Error in TField.SetAbsorp(const x, y : Integer; const Absorp : Extended). Index out of range.");
        return;
    }
    if (x >= 0 && y >= 0) {
        a.SetAt(x, y, {double(absorp), 0.0});
        return;
    }
    // A row, a column or the whole map accumulates the value.
    for (int iy = y0; iy < y1; ++iy)
        for (int ix = x0; ix < x1; ++ix) {
            const TComplex old = a.At(ix, iy);
            a.SetAt(ix, iy, {double(old.re + absorp), old.im});
        }
}

// ---------------------------------------------------------------------------------------
// Totals

void TField::SetIntensity(double value)
{
    if (!std::isfinite(value)) {
        ShowMessage("Error in TField.SetIntensity(const I : Double). Cannot set value.");
        return;
    }
    myIntensity = value;
}

void TField::SetAbsorption(double value)
{
    if (!std::isfinite(value)) {
        ShowMessage("Error in TField.SetAbsorption(const A : Double). Cannot set value.");
        return;
    }
    myAbsorption = value;
}

void TField::SetEnergyFlux(double value)
{
    if (!std::isfinite(value)) {
        ShowMessage("Error in TField.SetEnergyFlux(const E : Double). Cannot set value.");
        return;
    }
    myEnergyFlux = value;
}

void TField::AddEnergyFlux(TExtended value)
{
    // Pooled steps add their partial sums from several workers; the lock keeps every one.
    std::lock_guard<std::mutex> lock(myFluxMutex);
    myEnergyFlux = double(myEnergyFlux + value);
}

// ---------------------------------------------------------------------------------------
// Wave list

void TField::Replace(unsigned i, const TFieldOptions& options)
{
    if (i >= kMaxListEntries) {
        ShowMessage("Error in procedure TField.Replace(const i : Cardinal; const fieldOptions : TFieldOptions). "
                    "Cannot Replace TFieldOptions.");
        return;
    }
    if (myWaves.size() <= i)
        myWaves.resize(size_t(i) + 1);
    myWaves[i] = options;
}

std::string TField::WaveText() const
{
    std::string text;
    for (size_t i = 0; i < myWaves.size(); ++i)
        text += WaveSectionText(int(i), myWaves[i]);
    return text;
}

// ---------------------------------------------------------------------------------------
// Wave-parameter variation

void TField::SetParm(int i, const TParmsVariation& entry)
{
    if (i < 0 || i >= kMaxListEntries) {
        ShowMessage("Error in procedure TField.SetParm(const i : Integer; const parmsVariation : TParmsVariation). "
                    "Invalid index.");
        return;
    }
    myVariation.Replace(i, entry);
}

bool TField::SetXParm(int i)
{
    if (myVariation.Size() < 2 || i == 0)
        return true;
    if (i < 0 || i >= myVariation.Size()) {
        ShowMessage("Error in procedure TField.SetXParm(const i : Integer). Cannot move entry for XParm.");
        return false;
    }
    myVariation.Swap(0, i);
    return true;
}

bool TField::SetYParm(int i)
{
    if (myVariation.Size() < 2 || i == 1)
        return true;
    if (i < 0 || i >= myVariation.Size()) {
        ShowMessage("Error in procedure TField.SetYParm(const i : Integer). Cannot move entry for YParm.");
        return false;
    }
    myVariation.Swap(1, i);
    return true;
}

bool TField::GetXParm(TParmsVariation& out) const
{
    if (myVariation.Size() == 0) {
        ShowMessage("Error in function TField.GetXParm() : TParmsVariation. Invalid index or empty structure.");
        return false;
    }
    out = myVariation.Entry(0);
    return true;
}

bool TField::GetYParm(TParmsVariation& out) const
{
    if (myVariation.Size() == 0) {
        ShowMessage("Error in function TField.GetYParm() : TParmsVariation. Invalid index or empty structure.");
        return false;
    }
    out = myVariation.Entry(myVariation.Size() > 1 ? 1 : 0);
    return true;
}

bool TField::setConfig(int i, int j, bool reset)
{
    if (i < 0 || i >= myVariation.Size()) {
        ShowMessage("Error in function TField.setConfig(const i,j : Integer) : Boolean. Invalid index.");
        return true;
    }
    const TParmsVariation& v = myVariation.Entry(i);
    if (!IsWaveParm(v.parm)) {
        ShowMessage("Error in function TField.setConfig(const i,j : Integer) : Boolean. Unknown parmType.");
        return true;
    }
    if (v.num < 0 || size_t(v.num) >= myWaves.size()) {
        ShowMessage("Error in function TField.setConfig(const i,j : Integer) : Boolean. Invalid wave index.");
        return true;
    }
    TFieldOptions& wave = myWaves[size_t(v.num)];
    bool result = true;
    if (reset)
        myVariation.ResetWheel(i);
    else
        result = myVariation.Turn(i, j);
    // Wave parameters are real: the real part of first + k*delta.
    *WaveField(wave, v.parm) = myVariation.Value(i).re;
    if (v.parm == TParms::lambda)
        myLambda = double(myGrid.ToMetres(wave.lambda));
    return result;
}

bool TField::StepVariation()
{
    if (myVariation.Step([this](int i) { return setConfig(i, 1, false); }))
        return true;
    if (myVariation.Size() > 0)
        ResetVariation();
    return false;
}

void TField::ResetVariation()
{
    myVariation.Reset();
    myIntensity = myAbsorption = 0.0;
    {
        std::lock_guard<std::mutex> lock(myFluxMutex);
        myEnergyFlux = 0.0;
    }
    for (int i = 0; i < myVariation.Size(); ++i)
        if (TVariationOdometer::IsActive(myVariation.Entry(i)))
            setConfig(i, 0, true);
}

} // namespace ksn
