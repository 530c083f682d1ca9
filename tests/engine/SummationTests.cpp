// Direct, grouped and automatic summation of the point-by-point step agree.
#include "EngineTestSupport.h"
#include "engine/ScalarWPMRule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ksn;
using namespace ksn::test;

namespace {

const double kK0 = 2.0 * kPi / kLambda;

std::shared_ptr<TScalarEField> Beam(const TGridParms& g, double w, double tiltX, double tiltY)
{
    return MakeField(g, kLambda, [&](int c, int r) {
        const double x = XOf(g, c), y = YOf(g, r);
        return std::exp(-(x * x + y * y) / (w * w)) * TCplx(std::cos(tiltX * x + tiltY * y), std::sin(tiltX * x + tiltY * y));
    });
}

struct TScene {
    std::string name;
    TGridParms grid;
    TComplexArray previous;
    TComplexArray current;
    std::shared_ptr<TScalarEField> forward;
    std::shared_ptr<TScalarEField> backward;
};

// Relative L2 difference of grouped and automatic against direct.
void ExpectSummationsAgree(const TScene& s)
{
    SCOPED_TRACE(s.name);
    const auto direct = SwpmWith(TSummation::direct, s.previous, s.current, s.grid, s.forward.get(), s.backward.get());
    double norm = 0.0;
    for (const TCplx& v : direct)
        norm += std::norm(v);
    ASSERT_GT(norm, 0.0) << "a scene that yields nothing compares nothing";
    for (const TSummation m : {TSummation::grouped, TSummation::automatic}) {
        const auto other = SwpmWith(m, s.previous, s.current, s.grid, s.forward.get(), s.backward.get());
        EXPECT_LT(RelativeL2(other, direct), 1e-10) << SummationName(m);
    }
}

// A disc of index `core` (radius in points) in `cladding`.
TComplexArray Disc(const TGridParms& g, TCplx core, TCplx cladding, double radius)
{
    return MakeSlice(g, [&](int c, int r) {
        const double dx = c - g.nx / 2.0, dy = r - g.ny / 2.0;
        return dx * dx + dy * dy <= radius * radius ? core : cladding;
    });
}

} // namespace

TEST(Summation, OneMaterialGaussianBeam)
{
    const TGridParms g = MakeGrid(32, 32, 0.4, 0.4, 0.5);
    ExpectSummationsAgree({"one material", g, UniformSlice(g, 1.5), UniformSlice(g, 1.5),
                           Beam(g, 2.0e-6, 0.0, 0.0), nullptr});
}

TEST(Summation, TwoMaterialsTiltedBeam)
{
    const TGridParms g = MakeGrid(32, 32, 0.4, 0.4, 0.5);
    ExpectSummationsAgree({"two materials", g, UniformSlice(g, 1.45), Disc(g, 1.6, 1.45, 6.0),
                           Beam(g, 3.0e-6, 0.35 * kK0, -0.1 * kK0), nullptr});
}

TEST(Summation, FiveMaterialsOnBothSlices)
{
    const TGridParms g = MakeGrid(32, 16, 0.4, 0.5, 0.5);
    const TCplx indices[5] = {1.0, 1.33, 1.5, TCplx(1.7, 0.01), 2.1};
    const TComplexArray previous = MakeSlice(g, [&](int c, int) { return indices[(c / 7) % 5]; });
    const TComplexArray current = MakeSlice(g, [&](int c, int r) { return indices[(c / 5 + r / 4) % 5]; });
    ExpectSummationsAgree({"five materials", g, previous, current, Beam(g, 2.5e-6, 0.2 * kK0, 0.3 * kK0), nullptr});
}

TEST(Summation, AbsorbingMediaInAllModes)
{
    const TGridParms g = MakeGrid(16, 16, 0.4, 0.4, 0.5);
    const TComplexArray previous = Disc(g, TCplx(1.5, 0.02), TCplx(1.4, 0.0), 4.0);
    const TComplexArray current = Disc(g, TCplx(1.6, 0.05), TCplx(1.4, 0.01), 5.0);
    const auto a = Beam(g, 2.0e-6, 0.3 * kK0, 0.0);
    const auto b = Beam(g, 1.5e-6, -0.2 * kK0, 0.1 * kK0);
    ExpectSummationsAgree({"absorbing, forward", g, previous, current, a, nullptr});
    ExpectSummationsAgree({"absorbing, backward", g, previous, current, nullptr, b});
    ExpectSummationsAgree({"absorbing, both", g, previous, current, a, b});
}

TEST(Summation, GradedIndexGuideWithManyDistinctIndices)
{
    // Parabolic profile n(r) = n0 - dn (r/a)^2 inside the core: almost every point its own tuple.
    const TGridParms g = MakeGrid(32, 32, 0.4, 0.4, 0.5);
    const auto graded = [&](double n0) {
        return MakeSlice(g, [&, n0](int c, int r) {
            const double x = c - 16.0 + 0.3, y = r - 16.0, rr = (x * x + y * y) / 100.0;
            return TCplx(rr < 1.0 ? n0 - 0.02 * rr : n0 - 0.02, 0.0);
        });
    };
    ExpectSummationsAgree({"graded guide", g, graded(1.50), graded(1.51), Beam(g, 2.0e-6, 0.1 * kK0, 0.0), nullptr});
}

TEST(Summation, OddGridShapes)
{
    const TGridParms shapes[] = {MakeGrid(2, 16, 0.4, 0.4, 0.5), MakeGrid(16, 2, 0.4, 0.4, 0.5),
                                 MakeGrid(16, 1, 0.4, 0.4, 0.5), MakeGrid(1, 16, 0.4, 0.4, 0.5),
                                 MakeGrid(2, 2, 0.4, 0.4, 0.5), MakeGrid(1, 1, 0.4, 0.4, 0.5)};
    for (const TGridParms& g : shapes) {
        const TComplexArray current = MakeSlice(g, [](int c, int r) { return (c + r) % 3 ? TCplx(1.5) : TCplx(1.7, 0.01); });
        ExpectSummationsAgree({std::to_string(g.nx) + "x" + std::to_string(g.ny), g, UniformSlice(g, 1.5), current,
                               Beam(g, 2.0e-6, 0.3 * kK0, 0.1 * kK0), nullptr});
    }
}

TEST(Summation, AutomaticPlanMixesDirectAndGroupedTuples)
{
    // Three plane waves: a large region is cheaper grouped, single-point tuples direct.
    const TGridParms g = MakeGrid(16, 16, 0.4, 0.4, 0.5);
    const TComplexArray previous = UniformSlice(g, 1.5);
    const TComplexArray current = MakeSlice(g, [](int c, int r) { return r == 0 ? TCplx(1.5 + 0.001 * c) : TCplx(1.5); });
    const auto field = MakeField(g, kLambda, [&](int c, int) {
        const double x = XOf(g, c), k = 2.0 * kPi / (16 * 0.4e-6);
        return TCplx(1.0) + std::exp(TCplx(0.0, k * x)) + std::exp(TCplx(0.0, -2.0 * k * x));
    });

    TIndexTuples tuples;
    tuples.Build(previous, current, g.nx, g.ny, TScalarWPMRule::kParts, "Test");
    TSpectralGrid spectral;
    spectral.Setup(g, kLambda, "Test");
    TSumScratch scratch;
    scratch.Plan(TSummation::automatic, tuples, 3, 1, spectral);
    EXPECT_EQ(scratch.Grouped().size(), 1u) << "the bulk index is summed by transform";
    EXPECT_EQ(scratch.DirectPoints().size(), 15u) << "single-point tuples are summed directly";
    scratch.Plan(TSummation::automatic, tuples, 256, 1, spectral);
    EXPECT_EQ(scratch.DirectPoints().size(), 0u) << "with a full spectrum every tuple is cheaper grouped";
    scratch.Plan(TSummation::direct, tuples, 3, 1, spectral);
    EXPECT_EQ(scratch.DirectPoints().size(), 256u);
    EXPECT_TRUE(scratch.Grouped().empty());

    ExpectSummationsAgree({"mixed plan", g, previous, current, field, nullptr});
}
