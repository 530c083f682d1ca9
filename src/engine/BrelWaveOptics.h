#pragma once
// The propagation engine. The run loop creates one engine per run, asks it once for the
// propagation step (and, for bidirectional runs, the reflection step) of the configured
// method, then calls the step once per slice with the index slices on both sides of
// the step, the grid and the fields. The engine owns no field: it reads the fields it
// is given and fills the output field the caller passes by reference (creating it when
// empty). After every step the caller reads the step's duration.
//
// The bound steps capture this engine: it must outlive them. A step reads everything of
// its slice step from one TStepInput (Steps.h).
//
// An engine made with a thread count of 2 or more keeps that many threads (a work team,
// pool/WorkTeam.h) for its whole life, the run, and every wave-propagation step and
// reflection spreads its transforms, coefficient tables, direct points and gathers over
// them (SpectralSum.h); results do not depend on the thread count. Starting threads for
// every step would cost more than a small grid's whole step.
#include "config/Records.h"
#include "pool/PTimer.h"
#include "engine/IndexTuples.h"
#include "engine/PointSum.h"
#include "engine/SpectralGrid.h"
#include "engine/SpectralSum.h"
#include "engine/StepSelection.h"
#include "engine/Steps.h"
#include "field/Field.h"
#include "pool/WorkTeam.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ksn {

class TScalarEField;
class TVectorEField;

class TBrelWaveOptics {
public:
    // Single-threaded engine: thread count 0.
    TBrelWaveOptics();
    // Multithreaded when threadCount >= 2; a negative count throws EGeneralError.
    explicit TBrelWaveOptics(std::int32_t threadCount);
    ~TBrelWaveOptics();
    TBrelWaveOptics(const TBrelWaveOptics&) = delete;
    TBrelWaveOptics& operator=(const TBrelWaveOptics&) = delete;

    // The propagation step of global.simMethod bound to this engine, or an empty
    // callable when the method has none (or none in this build). Takes global.extraModes.
    TPropagationStep GetPropFunc(const TGlobalParms& global);
    // The reflection step of the method bound to this engine, or an empty callable.
    TReflectionStep GetReflFunc(const TGlobalParms& global);
    // Duration of the last step, milliseconds.
    TExtended GetStepTime() const { return myStepTime; }

    // How the point-by-point sums are evaluated (automatic by default).
    void SetSummation(TSummation summation) { mySummation = summation; }
    TSummation GetSummation() const { return mySummation; }

    // Memory the per-tuple coefficient tables may hold (bytes); the least recently used
    // table goes first beyond it.
    void SetCoefficientBudget(std::size_t bytes) { mySum.SetCacheBudget(bytes); }
    const TCoefficientCache& CoefficientCache() const { return mySum.Cache(); }
    // Distinct index tuples of the last step (what its inverse transforms are counted by).
    std::int32_t GetLastTupleCount() const { return myTuples.Count(); }

    bool IsMultithreaded() const { return myMultithreaded; }
    // The threads of a multithreaded engine (null otherwise), for the run loop's own
    // per-slice work between steps.
    TWorkTeam* WorkTeam() { return myTeam.get(); }
    // Grids below this many points run their steps on the calling thread even on a
    // multithreaded engine: handing a step's stages from core to core costs more there
    // than it saves (two threads measured 1.6 to 1.8 times slower than one on 64 x 64
    // and 1024 x 1 steps). The run loop applies it; an engine alone uses its team on
    // every grid.
    static constexpr std::int64_t kSmallGridPoints = 128 * 128;
    void SetTeamMinPoints(std::int64_t points) { myTeamMinPoints = points; }
    // The team a step on an nx x ny grid works with (null: the calling thread alone).
    TWorkTeam* TeamFor(int nx, int ny)
    {
        return std::int64_t(nx) * std::int64_t(ny) >= myTeamMinPoints ? myTeam.get() : nullptr;
    }
    std::int32_t GetThreadCount() const { return myThreadCount; }
    std::int32_t GetExtraModes() const { return myExtraModes; }

    // nk/dk + extra modes >= |k|/dk: k is carried when within the index circle nk
    // widened by the engine's extra modes (spectral steps of size dk).
    bool InModeRange(double nk, double dk, double k) const;

    // The scalar wave-propagation method (method swpm) and its hybrid with a spectral
    // path for homogeneous slice pairs (method swpmh).
    void PropagateSWPM(const TStepInput& in, TFieldRef& output);
    void PropagateSWPMH(const TStepInput& in, TFieldRef& output);

    // The beam-propagation methods: split-step propagation in the slices' reference
    // media with a real-space phase-and-extinction screen (vbpmf, vbpm vector; sbpm
    // scalar), and their reflection steps at the reference-index interface.
    void PropagateVBPMF(const TStepInput& in, TFieldRef& output);
    void PropagateVBPMFAllComplex(const TStepInput& in, TFieldRef& output);
    void PropagateVBPM(const TStepInput& in, TFieldRef& output);
    void PropagateVBPMAllComplex(const TStepInput& in, TFieldRef& output);
    void PropagateSBPM(const TStepInput& in, TFieldRef& output);
    void ReflectVBPM(const TStepInput& in, TFieldRef& reflected);
    void ReflectVBPMAllComplex(const TStepInput& in, TFieldRef& reflected);
    void ReflectSBPM(const TStepInput& in, TFieldRef& reflected);

    // Reflection steps of the wave-propagation methods (Fresnel coefficients point by
    // point from the two index slices) and the pooled vector forms.
    void ReflectSWPM(const TStepInput& in, TFieldRef& reflected);
    void ReflectVWPM(const TStepInput& in, TFieldRef& reflected);
    void ReflectVWPMAllComplex(const TStepInput& in, TFieldRef& reflected);
    void MT_nextVWR(const TStepInput& in, TFieldRef& reflected);
    void MT_nextVWRAllComplex(const TStepInput& in, TFieldRef& reflected);

    // The vector wave-propagation method (method vwpm) and its hybrid with a spectral path
    // for homogeneous slice pairs (method vwpmh), each with an all-complex form.
    void PropagateVWPM(const TStepInput& in, TFieldRef& output);
    void PropagateVWPMAllComplex(const TStepInput& in, TFieldRef& output);
    void PropagateVWPMH(const TStepInput& in, TFieldRef& output);
    void PropagateVWPMHAllComplex(const TStepInput& in, TFieldRef& output);
    // Their pooled forms, selected for a multithreaded engine: the same steps on the
    // engine's threads, the same results; given neither field they still produce a
    // cleared output and a step time.
    void PropagateVWPMMT(const TStepInput& in, TFieldRef& output);
    void PropagateVWPMMTAllComplex(const TStepInput& in, TFieldRef& output);
    void PropagateVWPMHMT(const TStepInput& in, TFieldRef& output);
    void PropagateVWPMHMTAllComplex(const TStepInput& in, TFieldRef& output);

private:
    // Which vector step runs: its name for messages, all-complex or not, hybrid or not,
    // pooled form or not.
    struct TVectorForm {
        const char* where;
        bool allComplex;
        bool hybrid;
        bool pooled;
    };
    // Checks, output field, wave quantities and spectral grid of a vector step; the
    // input fields (vector fields or null) in forward/backward. Null output: nothing to do.
    // `stale`: with an input, a reused output's components and flux map are left for the
    // sum to overwrite.
    TVectorEField* BeginVectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output,
                                   TVectorEField*& forward, TVectorEField*& backward, bool& stale);
    // The sum of a vector step with at least one input: fields, flux map and total flux.
    void SumVectorStep(const TVectorForm& form, const TStepInput& in, TVectorEField* forward,
                       TVectorEField* backward, TVectorEField& output, bool stale);
    void VectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output);

    // One scalar step: the point-by-point sum, or the spectral path when `spectral`.
    void ScalarStep(const char* where, bool spectral, const TStepInput& in, TFieldRef& output);
    void StoreStepTime();

    // Beam propagation (BeamPropagation.cpp) and reflection (BeamReflection.cpp).
    void VectorBeamStep(const char* where, bool localFresnel, bool allComplex, const TStepInput& in,
                        TFieldRef& output);
    void VectorBeamReflection(const char* where, bool allComplex, const TStepInput& in, TFieldRef& reflected);

    // Wave-propagation reflection (WPMReflection.cpp), single-threaded and pooled forms.
    // Checks a vector reflection step's inputs (a forward field required), sets up the
    // spectral grid and the index tuples (one for the whole grid on the spectral path).
    TVectorEField* CheckVectorReflection(const std::string& caller, bool allComplex, bool spectral,
                                         const TStepInput& in, const TFieldRef& reflected);
    // Adds the reflection of `forward` to `reflected`.
    void SumVectorReflection(bool allComplex, bool spectral, const TStepInput& in, TVectorEField& forward,
                             TVectorEField& reflected);
    void PooledReflection(const char* where, bool allComplex, const TStepInput& in, TFieldRef& reflected);

    bool myMultithreaded = false;
    std::int32_t myThreadCount = 0;
    TExtended myStepTime = 0.0L;
    std::int32_t myExtraModes = 0;
    std::unique_ptr<TPerfTimer> myTimer;

    // Summation machinery, reused from step to step.
    TSummation mySummation = TSummation::automatic;
    TSpectralGrid mySpectral;
    TIndexTuples myTuples;
    TSpectralSum mySum;
    // The output of the last scalar step whose input spectrum mySum kept for the next.
    const TField* myCarriedOutput = nullptr;
    // The workers of every step when the engine runs multithreaded (null otherwise).
    std::unique_ptr<TWorkTeam> myTeam;
    std::int64_t myTeamMinPoints = 0;
};

} // namespace ksn
