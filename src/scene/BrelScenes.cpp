// The scene model: layer records, level bookkeeping, the system array and the two-slot
// cache of large-scene mode, the per-level queries and the grid accessors.
#include "scene/BrelScenes.h"

#include "config/ConfigText.h"
#include "config/FloatText.h"
#include "config/Grid.h"
#include "config/Messages.h"
#include "numerics/GeneralError.h"
#include "scene/LayerFrames.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <new>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace ksn {

namespace {

constexpr const char* kReplaceLayerFailed = "Error in procedure TBrelScenes.Replace(const i : Integer; const "
                                            "layerParms : TLayerParms). Cannot replace TLayerParms.";
constexpr const char* kNotBuilt = "System Array was not built. Scene is flagged as \"LARGESCENE\" in .ini-file or "
                                  "no layer Parms record could be built from .ini-file.";
constexpr const char* kInvalidCoordinates = "Error in TBrelScenes.GetN(). Invalid coordinates.";
constexpr std::uint64_t kBytesPerPoint = 16; // one complex value: two doubles

// Bytes of `levels` slices of nx x ny complex values, saturating instead of overflowing.
std::uint64_t SliceBytes(long long levels, int nx, int ny)
{
    const long double bytes = (long double)std::max(levels, 0LL) * std::max(nx, 0) * std::max(ny, 0) * kBytesPerPoint;
    return bytes >= 1.8e19L ? UINT64_MAX : std::uint64_t(bytes);
}

std::string MegabyteText(std::uint64_t bytes)
{
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

} // namespace

TBrelScenes::TBrelScenes(int layerCount, const TGridParms& grid, bool largeScene)
    : myLargeScene(largeScene), myLayerParmsVec(size_t(std::max(layerCount, 0))), myGrid(grid),
      myMemoryLimit(DefaultMemoryLimit())
{
    if (myLargeScene)
        InitLevelCache();
}

TBrelScenes::~TBrelScenes() = default;

std::uint64_t TBrelScenes::DefaultMemoryLimit()
{
    std::uint64_t physical = 0;
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGE_SIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0)
        physical = std::uint64_t(pages) * std::uint64_t(pageSize);
#endif
    if (physical == 0)
        physical = std::uint64_t(8) << 30; // unknown: assume a modest 8 GiB machine
    return physical / 2;
}

// ---------------------------------------------------------------- layer records

bool TBrelScenes::Replace(int i, const TLayerParms& layer)
{
    if (i < 0) {
        ShowMessage(kReplaceLayerFailed);
        return false;
    }
    try {
        size_t index = size_t(i);
        if (index >= myLayerParmsVec.size()) {
            myLayerParmsVec.push_back(layer);
            index = myLayerParmsVec.size() - 1;
        } else {
            myLayerParmsVec[index] = layer;
        }
        myLastLevel = GetEndLevel(int(index));
    } catch (const std::bad_alloc&) {
        ShowMessage(kReplaceLayerFailed);
        return false;
    }
    // Cached large-scene levels were computed from the old record.
    InvalidateLevelCache();
    myLevelRangesValid = false;
    myUnsupportedShown = false;
    return true;
}

int TBrelScenes::GetEndLevel(int i) const
{
    if (myLayerParmsVec.empty())
        return 0;
    if (i == -1)
        i = int(myLayerParmsVec.size()) - 1;
    if (i < 0 || size_t(i) >= myLayerParmsVec.size())
        return 0;
    return WholeSlices(LayerEnd(myLayerParmsVec[size_t(i)]), myGrid.dz);
}

void TBrelScenes::LevelRange(const TLayerParms& l, int& i0, int& i1) const
{
    i0 = WholeSlices(l.zStart, myGrid.dz);
    i1 = WholeSlices(LayerEnd(l), myGrid.dz);
}

bool TBrelScenes::GetLevelParms(double z, TLayerParms& out) const
{
    for (const TLayerParms& l : myLayerParmsVec)
        if (l.zStart <= z && z < l.zStart + l.thickness) {
            out = l;
            return true;
        }
    ShowMessage("Error in TBrelScenes.GetLevelParms. No TParms-record found for location " + FormatReal(z));
    return false;
}

void TBrelScenes::CacheLevelRanges() const
{
    myLevelRanges.resize(myLayerParmsVec.size());
    myLevelRangesRise = true;
    for (size_t i = 0; i < myLayerParmsVec.size(); ++i) {
        LevelRange(myLayerParmsVec[i], myLevelRanges[i].first, myLevelRanges[i].second);
        if (i > 0 && (myLevelRanges[i].first < myLevelRanges[i - 1].first ||
                         myLevelRanges[i].second < myLevelRanges[i - 1].second))
            myLevelRangesRise = false;
    }
    myLevelRangesValid = true;
}

int TBrelScenes::LayerOfLevel(int iz) const
{
    // The builders place a layer on Floor(zStart/dz) <= iz < Floor((zStart + thickness)/dz)
    // and a later layer overwrites an earlier one; the same rule finds a level's layer,
    // so that both modes agree even where iz*dz rounds across a layer boundary.
    if (!myLevelRangesValid)
        CacheLevelRanges();
    if (myLevelRangesRise) {
        // Starts and ends both rise: the last layer starting at or before iz is the only
        // one that can hold it (every earlier one ends at or before that start).
        const auto after = std::upper_bound(myLevelRanges.begin(), myLevelRanges.end(), iz,
            [](int level, const std::pair<int, int>& range) { return level < range.first; });
        if (after == myLevelRanges.begin())
            return -1;
        const auto last = after - 1;
        return iz < last->second ? int(last - myLevelRanges.begin()) : -1;
    }
    for (int i = int(myLevelRanges.size()) - 1; i >= 0; --i)
        if (myLevelRanges[size_t(i)].first <= iz && iz < myLevelRanges[size_t(i)].second)
            return i;
    return -1;
}

std::string TBrelScenes::GetDescription() const
{
    std::string text;
    for (size_t i = 0; i < myLayerParmsVec.size(); ++i)
        text += LayerSectionText(int(i), myLayerParmsVec[i]);
    return text;
}

// ---------------------------------------------------------------- system array and cache

int TBrelScenes::AllocatedSlices() const
{
    int count = 0;
    for (const auto& s : mySystemArr)
        count += s ? 1 : 0;
    for (const auto& s : myLevelCache)
        count += s ? 1 : 0;
    return count;
}

std::uint64_t TBrelScenes::NextBuildId()
{
    static std::atomic<std::uint64_t> builds{0};
    return ++builds;
}

void TBrelScenes::ReleaseSystemArray()
{
    myBuildCount = NextBuildId();
    mySystemArr.clear();
    mySystemArr.shrink_to_fit();
}

void TBrelScenes::InitLevelCache()
{
    const int nx = std::max(myGrid.nx, 0);
    const int ny = std::max(myGrid.ny, 0);
    if (SliceBytes(2, nx, ny) > myMemoryLimit)
        throw EGeneralError("Scene was not created. Two slices of " + std::to_string(nx) + " x " +
                            std::to_string(ny) + " points need " + MegabyteText(SliceBytes(2, nx, ny)) +
                            ", more than this machine can hold.");
    myLevelCache.clear();
    myLevelCache.push_back(std::make_unique<TComplexArray>(nx, ny));
    myLevelCache.push_back(std::make_unique<TComplexArray>(nx, ny));
    myHomogVec.assign(2, false);
    myMeanNVec.SetLength(2);
    myCachedLevel = {-1, -1};
}

void TBrelScenes::InvalidateLevelCache() { myCachedLevel = {-1, -1}; }

bool TBrelScenes::BuildSystemArray()
{
    myLastRefusedForMemory = false;
    if (myLargeScene || myLayerParmsVec.empty()) {
        ShowMessage(kNotBuilt);
        return false;
    }
    // The grid was checked when the configuration was loaded (GridFault).
    assert(myGrid.nx >= 1 && myGrid.ny >= 1 && myGrid.dz > 0);
    int levels = 0;
    for (size_t i = 0; i < myLayerParmsVec.size(); ++i)
        levels = std::max(levels, GetEndLevel(int(i)));
    // levels * nx * ny * 16 bytes must fit in a sane share of the physical memory.
    const std::uint64_t bytes = SliceBytes(levels, myGrid.nx, myGrid.ny);
    if (bytes > myMemoryLimit) {
        myLastRefusedForMemory = true;
        ShowMessage("System Array was not built. " + std::to_string(levels) + " levels of " +
                    std::to_string(myGrid.nx) + " x " + std::to_string(myGrid.ny) + " points need " +
                    MegabyteText(bytes) + ", more than this machine can hold (limit " +
                    MegabyteText(myMemoryLimit) + "). Set \"largescene=1\" in the .ini-file to compute "
                    "the levels on demand.");
        return false;
    }
    try {
        ReleaseSystemArray(); // counts the build
        myHomogVec.clear();
        myMeanNVec.SetLength(0);
        myMeanNVec.SetLength(levels);
        for (const TLayerParms& l : myLayerParmsVec)
            BuildLayer(l);
        // A level no layer claims (a gap left by records not placed end to end) holds
        // vacuum, so that every level below the count is a slice.
        for (size_t iz = 0; iz < mySystemArr.size(); ++iz)
            if (!mySystemArr[iz]) {
                mySystemArr[iz] = std::make_unique<TComplexArray>(myGrid.nx, myGrid.ny);
                mySystemArr[iz]->Fill({1.0, 0.0});
                myHomogVec[iz] = true;
                if (int(iz) < myMeanNVec.Count())
                    myMeanNVec.Put(int(iz), {1.0, 0.0});
            }
    } catch (const std::bad_alloc&) {
        ReleaseSystemArray();
        myHomogVec.clear();
        myMeanNVec.SetLength(0);
        myLastRefusedForMemory = true;
        ShowMessage("System Array was not built. Out of memory after " + MegabyteText(bytes) +
                    " were asked for. Set \"largescene=1\" in the .ini-file to compute the levels on demand.");
        return false;
    }
    return true;
}

bool TBrelScenes::SetLargeScene(bool on)
{
    if (on == myLargeScene)
        return myLargeScene;
    if (on) {
        ReleaseSystemArray();
        myHomogVec.clear();
        myMeanNVec.SetLength(0);
        myLargeScene = true;
        InitLevelCache();
        return true;
    }
    myLevelCache.clear();
    myHomogVec.clear();
    myMeanNVec.SetLength(0);
    myCachedLevel = {-1, -1};
    myLargeScene = false;
    myUnsupportedShown = false;
    if (!BuildSystemArray() && myLastRefusedForMemory) {
        // The slices do not fit: stay in large-scene mode, so that the scene stays usable.
        myLargeScene = true;
        InitLevelCache();
    }
    return myLargeScene;
}

// ---------------------------------------------------------------- per-level queries

int TBrelScenes::ClampLevel(int iz, int count)
{
    if (iz >= count)
        iz = count - 1;
    return iz < 0 ? 0 : iz;
}

int TBrelScenes::CachedSlot(int iz)
{
    if (myLevelCache.size() != 2)
        return -1;
    for (int slot = 0; slot < 2; ++slot)
        if (myCachedLevel[size_t(slot)] == iz)
            return slot;
    const int slot = iz % 2;
    const int layer = LayerOfLevel(iz);
    if (layer >= 0) {
        CalcLevel(slot, iz, myLayerParmsVec[size_t(layer)]);
    } else {
        // A level no layer claims holds vacuum, as in the system array: a slot is never
        // handed out with another level's slice or unfilled.
        myLevelCache[size_t(slot)]->Fill({1.0, 0.0});
        myHomogVec[size_t(slot)] = true;
        myMeanNVec.Put(slot, {1.0, 0.0});
    }
    myCachedLevel[size_t(slot)] = iz;
    return slot;
}

bool TBrelScenes::GetLevelReport(int iz)
{
    const int layer = LayerOfLevel(iz);
    if (layer >= 0)
        return myLayerParmsVec[size_t(layer)].report;
    TLayerParms found;
    return GetLevelParms(double(TExtended(iz) * myGrid.dz), found) && found.report;
}

TComplex TBrelScenes::GetLevelMeanN(int iz)
{
    if (myLargeScene) {
        const int slot = CachedSlot(ClampLevel(iz, GetEndLevel(-1)));
        return slot >= 0 ? myMeanNVec.Get(slot) : TComplex{};
    }
    if (myMeanNVec.Count() == 0)
        return {};
    return myMeanNVec.Get(ClampLevel(iz, myMeanNVec.Count()));
}

bool TBrelScenes::IsHomogLevel(int iz)
{
    if (myLargeScene) {
        const size_t slot = size_t(ClampLevel(iz, GetEndLevel(-1)) % 2);
        return slot < myHomogVec.size() && myHomogVec[slot];
    }
    if (myHomogVec.empty())
        return false;
    return myHomogVec[size_t(ClampLevel(iz, int(myHomogVec.size())))];
}

const TComplexArray* TBrelScenes::GetLevel(int iz)
{
    if (myLargeScene) {
        const int slot = CachedSlot(ClampLevel(iz, GetEndLevel(-1)));
        return slot >= 0 ? myLevelCache[size_t(slot)].get() : nullptr;
    }
    if (mySystemArr.empty())
        return nullptr;
    return mySystemArr[size_t(ClampLevel(iz, int(mySystemArr.size())))].get();
}

bool TBrelScenes::GetN(int ix, int iy, int iz, TComplex& n)
{
    if (!myLargeScene && iz >= 0 && size_t(iz) < mySystemArr.size() && mySystemArr[size_t(iz)]) {
        const TComplexArray& s = *mySystemArr[size_t(iz)];
        if (ix >= 0 && ix < s.Nx() && iy >= 0 && iy < s.Ny()) {
            n = s.At(ix, iy);
            return true;
        }
    }
    ShowMessage(kInvalidCoordinates);
    return false;
}

} // namespace ksn
