// One run: refusals, engine and step selection, the forward sweep and the reflection
// passes of bidirectional runs, step timing and progress.
#include "control/SimulationDriver.h"

#include "config/FloatText.h"
#include "config/Messages.h"
#include "control/RunChecks.h"
#include "pool/PTimer.h"
#include "numerics/GeneralError.h"

#include <cassert>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <thread>

namespace ksn {

namespace {

int Parity(int v) { return ((v % 2) + 2) % 2; }

// v mod m in 0 ... m-1, without the overflow of (v % m + m) for m near 2^31.
int Modulo(int v, int m) { return int(((std::int64_t(v) % m) + m) % m); }

} // namespace

struct TSimulationDriver::TLevel {
    TComplex meanN;
    bool homogeneous = false;
    const TComplexArray* slice = nullptr;
};

std::uint64_t TSimulationDriver::MemoryBudget() const
{
    return myMemoryBudget > 0 ? myMemoryBudget : MemoryBudgetBytes();
}

const TFieldOptionsArr& TSimulationDriver::RunWaves() const
{
    return myIncident && myIncident->Waves().size() == myConfig.waves.size() ? myIncident->Waves() : myConfig.waves;
}

const TLayerParmsVec& TSimulationDriver::RunLayers() const
{
    return myScene ? myScene->Layers() : myConfig.layers;
}

bool TSimulationDriver::CanRun()
{
    const TScopedMessageSink scope(myObserver);
    if (!myLoaded) {
        ShowMessage("Please load .ini File.");
        return false;
    }
    return CheckRunnable();
}

// A run must not start on a configuration that would crash it, exhaust the memory or
// compute garbage; every reason is shown, then the warnings of a run that may start.
bool TSimulationDriver::CheckRunnable()
{
    const TGridParms& g = myConfig.grid;
    const auto refuse = [](const std::string& why) {
        ShowMessage("Cannot start simulation. " + why);
        return false;
    };
    // The grid was checked at load (GridFault); the scene's levels are the run's steps.
    if (myConfig.layers.empty() || !myScene)
        return refuse("The scene has no layer (layernum must be at least 1).");
    if (myScene->GetEndLevel(-1) != g.nz || myScene->GetNz() != g.nz)
        return refuse("The scene holds " + std::to_string(myScene->GetEndLevel(-1)) + " levels but the grid " +
                      std::to_string(g.nz) + " slices.");
    if (!myIncident || myConfig.waves.empty())
        return refuse("There is no incident field (wavenum must be at least 1 and the method known).");

    const std::vector<std::string> faults = PhysicsFaults(myConfig.global, g, RunWaves(), RunLayers());
    for (const std::string& fault : faults)
        refuse(fault);
    if (!faults.empty())
        return false;
    const std::string fieldFault = IncidentFieldFault(*myIncident, RunWaves());
    if (!fieldFault.empty())
        return refuse(fieldFault);

    const std::string memory =
        MemoryRefusal(EstimateRunMemory(myConfig.global, g, myRunOutputs), MemoryBudget(), myConfig.global, g);
    if (!memory.empty())
        return refuse(memory);

    // Every level of a built scene is checked now; large-scene levels as the sweep
    // computes them (CheckLevel).
    // A build already found sound (the previous run's) is not scanned again.
    myLevelsChecked = !myScene->IsLargeScene();
    if (myLevelsChecked && myScene->BuildCount() != mySoundBuild) {
        for (int iz = 0; iz < myScene->GetNz(); ++iz)
            if (const TComplexArray* level = myScene->GetLevel(iz)) {
                const std::string fault = LevelFault(*level, iz);
                if (!fault.empty())
                    return refuse(fault);
            }
        mySoundBuild = myScene->BuildCount();
    }
    for (const std::string& warning : GainWarnings(RunLayers()))
        Log(warning);
    return true;
}

bool TSimulationDriver::CheckLevel(int iz)
{
    if (myLevelsChecked)
        return true; // every level was checked before the run
    const TLevel level = FetchLevel(iz);
    const std::string fault = level.slice ? LevelFault(*level.slice, iz) : std::string();
    if (fault.empty())
        return true;
    ShowMessage("Simulation ended. " + fault);
    myLevelFault = true;
    return false;
}

TSimulationDriver::TLevel TSimulationDriver::FetchLevel(int iz)
{
    // Order matters in large-scene mode: the mean computes the level, the flag reads it.
    TLevel level;
    level.meanN = myScene->GetLevelMeanN(iz);
    level.homogeneous = myScene->IsHomogLevel(iz);
    level.slice = myScene->GetLevel(iz);
    return level;
}

TStepInput TSimulationDriver::StepInput(int from, int to)
{
    const TLevel a = FetchLevel(from);
    const TLevel b = FetchLevel(to);
    TStepInput in;
    in.previousSlice = a.slice;
    in.previousRefN = a.meanN;
    in.currentSlice = b.slice;
    in.currentRefN = b.meanN;
    in.homogeneousPair = a.homogeneous && b.homogeneous;
    in.grid = &myConfig.grid;
    return in;
}

void TSimulationDriver::Propagate(const TPropagationStep& step, std::uint8_t report, int from, int to,
    TFieldRef& output, TField* forward, TField* backward, bool continuesLastStep)
{
    TStepInput in = StepInput(from, to);
    in.report = report;
    in.forward = forward;
    in.backward = backward;
    in.continuesLastStep = continuesLastStep;
    step(in, output);
}

void TSimulationDriver::Reflect(const TReflectionStep& step, int from, int to, TFieldRef& reflected, TField* forward)
{
    TStepInput in = StepInput(from, to);
    in.forward = forward;
    step(in, reflected);
}

bool TSimulationDriver::ReferenceChanges(int a, int b)
{
    return myScene->GetLevelMeanN(a).re != myScene->GetLevelMeanN(b).re;
}

void TSimulationDriver::RecordStepTime(TExtended t, int z)
{
    if (myStats.minStepMs == 0)
        myStats.minStepMs = t;
    if (t > myStats.maxStepMs) {
        myStats.maxStepMs = t;
        myStats.maxStepSlice = z;
    } else if (t < myStats.minStepMs) {
        myStats.minStepMs = t;
        myStats.minStepSlice = z;
    }
    if (z >= 0 && z < int(myStats.stepMs.size()))
        myStats.stepMs[size_t(z)] = t;
    myStats.lastStepMs = t;
    myStats.lastSlice = z;
}

void TSimulationDriver::RecycleStore()
{
    myRecycled.clear();
    const TGridParms& g = myConfig.grid;
    const bool vector = !IsScalarMethod(myConfig.global.simMethod);
    for (TFieldRef& f : myForwardStore) {
        if (!f || f.use_count() != 1 || f->IsVector() != vector || f->GetXSize() != g.nx || f->GetYSize() != g.ny)
            continue;
        const TGridParms& h = f->Grid();
        if (h.dx == g.dx && h.dy == g.dy && h.dz == g.dz && h.scaleFactor == g.scaleFactor)
            myRecycled.push_back(std::move(f));
    }
    myForwardStore.clear();
}

TFieldRef TSimulationDriver::RecycledField()
{
    if (myRecycled.empty())
        return nullptr;
    TFieldRef f = std::move(myRecycled.back());
    myRecycled.pop_back();
    return f;
}

bool TSimulationDriver::Run()
{
    const TScopedMessageSink scope(myObserver);
    return RunInScope();
}

bool TSimulationDriver::RunInScope()
{
    myStopped = false;
    myLevelFault = false;
    if (!myLoaded) {
        ShowMessage("Please load .ini File.");
        return false;
    }
    const TGlobalParms& global = myConfig.global;
    // A grid edited since the scene was built takes effect now, never under a built scene.
    if (myScene && !(myScene->Grid() == myConfig.grid) && !LoadScene(false))
        return false;
    if (!CheckRunnable())
        return false;

    // Multithreaded without a thread count means every processor; the steps then spread
    // their work over that many threads (one when the machine has one).
    const int threads = !global.multithreaded ? 1
                        : global.threadCount >= 1 ? global.threadCount
                                                  : int(std::max(1u, std::thread::hardware_concurrency()));
    // The engine outlives the run, so that the next run (a series, a repeated Start) finds
    // its threads started, its buffers touched and its coefficient tables filled; the
    // tables are keyed by grid, wavelength, slice thickness and the index values
    // themselves, so they stay right whatever the next run loads.
    if (!myEngine || myEngineThreads != threads) {
        myEngine.reset();
        myEngine = threads >= 2 ? std::make_unique<TBrelWaveOptics>(threads) : std::make_unique<TBrelWaveOptics>();
        myEngineThreads = threads;
    }
    TBrelWaveOptics& engine = *myEngine;
    engine.SetSummation(mySummation);
    engine.SetTeamMinPoints(myTeamMinPoints);
    // The coefficient tables are the one part of a run outside the memory estimate: they
    // may take a quarter of what the budget leaves (1 GiB where the budget is unknown).
    const std::uint64_t budget = MemoryBudget();
    const std::uint64_t estimate = EstimateRunMemory(global, myConfig.grid, myRunOutputs).Total();
    engine.SetCoefficientBudget(
        budget == 0 ? std::size_t(1) << 30 : budget > estimate ? std::size_t((budget - estimate) / 4) : 0);
    TPropagationStep prop = myPropOverride ? myPropOverride : engine.GetPropFunc(global);
    if (!prop)
        throw EGeneralError("Cannot start simulation. Function pointer \"propFunc\" not assigned!");
    TReflectionStep refl = myReflOverride ? myReflOverride : engine.GetReflFunc(global);
    if (!refl && global.bidirectional)
        throw EGeneralError("Cannot start simulation. Function pointer \"reflFunc\" not assigned!");

    myScene->SetLargeScene(global.largeScene);
    RecycleStore();
    myBackwardStore.clear();
    myBackFieldStore.clear();

    // Store entry k holds slice k*m. Modulo tracking with modulus 1 (or a modulus below
    // 1, which the reader already turns into 1) stores every slice and allows every
    // reflection, exactly as tracking off. These are facts of this run, not records.
    mySliceCount = myScene->GetNz();
    myTrackingActive = global.moduloTracking && global.modulus > 1;
    myStoreModulus = myTrackingActive ? global.modulus : 1;
    // ceil(N / m) in 64 bits: N + m - 1 overflows 32 bits for a modulus near 2^31.
    const int trackedSlices = int((std::int64_t(mySliceCount) + myStoreModulus - 1) / myStoreModulus);
    myForwardStore.assign(size_t(trackedSlices), nullptr);
    myMapped.assign(size_t(trackedSlices), 0);
    int passes = 0;
    if (global.bidirectional) {
        myBackwardStore.assign(size_t(trackedSlices), nullptr);
        // A single slice has no interface to reflect at.
        passes = mySliceCount > 1 ? std::max(0, global.reflections) : 0;
        if (passes > 0)
            myBackFieldStore.assign(size_t(trackedSlices), nullptr);
    }

    Log("Simulation Started.");
    myStats = TRunStatistics{};
    myResultsNonFinite = false;
    myResultsNonZero = false;
    myStats.stepMs.assign(size_t(mySliceCount), 0);
    TPerfTimer timer;
    timer.Start();

    {
        // The engine's threads serve the maps while the run lasts.
        struct TTeamScope {
            TWorkTeam*& team;
            ~TTeamScope() { team = nullptr; }
        } scope{myRunTeam};
        myRunTeam = engine.TeamFor(myConfig.grid.nx, myConfig.grid.ny);
        RunSweeps(prop, refl, passes, engine);
        myRecycled.clear();
        myStopRequested.store(false, std::memory_order_relaxed);
        if (myLevelFault) {
            myForwardStore.clear();
            myBackwardStore.clear();
            myBackFieldStore.clear();
            myMapped.clear();
            return false;
        }
        if (myStopped) {
            // Keep the entries of the slices done; a stop in a reflection pass keeps them all.
            size_t done = 0;
            while (done < myForwardStore.size() && myForwardStore[done])
                ++done;
            myForwardStore.resize(done);
            myMapped.resize(done);
            myBackwardStore.clear();
        }
        ComputeMaps();
    }
    myTotalAbsorption = 0;
    for (const auto& f : myForwardStore)
        if (f)
            myTotalAbsorption += f->GetAbsorption();
    myStats.overallMs = timer.Elapsed() * 1000.0L;
    if (myStopped) {
        std::string text = "Simulation stopped at slice " + std::to_string(myStoppedSlice) + " of " +
                           std::to_string(mySliceCount);
        if (myStoppedPass > 0)
            text += " in reflection pass " + std::to_string(myStoppedPass) + " of " + std::to_string(passes);
        Log(text + ".");
    }
    WriteReport();
    return CheckResults();
}

bool TSimulationDriver::StopAfterStep(int z, int pass, int /*passes*/)
{
    if (!StopRequested())
        return false;
    myStopped = true;
    myStoppedSlice = z;
    myStoppedPass = pass;
    return true;
}

// The sweeps. W[z mod 2] receives the field of slice z and W[(z-d) mod 2] holds the
// neighbour it came from; T is a temporary of the backward passes. Pass 0 runs forward
// over every slice, pass 1 backward from N-1 to 1, pass 2 forward from 1, and so on.
void TSimulationDriver::RunSweeps(
    const TPropagationStep& prop, const TReflectionStep& refl, int passes, TBrelWaveOptics& engine)
{
    const int N = mySliceCount;
    const int m = myStoreModulus;
    const bool bidirectional = myConfig.global.bidirectional;
    TFieldRef W[2];
    TFieldRef T;
    int p = 0, d = +1, z = 0;
    while (p <= passes) {
        const int k = z / m;
        const bool stored = z % m == 0;
        const int r = myTrackingActive ? z / m : z - d;
        const bool reflectionAllowed = !myTrackingActive || Modulo(z - d, m) == 1;
        const bool sweepStart = (z == 0 && d == +1) || (z == N - 1 && d == -1);
        const bool sweepEnd = (z == N - 1 && d == +1) || (z == 1 && d == -1);
        const std::uint8_t report = myScene->GetLevelReport(z) ? 1 : 0;
        assert(k >= 0 && k < int(myForwardStore.size()));

        if (p == 0) {
            if (!CheckLevel(z))
                break;
            if (!W[Parity(z)])
                W[Parity(z)] = RecycledField();
            // The maps of a stored slice are written whole right after the step.
            if (stored && !bidirectional && W[Parity(z)])
                W[Parity(z)]->SkipNextMapClear();
            if (z == 0)
                Propagate(prop, report, 0, 0, W[0], myIncident.get(), nullptr);
            else // the previous step's output and current level, which only the maps have read since
                Propagate(prop, report, z - 1, z, W[Parity(z)], W[Parity(z - 1)].get(), nullptr, true);
            if (stored) {
                myForwardStore[size_t(k)] = W[Parity(z)];
                // Nothing changes a stored field after pass 0 unless reflections are propagated.
                if (!bidirectional)
                    ComputeSliceMaps(size_t(k), true);
            }
            if (bidirectional && z > 0 && reflectionAllowed && r >= 0 && r < int(myBackwardStore.size()) &&
                ReferenceChanges(z - 1, z))
                Reflect(refl, z - 1, z, myBackwardStore[size_t(r)], W[Parity(z - 1)].get());
            // A stored field now belongs to the store; an unstored one is reused as output.
            if (z > 0 && (z - 1) % m == 0)
                W[Parity(z - 1)].reset();
        } else if (d == -1) {
            TFieldRef& from = W[Parity(z + 1)];
            TFieldRef& reflected = myBackwardStore[size_t(k)];
            // The backward field this pass leaves at a stored slice (kept for the user).
            TFieldRef left;
            if (from) {
                Propagate(prop, report, z + 1, z, T, nullptr, from.get());
                if (stored && T) {
                    if (reflected)
                        T->Accum(*reflected);
                    if (myForwardStore[size_t(k)])
                        myForwardStore[size_t(k)]->Accum(*T);
                    left = T;
                }
                if (T)
                    Propagate(prop, report, z, z, W[Parity(z)], T.get(), nullptr);
            } else if (stored && reflected) {
                if (myForwardStore[size_t(k)])
                    myForwardStore[size_t(k)]->Accum(*reflected);
                left = reflected;
                Propagate(prop, report, z, z, W[Parity(z)], reflected.get(), nullptr);
            }
            if (left && k < int(myBackFieldStore.size()))
                myBackFieldStore[size_t(k)] = std::move(left);
        } else if (stored) {
            TFieldRef& reflected = myBackwardStore[size_t(k)];
            if (W[Parity(z - 1)])
                Propagate(prop, report, z - 1, z, W[Parity(z)], W[Parity(z - 1)].get(), reflected.get());
            else if (reflected)
                Propagate(prop, report, z, z, W[Parity(z)], reflected.get(), nullptr);
            if (W[Parity(z)] && myForwardStore[size_t(k)])
                myForwardStore[size_t(k)]->Accum(*W[Parity(z)]);
        }

        if (p > 0 && reflectionAllowed && !sweepStart && W[Parity(z - d)] && p < passes && r >= 0 &&
            r < int(myBackwardStore.size()) && ReferenceChanges(z - d, z))
            Reflect(refl, z - d, z, myBackwardStore[size_t(r)], W[Parity(z - d)].get());

        // End of the step: timing, progress, the display hand-over, then a stop request.
        RecordStepTime(myStepTimeOverride ? myStepTimeOverride() : engine.GetStepTime(), z);
        SliceProgress(z, N);
        if (myObserver && W[Parity(z)])
            myObserver->SliceComputed(z, p, *W[Parity(z)], *myScene);
        if (StopAfterStep(z, p, passes))
            break;
        if (sweepEnd) {
            const int dOld = d;
            d = -d;
            ++p;
            W[Parity(z - dOld)].reset();
            W[Parity(z)].reset(); // a stored field lives on in the store
        } else {
            z += d;
        }
        if (bidirectional && stored && k < int(myBackwardStore.size()))
            myBackwardStore[size_t(k)].reset();
        T.reset();
    }
}

} // namespace ksn
