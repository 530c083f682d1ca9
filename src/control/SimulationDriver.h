#pragma once
// The simulation driver: owns the loaded configuration, the scene, the incident field
// and the forward and backward slice stores; loads and builds them, and marches the
// field slice by slice through the scene (with reflection passes for bidirectional
// runs), then computes the intensity and absorption maps and writes the report.
#include "config/Configuration.h"
#include "engine/BrelWaveOptics.h"
#include "engine/Steps.h"
#include "field/Field.h"
#include "scene/BrelScenes.h"

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

    // Menu Open: stores the name, reads and builds. False (after "Error. Cannot load
    // file!") when the load fails; on success logs "Done. Loading file <name>".
    bool Open(const std::string& fileName);
    // "Update Scene": rebuilds scene slices and the incident field from the records.
    bool UpdateScene();
    bool LoadScene(bool read);
    bool BuildInput(bool read);

    // Start: one complete run. Returns false when the run is refused (the message has
    // been shown). A method without a propagation (or, bidirectional, reflection) step
    // raises EGeneralError with the system's text.
    bool Run();

    TConfiguration& Configuration() { return myConfig; }
    const TConfiguration& Configuration() const { return myConfig; }
    bool IsLoaded() const { return myConfig.global.loaded; }
    void SetSummation(TSummation s) { mySummation = s; }
    // Replaces the engine's steps and step-time source (tests count calls with fakes);
    // empty = the engine's own.
    void SetStepOverride(TPropagationStep prop, TReflectionStep refl, std::function<TExtended()> stepTime = {});

    TBrelScenes* Scene() { return myScene.get(); }
    TField* IncidentField() { return myIncident.get(); }
    const std::vector<TFieldRef>& ForwardStore() const { return myForwardStore; }
    // Store entry k holds slice k * StoreModulus().
    int StoreModulus() const { return myStoreModulus; }
    int SliceCount() const { return mySliceCount; }
    double TotalAbsorption() const { return myTotalAbsorption; }
    const TRunStatistics& Statistics() const { return myStats; }
    std::vector<TZCurvePoint> ZCurves();

private:
    struct TLevel;
    struct TSweepState;

    bool CheckRunnable();
    TLevel FetchLevel(int iz);
    // The published slices of the step from level `from` to level `to`.
    TStepInput StepInput(int from, int to);
    void Propagate(const TPropagationStep& step, std::uint8_t report, int from, int to, TFieldRef& output,
        TField* forward, TField* backward);
    void Reflect(const TReflectionStep& step, int from, int to, TFieldRef& reflected, TField* forward);
    bool ReferenceChanges(int a, int b);
    void RunSweeps(const TPropagationStep& prop, const TReflectionStep& refl, int passes, TBrelWaveOptics& engine);
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
    std::unique_ptr<TBrelScenes> myScene;
    std::unique_ptr<TField> myIncident;
    std::vector<TFieldRef> myForwardStore;
    std::vector<TFieldRef> myBackwardStore;
    std::vector<char> myMapped;          // per store entry: maps computed
    std::vector<double> myBlockSums;     // partial totals of the maps, per block of points
    TWorkTeam* myRunTeam = nullptr;      // the engine's threads while a run lasts
    std::vector<TFieldRef> myRecycled;   // fields of the previous run, ready for reuse
    TSummation mySummation = TSummation::automatic;
    TPropagationStep myPropOverride;
    TReflectionStep myReflOverride;
    std::function<TExtended()> myStepTimeOverride;
    int myStoreModulus = 1;
    bool myTrackingActive = false;
    int mySliceCount = 0;
    double myTotalAbsorption = 0;
    TRunStatistics myStats;
};

} // namespace ksn
