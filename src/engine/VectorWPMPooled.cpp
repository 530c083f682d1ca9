// The pooled vector wave-propagation steps of TBrelWaveOptics (multithreaded engine):
// PropagateVWPMMT, PropagateVWPMMTAllComplex, PropagateVWPMHMT and
// PropagateVWPMHMTAllComplex compute what their single-threaded forms compute
// (VectorWPM.cpp), with the work spread over a TWorkPool.
//
// The step checks its inputs and prepares the output field, transforms the inputs on the
// pool (one array per work item), collects the plane waves, index tuples and summation
// plan on the calling thread, then publishes its TStepInput and output
// field to the engine's workers and hands the pool one worker and the range of lines:
// output rows when nx <= ny/2, else output columns. A row (column) worker
//  - on the point path sums the plane waves at the direct points of its output line;
//  - on the spectral path (hybrid step, homogeneous pair) carries the plane waves of its
//    spectral line and sums that line's local terms into a partial of its own.
// Grouped tuples are summed on the same pool (PooledPointSum.h). Workers write disjoint
// lines, spectra or points; the total energy flux is summed from the finished flux map
// after the pool, so no addition can be lost and the total does not depend on the thread
// count. The published input and output are reset to null when the pool has finished,
// also when a worker fails.
#include "engine/BrelWaveOptics.h"
#include "engine/VectorWPMWork.h"
#include "field/VectorEField.h"
#include "pool/WorkPool.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace ksn {

namespace {

// The pooled form of TSpectralScope: the components and flux maps of the given fields go
// to the spectral domain on the pool for the lifetime of the scope, one array per work
// item, and come back at its end, also when the step ends with an error.
class TPooledSpectralScope {
public:
    TPooledSpectralScope(TWorkPool& pool, TVectorEField* a, TVectorEField* b) : myPool(pool)
    {
        for (TVectorEField* f : {a, b})
            if (f)
                myArrays.insert(myArrays.end(), {&f->EX(), &f->EY(), &f->EZ(), &f->EnergyFluxMap()});
        try {
            PooledTransform(myPool, myArrays, +1);
        } catch (...) {
            Restore();
            throw;
        }
    }
    ~TPooledSpectralScope() { Restore(); }
    TPooledSpectralScope(const TPooledSpectralScope&) = delete;
    TPooledSpectralScope& operator=(const TPooledSpectralScope&) = delete;

private:
    void Restore() noexcept
    {
        try {
            PooledTransform(myPool, myArrays, -1);
        } catch (...) {
            // Every array has been transformed back (PooledTransform); the step's own error
            // is the one to report.
        }
    }

    TWorkPool& myPool;
    std::vector<TComplexArray*> myArrays;
};

} // namespace

void TBrelWaveOptics::PropagateVWPMMT(const TStepInput& in, TFieldRef& output)
{
    PooledVectorStep({"TBrelWaveOptics.PropagateVWPMMT", false, false}, in, output);
}

void TBrelWaveOptics::PropagateVWPMMTAllComplex(const TStepInput& in, TFieldRef& output)
{
    PooledVectorStep({"TBrelWaveOptics.PropagateVWPMMTAllComplex", true, false}, in, output);
}

void TBrelWaveOptics::PropagateVWPMHMT(const TStepInput& in, TFieldRef& output)
{
    PooledVectorStep({"TBrelWaveOptics.PropagateVWPMHMT", false, true}, in, output);
}

void TBrelWaveOptics::PropagateVWPMHMTAllComplex(const TStepInput& in, TFieldRef& output)
{
    PooledVectorStep({"TBrelWaveOptics.PropagateVWPMHMTAllComplex", true, true}, in, output);
}

void TBrelWaveOptics::PooledVectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output)
{
    myTimer->Start();
    TVectorEField* forward = nullptr;
    TVectorEField* backward = nullptr;
    TVectorEField* out = BeginVectorStep(form, in, output, forward, backward);
    const bool byRows = PoolsByRows(in.grid->nx, in.grid->ny);
    const std::int32_t lines = byRows ? in.grid->ny : in.grid->nx;
    TWorkPool pool(std::max<std::int32_t>(1, myThreadCount));
    const TWorkPool::TWorker worker = byRows ? TWorkPool::TWorker(std::bind_front(&TBrelWaveOptics::VectorRowWorker, this))
                                             : TWorkPool::TWorker(std::bind_front(&TBrelWaveOptics::VectorColumnWorker, this));
    {
        // The inputs are spectral inside this block and spatial again after it.
        const TPooledSpectralScope inputs(pool, forward, backward);
        if (forward || backward)
            PrepareVectorSums(form, in, forward, backward, *out);

        struct TPublication {
            TBrelWaveOptics& engine;
            ~TPublication()
            {
                engine.myStepInput = nullptr;
                engine.myStepOutput = nullptr;
            }
        } publication{*this};
        myStepInput = &in;
        myStepOutput = out;

        if (!forward && !backward) {
            pool.Run(0, lines - 1, worker); // the workers find nothing to carry
        } else if (myVectorWork->spectral) {
            pool.Run(0, lines - 1, worker);
            FinishSpectralPath(*out, byRows, &pool);
        } else {
            TVectorWork& work = *myVectorWork;
            TComplexArray& flux = out->EnergyFluxMap();
            if (!myWaves.empty()) {
                myScratch.Plan(mySummation, myTuples, std::int64_t(myWaves.size()), TVectorWPMRule::kComponents,
                               mySpectral);
                if (!myScratch.DirectPoints().empty()) {
                    LinePoints(myScratch.DirectPoints(), in.grid->nx, in.grid->ny, byRows, work.linePoints);
                    pool.Run(0, lines - 1, worker);
                }
                if (work.allComplex)
                    PooledGroupedSum(pool, byRows, work.complexRule, mySpectral, myWaves, myTuples, myScratch.Grouped(),
                                     work.pooled,
                                     VectorTargets<TVectorWPMAllComplexRule>(out->EX(), out->EY(), out->EZ(), flux));
                else
                    PooledGroupedSum(pool, byRows, work.rule, mySpectral, myWaves, myTuples, myScratch.Grouped(),
                                     work.pooled, VectorTargets<TVectorWPMRule>(out->EX(), out->EY(), out->EZ(), flux));
            }
            out->SetEnergyFlux(double(TotalFlux(flux)));
        }
    }
    StoreStepTime();
}

void TBrelWaveOptics::VectorRowWorker(std::int32_t r) { VectorLineWorker(r, true); }

void TBrelWaveOptics::VectorColumnWorker(std::int32_t c) { VectorLineWorker(c, false); }

void TBrelWaveOptics::VectorLineWorker(std::int32_t line, bool byRows)
{
    const TStepInput* in = myStepInput;
    TVectorEField* out = myStepOutput;
    if (!in || !out || (!in->forward && !in->backward))
        return;
    const TVectorWork& work = *myVectorWork;
    if (work.spectral) {
        TComplexArray* spectra[3] = {&out->EX(), &out->EY(), &out->EZ()};
        TComplexOf<TExtended>* locals = myVectorWork->lineLocals.data() + size_t(line) * kMaxLocals;
        if (work.allComplex)
            SpectralLine(work.complexRule, mySpectral, myWaves, work.waveAt, work.spectralTuple, byRows, line, spectra,
                         locals);
        else
            SpectralLine(work.rule, mySpectral, myWaves, work.waveAt, work.spectralTuple, byRows, line, spectra, locals);
        return;
    }
    const std::vector<std::int32_t>& points = work.linePoints[size_t(line)];
    if (points.empty())
        return;
    TComplexArray& flux = out->EnergyFluxMap();
    if (work.allComplex)
        DirectSum(work.complexRule, mySpectral, myWaves, myTuples, points,
                  VectorTargets<TVectorWPMAllComplexRule>(out->EX(), out->EY(), out->EZ(), flux));
    else
        DirectSum(work.rule, mySpectral, myWaves, myTuples, points,
                  VectorTargets<TVectorWPMRule>(out->EX(), out->EY(), out->EZ(), flux));
}

} // namespace ksn
