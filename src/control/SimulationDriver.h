#pragma once
// The simulation driver: owns the loaded configuration, the scene, the incident field
// and the forward and backward slice stores; loads and builds them, and marches the
// field slice by slice through the scene (with reflection passes for bidirectional
// runs), then computes the intensity and absorption maps and writes the report.
#include "config/Configuration.h"
#include "config/MemoryBudget.h"
#include "control/RunObserver.h"
#include "engine/BrelWaveOptics.h"
#include "engine/Steps.h"
#include "field/Field.h"
#include "scene/BrelScenes.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ksn {

// Timings of one run, milliseconds; slices are slice numbers z.
struct TRunStatistics {
    TExtended overallMs = 0;
    TExtended minStepMs = 0;
    TExtended maxStepMs = 0;
    int minStepSlice = 0;
    int maxStepSlice = 0;
    TExtended lastStepMs = 0;
    int lastSlice = 0;
    std::vector<TExtended> stepMs; // per slice z, the last step time measured there
};

// One point of the z-curves after a run (one per stored slice).
struct TZCurvePoint {
    int slice = 0;
    double z = 0;
    double intensity = 0;
    double absorption = 0;
    double energyFlux = 0; // normalised to stored slice 0 (undivided when that is 0)
};

class TSimulationDriver {
public:
    TSimulationDriver();
    ~TSimulationDriver();
    TSimulationDriver(const TSimulationDriver&) = delete;
    TSimulationDriver& operator=(const TSimulationDriver&) = delete;

    // The observer of this driver's loads and runs (not owned; nullptr: whatever sink
    // the calling thread has installed). Everything the core reports while this driver
    // loads or runs goes to it.
    void SetObserver(TRunObserver* observer) { myObserver = observer; }
    TRunObserver* Observer() const { return myObserver; }

    // Asks the run in progress (or the next one) to stop after its current step. Safe
    // from any thread and from a signal handler. The run keeps what it computed, maps
    // the slices done and reports "Simulation stopped at slice <z> of <N>.".
    void RequestStop() { myStopRequested.store(true, std::memory_order_relaxed); }
    bool StopRequested() const { return myStopRequested.load(std::memory_order_relaxed); }
    // Withdraws a stop request that no run has taken (a series stopped between its runs).
    void ClearStopRequest() { myStopRequested.store(false, std::memory_order_relaxed); }
    // Whether the last run ended on a stop request.
    bool WasStopped() const { return myStopped; }

    // Menu Open: stores the name, reads and builds. False (after "Error. Cannot load
    // file!") when the load fails; on success logs "Done. Loading file <name>".
    bool Open(const std::string& fileName);
    // "Update Scene": rebuilds scene slices and the incident field from the records.
    bool UpdateScene();
    bool LoadScene(bool read);
    bool BuildInput(bool read);

    // Start: one complete run. Returns false when the run is refused (the message has
    // been shown) or ends on a fault: an index level that cannot be propagated through,
    // or results that are not finite. A method without a propagation (or,
    // bidirectional, reflection) step raises EGeneralError with the system's text.
    bool Run();
    // Whether Run would start on what is loaded now: shows every refusal ("Cannot start
    // simulation. <why>") and returns false, or logs the warnings (gain layers) and
    // returns true. Run checks the same before every run, so a variation that steps a
    // value out of range is refused before its run.
    bool CanRun();
    // What the front end writes after a run, counted in the run's memory estimate.
    void SetRunOutputs(const TRunOutputs& outputs) { myRunOutputs = outputs; }
    // The memory a load or run may take; 0 (the default): MemoryBudgetBytes().
    void SetMemoryBudget(std::uint64_t bytes) { myMemoryBudget = bytes; }
    std::uint64_t MemoryBudget() const;

    TConfiguration& Configuration() { return myConfig; }
    const TConfiguration& Configuration() const { return myConfig; }
    bool IsLoaded() const { return myLoaded; }
    void SetSummation(TSummation s) { mySummation = s; }
    // Grids with fewer points run on one thread whatever the thread count
    // (TBrelWaveOptics::kSmallGridPoints by default; 0: always on every thread asked for).
    void SetTeamMinPoints(std::int64_t points) { myTeamMinPoints = points; }
    // Replaces the engine's steps and step-time source (tests count calls with fakes);
    // empty = the engine's own.
    void SetStepOverride(TPropagationStep prop, TReflectionStep refl, std::function<TExtended()> stepTime = {});

    TBrelScenes* Scene() { return myScene.get(); }
    TField* IncidentField() { return myIncident.get(); }
    const std::vector<TFieldRef>& ForwardStore() const { return myForwardStore; }
    // Bidirectional runs with reflections: per stored slice (entries as the forward
    // store), the field that the latest backward pass reaching the slice left there;
    // empty entries where none did. Empty when the run made no backward pass.
    const std::vector<TFieldRef>& BackFieldStore() const { return myBackFieldStore; }
    // Store entry k holds slice k * StoreModulus(). After a stopped run the store holds
    // only the entries of the slices done.
    int StoreModulus() const { return myStoreModulus; }
    int SliceCount() const { return mySliceCount; }
    double TotalAbsorption() const { return myTotalAbsorption; }
    const TRunStatistics& Statistics() const { return myStats; }
    std::vector<TZCurvePoint> ZCurves();

private:
    struct TLevel;
    struct TSweepState;

    // Hands every [parm<N>] record to the field (toField) or the scene: the record to
    // the side of its type, a neutral record to the other.
    void HandVariations(bool toField);
    bool RunInScope();
    bool CheckRunnable();
    // The waves and layers a run uses now: the field's and the scene's own lists, which a
    // variation steps, else the records.
    const TFieldOptionsArr& RunWaves() const;
    const TLayerParmsVec& RunLayers() const;
    // Pass 0: refuses level iz (message shown) when it cannot be propagated through.
    bool CheckLevel(int iz);
    // After the maps: false (message shown) when a stored field is not finite, or zero
    // everywhere although the incident field is not.
    bool CheckResults();
    TLevel FetchLevel(int iz);
    // The published slices of the step from level `from` to level `to`.
    TStepInput StepInput(int from, int to);
    // `continuesLastStep`: this step continues the previous call of `step` (TStepInput).
    void Propagate(const TPropagationStep& step, std::uint8_t report, int from, int to, TFieldRef& output,
        TField* forward, TField* backward, bool continuesLastStep = false);
    void Reflect(const TReflectionStep& step, int from, int to, TFieldRef& reflected, TField* forward);
    bool ReferenceChanges(int a, int b);
    void RunSweeps(const TPropagationStep& prop, const TReflectionStep& refl, int passes, TBrelWaveOptics& engine);
    // Between steps: true when a stop was asked for (the sweep then ends).
    bool StopAfterStep(int z, int pass, int passes);
    void RecordStepTime(TExtended t, int z);
    void ComputeMaps();
    // The maps of store entry k; `mapsAreZero`: the step has just created or cleared them.
    void ComputeSliceMaps(size_t k, bool mapsAreZero);
    // The previous run's stored fields that no one else holds go back into service as
    // step outputs: fresh memory costs page faults, reused memory does not.
    void RecycleStore();
    TFieldRef RecycledField();
    void WriteReport();

    TConfiguration myConfig;
    bool myLoaded = false;
    bool myReaderRefused = false; // the last load failed in the reader, which said so
    TRunObserver* myObserver = nullptr;
    std::atomic<bool> myStopRequested{false};
    bool myStopped = false;
    int myStoppedSlice = 0;
    int myStoppedPass = 0;
    std::unique_ptr<TBrelScenes> myScene;
    std::unique_ptr<TField> myIncident;
    std::vector<TFieldRef> myForwardStore;
    std::vector<TFieldRef> myBackwardStore;
    std::vector<TFieldRef> myBackFieldStore;
    std::vector<char> myMapped;          // per store entry: maps computed
    std::vector<double> myBlockSums;     // partial totals of the maps, per block of points
    std::unique_ptr<TBrelWaveOptics> myEngine; // kept from run to run
    int myEngineThreads = 0;
    TWorkTeam* myRunTeam = nullptr;      // the engine's threads while a run lasts
    std::vector<TFieldRef> myRecycled;   // fields of the previous run, ready for reuse
    TSummation mySummation = TSummation::automatic;
    std::int64_t myTeamMinPoints = TBrelWaveOptics::kSmallGridPoints;
    TPropagationStep myPropOverride;
    TReflectionStep myReflOverride;
    std::function<TExtended()> myStepTimeOverride;
    TRunOutputs myRunOutputs;
    std::uint64_t myMemoryBudget = 0;
    std::uint64_t mySoundBuild = 0;    // the scene build whose levels were all found sound
    bool myLevelsChecked = false;    // every level was checked before the sweep
    bool myLevelFault = false;       // the sweep ended on a level that cannot be propagated
    bool myResultsNonFinite = false; // found by ComputeMaps
    bool myResultsNonZero = false;
    int myStoreModulus = 1;
    bool myTrackingActive = false;
    int mySliceCount = 0;
    double myTotalAbsorption = 0;
    TRunStatistics myStats;
};

} // namespace ksn
