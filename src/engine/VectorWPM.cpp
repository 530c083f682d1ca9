// The single-threaded vector wave-propagation steps of TBrelWaveOptics (methods vwpm and
// vwpmh, with their all-complex forms) and the preparation they share with the pooled
// forms (VectorWPMPooled.cpp).
//
// The input field is decomposed into plane waves by the centred forward transform of each
// component; every plane wave is carried to every output point with the local indices
// there (VectorWPMRule.h) and the contributions are summed point by point (PointSum.h):
//
//   E'_m(x, y) = sum_w L_m(w; n1, n2) e^{i (kx x + ky y + phi)} + sum_w G_m(w; n1, n2),
//   flux(x, y) = sum_w f(w; n1, n2),          total flux = sum over the points,
//   amplitudes A_w = s X(j, i) / N,
//
// X being the transform's output and s its centred sign (SpectralGrid.h).
//
// The hybrid steps take the spectral path when both slices are homogeneous: the same
// rule at the tuple of point (0, 0), written at each plane wave's spectral index of the
// output, then one inverse transform. Terms without lateral phase are the same at every
// point of such a slice: their sum goes to the zero frequency (Ez), and the flux map is
// the uniform per-point sum, written after the inverse transform, with total N times it.
// So the spectral path gives what the point path gives for the same slices, flux included.
#include "engine/BrelWaveOptics.h"
#include "engine/SpectralScope.h"
#include "engine/VectorWPMWork.h"
#include "field/VectorEField.h"
#include "numerics/GeneralError.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ksn {

namespace {

TVectorEField* AsVector(TField* field, const std::string& where)
{
    if (!field)
        return nullptr;
    auto* vector = dynamic_cast<TVectorEField*>(field);
    if (!vector)
        throw EGeneralError("Error in " + where + ". Vector field expected.");
    return vector;
}

void CheckSize(const TVectorEField* field, const TGridParms& grid, const std::string& where)
{
    if (field && (field->GetXSize() != grid.nx || field->GetYSize() != grid.ny))
        throw EGeneralError("Error in " + where + ". Field does not match the grid.");
}

bool IsFinite(TComplex n) { return std::isfinite(n.re) && std::isfinite(n.im); }

} // namespace

void TBrelWaveOptics::PropagateVWPM(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPM", false, false}, in, output);
}

void TBrelWaveOptics::PropagateVWPMAllComplex(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMAllComplex", true, false}, in, output);
}

void TBrelWaveOptics::PropagateVWPMH(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMH", false, true}, in, output);
}

void TBrelWaveOptics::PropagateVWPMHAllComplex(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMHAllComplex", true, true}, in, output);
}

TVectorEField* TBrelWaveOptics::BeginVectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output,
                                                TVectorEField*& forward, TVectorEField*& backward)
{
    const std::string where(form.where);
    // Everything is checked before any field is touched.
    forward = AsVector(in.forward, where);
    backward = AsVector(in.backward, where);
    if (!in.grid)
        throw EGeneralError("Error in " + where + ". Called function with unassigned grid.");
    const TGridParms& grid = *in.grid;
    if (!in.previousSlice || !in.currentSlice)
        throw EGeneralError("Error in " + where + ". Called function with unassigned index slice.");
    const TComplexArray& previous = *in.previousSlice;
    const TComplexArray& current = *in.currentSlice;
    if (previous.Nx() != grid.nx || previous.Ny() != grid.ny || current.Nx() != grid.nx || current.Ny() != grid.ny ||
        previous.IsPolar() || current.IsPolar())
        throw EGeneralError("Error in " + where + ". Index slice does not match the grid.");
    CheckSize(forward, grid, where);
    CheckSize(backward, grid, where);
    if (output && (output.get() == in.forward || output.get() == in.backward))
        throw EGeneralError("Error in " + where + ". Output field is an input field.");
    TVectorEField* out = AsVector(output.get(), where);
    CheckSize(out, grid, where);

    const TField* source = forward ? static_cast<TField*>(forward) : static_cast<TField*>(backward);
    if (source) {
        mySpectral.Setup(grid, source->GetLambda(), where);
        const bool spectral = form.hybrid && in.homogeneousPair;
        if (!spectral) {
            const TIndexParts parts = form.allComplex ? TVectorWPMAllComplexRule::kParts : TVectorWPMRule::kParts;
            myTuples.Build(previous, current, grid.nx, grid.ny, parts, where);
        } else if (!IsFinite(previous.At(0, 0)) || !IsFinite(current.At(0, 0))) {
            throw EGeneralError("Error in " + where + ". Index slice holds a non-finite value.");
        }
    }

    if (!output) {
        auto created = std::make_shared<TVectorEField>(grid);
        out = created.get();
        output = std::move(created);
    } else {
        out->ClearField();
    }
    if (source)
        out->CopyWaveQuantities(*source);
    return out;
}

void TBrelWaveOptics::PrepareVectorSums(const TVectorForm& form, const TStepInput& in, TVectorEField* forward,
                                        TVectorEField* backward, TVectorEField& output)
{
    if (!myVectorWork)
        myVectorWork = std::make_unique<TVectorWork>();
    TVectorWork& work = *myVectorWork;
    const TGridParms& grid = *in.grid;
    work.allComplex = form.allComplex;
    work.spectral = form.hybrid && in.homogeneousPair;
    work.byRows = PoolsByRows(grid.nx, grid.ny);
    const TStepMode mode = in.Mode();
    const TExtended k0 = mySpectral.K0();
    work.rule = TVectorWPMRule{k0, mySpectral.DZ(), mode, grid.evanescent, &output};
    work.complexRule = TVectorWPMAllComplexRule{k0,   mySpectral.DZ(), mySpectral.DKx(), mySpectral.DKy(),
                                                myExtraModes, mode, &output};

    const TComplexArray* forwardSpectrum[3] = {forward ? &forward->EX() : nullptr,
                                               forward ? &forward->EY() : nullptr,
                                               forward ? &forward->EZ() : nullptr};
    const TComplexArray* backwardSpectrum[3] = {backward ? &backward->EX() : nullptr,
                                                backward ? &backward->EY() : nullptr,
                                                backward ? &backward->EZ() : nullptr};
    const double scale = mySpectral.CentredSign() / double(mySpectral.Count());
    if (form.allComplex) {
        // Plane waves below the sampling limit of each axis: kx < pi/dx, ky < pi/dy; the
        // z components of the inputs are not read.
        const TExtended dx = mySpectral.DX(), dy = mySpectral.DY();
        const auto keep = [dx, dy](TExtended kx, TExtended ky, TExtended) {
            constexpr TExtended pi = kTwoPi / 2.0L;
            return !(dx != 0.0L && kx >= pi / dx) && !(dy != 0.0L && ky >= pi / dy);
        };
        CollectPlaneWaves(mySpectral, forward ? forwardSpectrum : nullptr, backward ? backwardSpectrum : nullptr, 2, 2,
                          scale, keep, myWaves);
    } else {
        const auto keep = [](TExtended, TExtended, TExtended) { return true; };
        CollectPlaneWaves(mySpectral, forward ? forwardSpectrum : nullptr, backward ? backwardSpectrum : nullptr, 3, 2,
                          scale, keep, myWaves);
    }

    if (work.spectral) {
        const TIndexParts parts = form.allComplex ? TVectorWPMAllComplexRule::kParts : TVectorWPMRule::kParts;
        work.spectralTuple = TIndexTuples::Reduce(in.previousSlice->At(0, 0), in.currentSlice->At(0, 0), parts);
        work.waveAt.assign(size_t(mySpectral.Count()), -1);
        for (size_t w = 0; w < myWaves.size(); ++w)
            work.waveAt[size_t(myWaves[w].index)] = std::int32_t(w);
        work.lineLocals.assign(size_t(std::max(grid.nx, grid.ny)) * kMaxLocals, TComplexOf<TExtended>{});
    }
}

void TBrelWaveOptics::FinishSpectralPath(TVectorEField& output, bool byRows, TWorkPool* pool)
{
    TVectorWork& work = *myVectorWork;
    const int lines = byRows ? mySpectral.Ny() : mySpectral.Nx();
    const int localEz = work.allComplex ? TVectorWPMAllComplexRule::kLocalEz : TVectorWPMRule::kLocalEz;
    const int localFlux = work.allComplex ? TVectorWPMAllComplexRule::kLocalFlux : TVectorWPMRule::kLocalFlux;
    TComplexOf<TExtended> ez, flux;
    for (int line = 0; line < lines; ++line) {
        const TComplexOf<TExtended>* locals = work.lineLocals.data() + size_t(line) * kMaxLocals;
        if (localEz >= 0)
            ez = ez + locals[localEz];
        flux = flux + locals[localFlux];
    }
    // A term c added at every point is N s c at the zero frequency of the centred spectrum.
    const int j0 = mySpectral.Nx() / 2, i0 = mySpectral.Ny() / 2;
    const TExtended toSpectrum = TExtended(mySpectral.Count()) * TExtended(mySpectral.CentredSign());
    const TComplex dc = output.EZ().At(j0, i0);
    output.EZ().SetAt(j0, i0, {double(dc.re + toSpectrum * ez.re), double(dc.im + toSpectrum * ez.im)});
    if (pool)
        PooledTransform(*pool, {&output.EX(), &output.EY(), &output.EZ(), &output.EnergyFluxMap()}, -1);
    else
        output.Fourier(-1);
    // The flux map is a real-space map: uniform across a homogeneous slice.
    output.EnergyFluxMap().Fill({double(flux.re), 0.0});
    output.SetEnergyFlux(double(TExtended(mySpectral.Count()) * flux.re));
}

void TBrelWaveOptics::VectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output)
{
    myTimer->Start();
    if (!in.forward && !in.backward)
        return;
    TVectorEField* forward = nullptr;
    TVectorEField* backward = nullptr;
    TVectorEField* out = BeginVectorStep(form, in, output, forward, backward);
    {
        // The inputs are spectral inside this block and spatial again after it.
        const TSpectralScope inputs(forward, backward);
        PrepareVectorSums(form, in, forward, backward, *out);
        TVectorWork& work = *myVectorWork;
        if (work.spectral) {
            TComplexArray* spectra[3] = {&out->EX(), &out->EY(), &out->EZ()};
            for (int i = 0; i < mySpectral.Ny(); ++i) {
                TComplexOf<TExtended>* locals = work.lineLocals.data() + size_t(i) * kMaxLocals;
                if (work.allComplex)
                    SpectralLine(work.complexRule, mySpectral, myWaves, work.waveAt, work.spectralTuple, true, i,
                                 spectra, locals);
                else
                    SpectralLine(work.rule, mySpectral, myWaves, work.waveAt, work.spectralTuple, true, i, spectra,
                                 locals);
            }
            FinishSpectralPath(*out, true, nullptr);
        } else {
            TComplexArray& flux = out->EnergyFluxMap();
            if (work.allComplex)
                RunPointSum(work.complexRule, mySummation, mySpectral, myWaves, myTuples, myScratch,
                            VectorTargets<TVectorWPMAllComplexRule>(out->EX(), out->EY(), out->EZ(), flux));
            else
                RunPointSum(work.rule, mySummation, mySpectral, myWaves, myTuples, myScratch,
                            VectorTargets<TVectorWPMRule>(out->EX(), out->EY(), out->EZ(), flux));
            out->SetEnergyFlux(double(TotalFlux(flux)));
        }
    }
    StoreStepTime();
}

} // namespace ksn
