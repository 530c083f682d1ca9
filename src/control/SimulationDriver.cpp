// Loading: configuration records -> scene -> incident field -> variations.
#include "control/SimulationDriver.h"

#include "config/Messages.h"
#include "field/ScalarEField.h"
#include "field/VectorEField.h"
#include "numerics/GeneralError.h"

namespace ksn {

TSimulationDriver::TSimulationDriver() = default;
TSimulationDriver::~TSimulationDriver() = default;

void TSimulationDriver::SetStepOverride(
    TPropagationStep prop, TReflectionStep refl, std::function<TExtended()> stepTime)
{
    myPropOverride = std::move(prop);
    myReflOverride = std::move(refl);
    myStepTimeOverride = std::move(stepTime);
}

bool TSimulationDriver::Open(const std::string& fileName)
{
    const TScopedMessageSink scope(myObserver);
    myConfig.global.fileName = fileName;
    myLoaded = true;
    myReaderRefused = false;
    bool ok = false;
    try {
        ok = LoadScene(true);
    } catch (const std::exception& e) {
        ShowMessage(e.what());
        ok = false;
    }
    if (!ok) {
        // The reader has already said "Error. Cannot load file!" for a bad file.
        if (!myReaderRefused)
            ShowMessage("Error. Cannot load file!");
        myLoaded = false;
        return false;
    }
    Log("Done. Loading file " + myConfig.global.fileName);
    return true;
}

bool TSimulationDriver::UpdateScene()
{
    const TScopedMessageSink scope(myObserver);
    if (!myLoaded) {
        ShowMessage("Please load .ini File before updating a scene.");
        return false;
    }
    return LoadScene(false);
}

bool TSimulationDriver::LoadScene(bool read)
{
    // 1. The previous run's fields go with the old scene.
    myForwardStore.clear();
    myBackwardStore.clear();

    // 2. Read the whole file in load order ([global], layers, waves, parameters).
    if (read) {
        const std::string fileName = myConfig.global.fileName;
        TConfiguration fresh;
        const bool ok = LoadConfiguration(fileName, fresh);
        fresh.global.fileName = fileName;
        myConfig = fresh;
        if (!ok) {
            myReaderRefused = true;
            return false;
        }
    }

    // 3. The scene: layers handed over in order; all slices built unless large-scene mode.
    // A new scene also when the configuration's grid was edited since the last build.
    const bool newScene = read || !myScene || !(myScene->Grid() == myConfig.grid);
    // One estimate before the large allocations: the levels (or the two of large-scene
    // mode) and the incident field.
    const std::string memory = MemoryRefusal(EstimateLoadMemory(myConfig.global, myConfig.grid), MemoryBudget(),
        myConfig.global, myConfig.grid, "The scene and the incident field");
    if (!memory.empty()) {
        myScene.reset();
        myIncident.reset();
        ShowMessage(memory);
        return false;
    }
    if (newScene) {
        myScene = std::make_unique<TBrelScenes>(myConfig.global.layerNum, myConfig.grid, myConfig.global.largeScene);
        for (int i = 0; i < int(myConfig.layers.size()); ++i)
            myScene->Replace(i, myConfig.layers[size_t(i)]);
    }
    if (!myConfig.global.largeScene && !myConfig.layers.empty() && !myScene->BuildSystemArray())
        return false; // refused with its message (too large for memory: large-scene mode is the way out)
    // 4. The incident field.
    if (!BuildInput(read))
        return false;

    // 5. Parameter variations: each side gets its own record and a neutral one otherwise
    // (the incident field got its own in BuildInput); the scene's when it is new.
    if (newScene)
        HandVariations(false);
    return true;
}

void TSimulationDriver::HandVariations(bool toField)
{
    if (!myConfig.global.parmVariation)
        return;
    const TParmsVariation neutral{};
    for (size_t n = 0; n < myConfig.parms.size(); ++n) {
        const TParmsType type = n < myConfig.parmTypes.size() ? myConfig.parmTypes[n] : TParmsType(kUnknownEnum);
        if (type != TParmsType::wave && type != TParmsType::layer)
            continue;
        const bool wave = type == TParmsType::wave;
        if (toField && myIncident)
            myIncident->SetParm(int(n), wave ? myConfig.parms[n] : neutral);
        if (!toField && myScene)
            myScene->Replace(int(n), wave ? neutral : myConfig.parms[n]);
    }
}

bool TSimulationDriver::BuildInput(bool /*read*/)
{
    myIncident.reset();
    const TSimMethod method = myConfig.global.simMethod;
    if (static_cast<int>(method) > static_cast<int>(TSimMethod::vwpmhh)) {
        ShowMessage("Error in buildInput(). Unknown Simulation method.");
        return true; // the load goes on; a run will find no incident field
    }
    for (size_t n = 0; n < myConfig.waves.size(); ++n) {
        const TFieldOptions& wave = myConfig.waves[n];
        if (n == 0) {
            if (IsScalarMethod(method))
                myIncident = std::make_unique<TScalarEField>(myConfig.grid, wave);
            else
                myIncident = std::make_unique<TVectorEField>(myConfig.grid, wave);
        } else {
            myIncident->AddBeam(myConfig.grid, wave, nullptr);
            myIncident->Replace(unsigned(n), wave);
        }
    }
    // A new field (also one built for another method) carries the wave variations.
    HandVariations(true);
    return true;
}

} // namespace ksn
