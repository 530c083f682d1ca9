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
// pool/WorkTeam.h) for its whole life, the run, and every grouped step spreads its
// transforms, coefficient tables and gathers over them (SpectralSum.h); results do not
// depend on the thread count. Starting threads for every step would cost more than a
// small grid's whole step.
#include "config/Records.h"
#include "pool/PTimer.h"
#include "engine/IndexTuples.h"
#include "engine/PointSum.h"
#include "engine/SpectralTransform.h"
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
class TWorkPool;
struct TVectorWork;

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
    // Their pooled forms: the same results, the work spread over a TWorkPool of the
    // engine's thread count (at least one thread).
    void PropagateVWPMMT(const TStepInput& in, TFieldRef& output);
    void PropagateVWPMMTAllComplex(const TStepInput& in, TFieldRef& output);
    void PropagateVWPMHMT(const TStepInput& in, TFieldRef& output);
    void PropagateVWPMHMTAllComplex(const TStepInput& in, TFieldRef& output);

    // The step input a pooled step has published to its workers; null outside one.
    const TStepInput* GetPublishedInput() const { return myStepInput; }
    // Pooled steps give their workers output rows when nx <= ny/2, else columns.
    static bool PoolsByRows(int nx, int ny) { return double(nx) <= double(ny) / 2.0; }

private:
    // Which vector step runs: its name for messages, all-complex or not, hybrid or not.
    struct TVectorForm {
        const char* where;
        bool allComplex;
        bool hybrid;
    };
    // Checks, output field, wave quantities and spectral grid of a vector step; the
    // input fields (vector fields or null) in forward/backward. Null output: nothing to do.
    TVectorEField* BeginVectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output,
                                   TVectorEField*& forward, TVectorEField*& backward);
    // Rules, plane waves and index tuples of a vector step whose inputs are spectral.
    void PrepareVectorSums(const TVectorForm& form, const TStepInput& in, TVectorEField* forward,
                           TVectorEField* backward, TVectorEField& output);
    // The spectral path's finish: unpropagated Ez into the zero frequency, inverse
    // transform of the output (on the pool when one is given), the uniform flux map and
    // its total.
    void FinishSpectralPath(TVectorEField& output, bool byRows, TWorkPool* pool);
    void VectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output);
    void PooledVectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output);
    // Pooled workers, reading the published step: output row r (column c) on the point
    // path, spectral row r (column c) on the spectral path.
    void VectorRowWorker(std::int32_t r);
    void VectorColumnWorker(std::int32_t c);
    void VectorLineWorker(std::int32_t line, bool byRows);

    // One scalar step: the point-by-point sum, or the spectral path when `spectral`.
    void ScalarStep(const char* where, bool spectral, const TStepInput& in, TFieldRef& output);
    void StoreStepTime();

    // Beam propagation (BeamPropagation.cpp) and reflection (BeamReflection.cpp).
    void VectorBeamStep(const char* where, bool localFresnel, bool allComplex, const TStepInput& in,
                        TFieldRef& output);
    void VectorBeamReflection(const char* where, bool allComplex, const TStepInput& in, TFieldRef& reflected);

    // Wave-propagation reflection (WPMReflection.cpp) and its pooled form
    // (ReflectionPooled.cpp): the plane waves and index tuples of one step.
    // Checks a vector reflection step's inputs (a forward field required), sets up the
    // spectral grid and, for the point path, the index tuples.
    TVectorEField* CheckVectorReflection(const std::string& caller, bool allComplex, bool spectral,
                                         const TStepInput& in, const TFieldRef& reflected);
    // The plane waves of the forward spectrum a vector reflection carries.
    void CollectReflectionWaves(bool allComplex, bool spectral, const TVectorEField& forward);
    void PooledReflection(const char* where, bool allComplex, const TStepInput& in, TFieldRef& reflected);
    void ReflectionLine(bool row, std::int32_t index);
    void ReflectionRowWorker(std::int32_t r);
    void ReflectionColumnWorker(std::int32_t c);
    void ReflectionRowWorkerAllComplex(std::int32_t r);
    void ReflectionColumnWorkerAllComplex(std::int32_t c);

    bool myMultithreaded = false;
    std::int32_t myThreadCount = 0;
    TExtended myStepTime = 0.0L;
    std::int32_t myExtraModes = 0;
    std::unique_ptr<TPerfTimer> myTimer;

    // Summation machinery, reused from step to step.
    TSummation mySummation = TSummation::automatic;
    TSpectralGrid mySpectral;
    TIndexTuples myTuples;
    TSumScratch myScratch;
    std::vector<TPlaneWave> myWaves;

    // Published for the workers of a pooled reflection step, null outside it.
    const TStepInput* myReflectionInput = nullptr;
    TVectorEField* myReflectedField = nullptr;
    bool myReflectionAllComplex = false;
    bool myReflectionSpectral = false; // homogeneous pair: workers write spectral values
    TSumTargets myReflectionTargets;
    TInverseTransform2D myLineTransform;

    // Published by a pooled step for its workers, reset to null when its pool has finished.
    const TStepInput* myStepInput = nullptr;
    TVectorEField* myStepOutput = nullptr;
    std::unique_ptr<TVectorWork> myVectorWork;
    TSpectralSum mySum;
    // The workers of every step when the engine runs multithreaded (null otherwise).
    std::unique_ptr<TWorkTeam> myTeam;
};

} // namespace ksn
