// The memory estimate against the containers it counts (measured with the allocator's
// statistics), its saturation on counts far beyond any machine, and the parts that the
// options it names really reduce.
#include "config/MemoryBudget.h"
#include "field/ScalarEField.h"
#include "field/VectorEField.h"
#include "scene/BrelScenes.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <memory>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KSN_ALLOCATOR_REPLACED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KSN_ALLOCATOR_REPLACED 1
#endif
#endif

namespace ksn {
namespace {

TGridParms Grid(int nx, int ny, int nz)
{
    TGridParms g;
    g.nx = nx;
    g.ny = ny;
    g.nz = nz;
    g.X = nx;
    g.Y = ny;
    g.Z = nz;
    g.dx = g.dy = g.dz = 1;
    g.scaleFactor = 1e-6;
    return g;
}

size_t HeapInUse() { return mallinfo2().uordblks; }

// The estimate is an upper bound of what the objects take, and not a loose one.
void ExpectCovers(double estimated, double measured, const char* what)
{
    EXPECT_GE(estimated, measured) << what;
    EXPECT_LE(estimated, 1.3 * measured) << what;
}

TEST(MemoryEstimate, PerObjectCostsCoverWhatTheContainersTake)
{
#ifdef KSN_ALLOCATOR_REPLACED
    GTEST_SKIP() << "the sanitizer's allocator keeps no malloc statistics";
#else
    for (const TGridParms& g : {Grid(1, 1, 1), Grid(16, 8, 1)}) {
        for (const TSimMethod method : {TSimMethod::swpm, TSimMethod::vbpm}) {
            std::vector<std::shared_ptr<TField>> fields;
            fields.reserve(200);
            const size_t before = HeapInUse();
            for (int i = 0; i < 200; ++i)
                fields.push_back(IsScalarMethod(method) ? std::shared_ptr<TField>(std::make_shared<TScalarEField>(g))
                                                        : std::make_shared<TVectorEField>(g));
            const double perField = double(HeapInUse() - before) / 200;
            ExpectCovers(double(FieldBytes(g, method)), perField, IsScalarMethod(method) ? "scalar field" : "vector field");
        }
        TGridParms levels = g;
        levels.nz = levels.Z = 500;
        TLayerParms layer;
        layer.thickness = 500;
        layer.nSubject = {1.5, 0};
        const size_t before = HeapInUse();
        TBrelScenes scene(1, levels, false);
        scene.Replace(0, layer);
        ASSERT_TRUE(scene.BuildSystemArray());
        TGlobalParms global;
        global.layerNum = 1;
        const double perLevel = double(HeapInUse() - before) / 500;
        ExpectCovers(double(EstimateLoadMemory(global, levels).scene) / 500, perLevel, "index level");
    }
#endif
}

TEST(MemoryEstimate, CountsFarBeyondAnyMachineSaturateAndAreRefused)
{
    TGlobalParms global;
    global.layerNum = 1;
    global.bidirectional = true;
    global.reflections = 3;
    const TGridParms g = Grid(32768, 65536, 2147483647);
    const TMemoryEstimate e = EstimateRunMemory(global, g, {true, true});
    EXPECT_EQ(e.Total(), UINT64_MAX);
    const std::string refusal = MemoryRefusal(e, std::uint64_t(1) << 34, global, g);
    EXPECT_EQ(refusal.rfind("The run would need about 16.0 EiB of memory, more than the 16.0 GiB", 0), 0u) << refusal;
    EXPECT_EQ(MemoryRefusal(e, 0, global, g), ""); // nothing known: nothing refused
}

TEST(MemoryEstimate, LargeSceneAndModuloTrackingReduceTheirParts)
{
    const TGridParms g = Grid(64, 32, 1000);
    TGlobalParms global;
    global.layerNum = 1;
    const TMemoryEstimate all = EstimateRunMemory(global, g);
    global.largeScene = true;
    global.moduloTracking = true;
    global.modulus = 100;
    const TMemoryEstimate reduced = EstimateRunMemory(global, g);
    EXPECT_EQ(reduced.scene * 500, all.scene);  // two levels of 1000
    EXPECT_EQ(reduced.store * 100, all.store);  // 10 stored slices of 1000
    EXPECT_EQ(reduced.working, all.working);
    // The refusal names only what would help: no largescene when it is on already.
    const std::string refusal = MemoryRefusal(all, 1024, global, g);
    EXPECT_EQ(refusal.find("largescene=1"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("now every 100"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("a coarser grid"), std::string::npos) << refusal;
}

} // namespace
} // namespace ksn
