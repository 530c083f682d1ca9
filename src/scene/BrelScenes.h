#pragma once
// The scene: the layered refractive-index model n + i*kappa on the computational grid.
// An ordered stack of layers along z, each one TLayerParms record, turned into one
// nx x ny complex slice per level (level iz lies at z = iz*dz).
//
// Two modes:
//   system array - every level computed once into mySystemArr (BuildSystemArray);
//   large scene  - a level is computed on demand into one of two cache slices (slot =
//                  iz mod 2), so memory stays at two slices whatever the level count.
//
// The run loop asks, level by level: GetLevelReport, GetLevelMeanN, IsHomogLevel,
// GetLevel. Slices handed out belong to the scene; in large-scene mode a slice stays
// valid for iz and iz+1 together. Failures are reported through ksn::ShowMessage and the
// scene stays usable.
#include "config/Records.h"
#include "config/VariationOdometer.h"
#include "numerics/ComplexArray.h"
#include "numerics/ComplexVector.h"
#include "scene/LayerBuilders.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ksn {

class TBrelScenes {
public:
    // Keeps a copy of the grid of its build (the configuration's, computed at load); a
    // grid edit reaches the scene only through a new scene.
    TBrelScenes(int layerCount, const TGridParms& grid, bool largeScene);
    ~TBrelScenes();
    TBrelScenes(const TBrelScenes&) = delete;
    TBrelScenes& operator=(const TBrelScenes&) = delete;

    // --- layer records
    // Stores a copy at index i; an index at or beyond the count appends one entry.
    bool Replace(int i, const TLayerParms& layer);
    // Whole slices of dz up to the end of layer i (WholeSlices: Floor((zStart +
    // thickness)/dz) with the 1e-9 tolerance of the slice count); i = -1: the last layer
    // (0 without layers). The level count; the configuration's nz is the same number.
    int GetEndLevel(int i) const;
    // The first layer with zStart <= z < zStart + thickness.
    bool GetLevelParms(double z, TLayerParms& out) const;
    const TLayerParmsVec& Layers() const { return myLayerParmsVec; }
    const TGridParms& Grid() const { return myGrid; }
    int GetLastLevel() const { return myLastLevel; }

    // --- building
    // System array mode with at least one layer: recomputes every level. Refuses (with a
    // message, changing nothing) in large-scene mode, without layers, on a grid without
    // points or spacing, and when the slices would not fit in memory.
    bool BuildSystemArray();
    void BuildLayer(const TLayerParms& layer);
    // Large-scene mode: level iz of the layer into cache slot `slot`.
    bool CalcLevel(int slot, int iz, const TLayerParms& layer);

    // --- per-level queries (iz clamped to the levels held)
    bool GetLevelReport(int iz);
    TComplex GetLevelMeanN(int iz);
    bool IsHomogLevel(int iz);
    // nullptr when nothing is built (system array mode) or the grid has no points.
    const TComplexArray* GetLevel(int iz);
    // System array mode only: the value at (ix, iy) of level iz.
    bool GetN(int ix, int iy, int iz, TComplex& n);

    // --- grid of the build (edits go to the configuration's grid, TConfiguration)
    int GetNx() const { return myGrid.nx; }
    int GetNy() const { return myGrid.ny; }
    int GetNz() const { return myGrid.nz; }

    // --- mode
    bool SetLargeScene(bool on);
    bool IsLargeScene() const { return myLargeScene; }
    // Changes whenever the built levels are released or rebuilt, and differs between
    // scenes: what a check of every level found stays true while it is unchanged.
    std::uint64_t BuildCount() const { return myBuildCount; }

    // The [layer<N>] sections of a saved configuration, one block per layer.
    std::string GetDescription() const;

    // --- memory guard of the system array: levels * nx * ny * 16 bytes must stay at or
    // below the limit (default: half the physical memory).
    void SetMemoryLimit(std::uint64_t bytes) { myMemoryLimit = bytes; }
    std::uint64_t GetMemoryLimit() const { return myMemoryLimit; }
    static std::uint64_t DefaultMemoryLimit();

    // --- what the scene holds (diagnostics and tests)
    int SystemArrayLength() const { return int(mySystemArr.size()); }
    int AllocatedSlices() const;
    int CacheSlotCount() const { return int(myLevelCache.size()); }
    int CachedLevel(int slot) const { return slot == 0 || slot == 1 ? myCachedLevel[size_t(slot)] : -1; }
    int HomogVecLength() const { return int(myHomogVec.size()); }
    int MeanNVecLength() const { return myMeanNVec.Count(); }
    // Levels computed so far by the per-slice builders (large-scene mode).
    long long LevelsComputed() const { return myLevelsComputed; }

    // --- layer-parameter variation (SceneVariation.cpp)
    bool Replace(int i, const TParmsVariation& variation);
    bool setConfig(int i, int j, bool reset);
    void ResetConfig();
    bool NextConfig();
    bool GetXParm(TParmsVariation& out) const;
    bool GetYParm(TParmsVariation& out) const;
    void SetXParm(int i);
    void SetYParm(int i);
    int GetConfigCount() const { return myVariation.Count(); }
    int GetConfigTotal() const { return myVariation.Total(); }
    const TVariationOdometer& VariationOdometer() const { return myVariation; }
    const TParmsVariationArr& Variations() const { return myVariation.Entries(); }

private:
    // Build builders (system array) and per-slice builders (large scene), by type.
    void buildHomog(const TLayerParms& l);
    void buildSphere(const TLayerParms& l);
    void buildWGuide(const TLayerParms& l);
    void buildLinSplitter(const TLayerParms& l);
    void buildExpSymSplitter(const TLayerParms& l);
    void buildExpTaper(const TLayerParms& l);
    void buildGrating(const TLayerParms& l);
    void buildPrism(const TLayerParms& l);
    void buildSlope(const TLayerParms& l);
    void buildNone(const TLayerParms& l);
    void getHomogLayer(int slot, int iz, const TLayerParms& l);
    void getSphereLayer(int slot, int iz, const TLayerParms& l);
    void getWGuideLayer(int slot, int iz, const TLayerParms& l);
    void getLinSymSplitterLayer(int slot, int iz, const TLayerParms& l);
    void getExpSymSplitter(int slot, int iz, const TLayerParms& l);
    void getExpTaperLayer(int slot, int iz, const TLayerParms& l);
    void getGratingLayer(int slot, int iz, const TLayerParms& l);
    void getPrismLayer(int slot, int iz, const TLayerParms& l);
    void getSlopeLayer(int slot, int iz, const TLayerParms& l);

    // The common frames: every level of a layer into the system array, or one level into
    // a cache slot. `homog` is the level's homogeneous flag.
    void BuildLevels(const TLayerParms& l, bool homog, const char* shapeMessage, scene::TLevelFiller fill);
    void CalcSlot(int slot, int iz, const TLayerParms& l, bool homog, const char* shapeMessage,
        scene::TLevelFiller fill);

    void InitLevelCache();
    void InvalidateLevelCache();
    void ReleaseSystemArray();
    // The level range i0 <= iz < i1 of a layer.
    void LevelRange(const TLayerParms& l, int& i0, int& i1) const;
    // Large scene: the cache slot holding level iz, computing it when needed; -1 if none.
    int CachedSlot(int iz);
    // The last layer whose level range holds iz (the later layer wins), or -1. A binary
    // search over the cached ranges when they rise with the layer number (layers end to
    // end), so that a run over many layers is not quadratic in their number.
    int LayerOfLevel(int iz) const;
    void CacheLevelRanges() const;
    // Clamp into 0 .. count-1 (0 for an empty range).
    static int ClampLevel(int iz, int count);

    int myLastLevel = 0;
    bool myLargeScene = false;
    static std::uint64_t NextBuildId();
    std::uint64_t myBuildCount = NextBuildId();
    std::vector<std::unique_ptr<TComplexArray>> mySystemArr;
    std::vector<std::unique_ptr<TComplexArray>> myLevelCache;
    std::array<int, 2> myCachedLevel = {-1, -1};
    TDynBoolVec myHomogVec;
    TLayerParmsVec myLayerParmsVec;
    TGridParms myGrid;
    TComplexVector myMeanNVec;
    TVariationOdometer myVariation; // the layer variations with their count and total

    // Level range [i0, i1) of every layer; depends only on zStart and thickness, which
    // change through Replace alone.
    mutable std::vector<std::pair<int, int>> myLevelRanges;
    mutable bool myLevelRangesValid = false;
    mutable bool myLevelRangesRise = false;

    std::uint64_t myMemoryLimit = 0;
    long long myLevelsComputed = 0;
    bool myUnsupportedShown = false;
    bool myLastRefusedForMemory = false;
};

} // namespace ksn
