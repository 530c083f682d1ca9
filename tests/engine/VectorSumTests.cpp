// The vector steps summed in different ways give one result: direct, grouped and
// automatic summation, single-threaded and pooled on 1 to 4 threads, split by rows and by
// columns, in every mode.
#include "VectorTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

using namespace ksn;
using namespace ksn::test;

namespace {

const double kK0 = 2.0 * kPi / kLambda;

std::shared_ptr<TVectorEField> Beam(const TGridParms& g, double width, double tiltX, double tiltY, TCplx ey)
{
    return MakeVectorField(g, kLambda, [&](int c, int r) {
        const double x = XOf(g, c), y = YOf(g, r), phase = tiltX * x + tiltY * y;
        const TCplx e = std::exp(-(x * x + y * y) / (width * width)) * TCplx(std::cos(phase), std::sin(phase));
        return TVec{e, ey * e, 0.3 * e};
    });
}

// A disc of index `core` (radius a fraction of the grid) in `cladding`.
TComplexArray Disc(const TGridParms& g, TCplx core, TCplx cladding, double fraction)
{
    return MakeSlice(g, [&](int c, int r) {
        const double u = (c - g.nx / 2.0) / g.nx, v = (r - g.ny / 2.0) / g.ny;
        return u * u + v * v <= fraction * fraction ? core : cladding;
    });
}

// A slice step with its fields. dx = dy = 0.25 um puts the spectrum out to 2 k0, so narrow
// beams carry evanescent plane waves; the evanescent switch is on.
struct TScene {
    std::string name;
    TGridParms grid;
    TComplexArray previous, current;
    std::shared_ptr<TVectorEField> a, b;
};

TScene MakeScene(const std::string& name, int nx, int ny, TCplx n1Core, TCplx n1, TCplx n2Core, TCplx n2)
{
    TScene s{name, MakeGrid(nx, ny, 0.25, 0.25, 0.2), {}, {}, nullptr, nullptr};
    s.grid.evanescent = true;
    s.previous = Disc(s.grid, n1Core, n1, 0.2);
    s.current = Disc(s.grid, n2Core, n2, 0.3);
    const double w = 0.12 * nx * 0.25e-6;
    s.a = Beam(s.grid, w, 0.4 * kK0, -0.2 * kK0, TCplx(0.0, 0.5));
    s.b = Beam(s.grid, 0.7 * w, -0.3 * kK0, 0.1 * kK0, 0.25);
    return s;
}

TVectorResult RunStep(const TPropagationStep& step, const TScene& s, TField* forward, TField* backward, bool homogeneous)
{
    return ResultOf(*Step(step, s.previous, s.current, s.grid, forward, backward, homogeneous));
}

// Components (L2), flux map (max) and total flux of `other` relative to `reference`.
void ExpectSame(const TVectorResult& other, const TVectorResult& reference, double tolerance, const std::string& what)
{
    double norm = 0.0;
    for (const TCplx& v : reference.Components())
        norm += std::norm(v);
    ASSERT_GT(norm, 0.0) << what << ": a scene that yields nothing compares nothing";
    EXPECT_LT(RelativeL2(other.Components(), reference.Components()), tolerance) << what;
    EXPECT_LT(RelativeMax(other.flux, reference.flux), tolerance) << what << " flux map";
    EXPECT_LE(std::abs(other.total - reference.total), tolerance * std::abs(reference.total)) << what << " total flux";
}

// Every bit of the components, the flux map and the total flux.
void ExpectIdentical(const TVectorResult& other, const TVectorResult& reference, const std::string& what)
{
    EXPECT_EQ(other.Components(), reference.Components()) << what;
    EXPECT_EQ(other.flux, reference.flux) << what << " flux map";
    EXPECT_EQ(other.total, reference.total) << what << " total flux";
}

std::vector<TModeCase> Modes(const TScene& s)
{
    return {{"forward", s.a.get(), nullptr}, {"backward", nullptr, s.b.get()}, {"both", s.a.get(), s.b.get()}};
}

} // namespace

// A plane-wave-rich beam at the grazing column: nx dx = 4 lambda puts column 0 at
// kx = -k0 exactly, so kz2 = 0 in vacuum, while the wave is evanescent in 0.8.
TScene GrazingScene()
{
    TScene s{"grazing", MakeGrid(8, 8, 0.5, 0.5, 0.25), {}, {}, nullptr, nullptr};
    s.grid.evanescent = true;
    s.previous = Disc(s.grid, 0.8, 1.0, 0.3);
    s.current = UniformSlice(s.grid, 1.0);
    s.a = Beam(s.grid, 0.6e-6, -0.9 * kK0, 0.0, 1.0);
    s.b = Beam(s.grid, 0.8e-6, 0.5 * kK0, 0.0, 0.5);
    return s;
}

TEST(VectorSummation, GroupedAndAutomaticAgreeWithDirectForEveryStepIncludingEvanescentCases)
{
    // Index steps both ways (evanescent waves turning propagating, total internal
    // reflection), equal indices with evanescent waves (unpropagated Ez), absorption,
    // grazing incidence.
    const TScene scenes[] = {
        MakeScene("step up", 16, 8, 1.0, 1.45, 1.6, 1.45),
        MakeScene("total internal reflection", 8, 16, 1.5, 1.5, 1.0, TCplx(1.5, 0.01)),
        MakeScene("absorbing core, equal cladding", 16, 16, TCplx(1.5, 0.02), 1.2, TCplx(1.6, 0.05), 1.2),
        GrazingScene(),
    };
    for (const TScene& s : scenes) {
        for (const TVectorStepForm& kind : kVectorSteps) {
            for (const bool pooled : {false, true}) {
                for (const TModeCase& m : Modes(s)) {
                    std::ostringstream what;
                    what << s.name << ", " << kind.name << (pooled ? " pooled" : "") << ", " << m.name;
                    const auto run = [&](TSummation summation) {
                        TBrelWaveOptics engine(2);
                        engine.SetSummation(summation);
                        TakeExtraModes(engine, s.grid, 3);
                        return RunStep(pooled ? kind.Pooled(engine) : kind.Single(engine), s, m.forward, m.backward,
                                       false);
                    };
                    const TVectorResult direct = run(TSummation::direct);
                    ExpectSame(run(TSummation::grouped), direct, 1e-10, what.str() + " grouped");
                    ExpectSame(run(TSummation::automatic), direct, 1e-10, what.str() + " automatic");
                }
            }
        }
    }
}

TEST(VectorSummation, CoefficientTablesAreReusedAcrossSlicesAndTheBudgetChangesNoBit)
{
    // A 32 x 8 scene, absorbing on the current slice, both inputs, evanescent switch on:
    // the tables hold the transverse and longitudinal rows for six input columns, the
    // unpropagated Ez of equal real indices (the cladding) and the flux form. Slices with
    // the same tuples reuse them; no budget (every panel's coefficients made on the fly)
    // and a one-table budget (evicted and remade between two slice pairs with other
    // tuples) change no bit.
    const TScene s = MakeScene("absorbing", 32, 8, 1.6, 1.45, TCplx(1.6, 0.03), TCplx(1.45, 0.01));
    const TScene other = MakeScene("other", 32, 8, 1.0, 1.3, TCplx(1.2, 0.02), 1.3);
    for (const TVectorStepForm& kind : {kVWPM, kVWPMAllComplex}) {
        const auto run = [&](TBrelWaveOptics& engine, const TScene& scene) {
            engine.SetSummation(TSummation::grouped);
            return RunStep(kind.Single(engine), scene, s.a.get(), s.b.get(), false);
        };
        TBrelWaveOptics ample(2);
        const TVectorResult first = run(ample, s);
        const TCoefficientCache& cache = ample.CoefficientCache();
        ExpectIdentical(run(ample, s), first, std::string(kind.name) + " second slice");
        EXPECT_EQ(cache.Tables(), std::uint64_t(ample.GetLastTupleCount())) << kind.name << ": one table per tuple";
        const std::uint64_t misses = cache.Misses();
        ExpectIdentical(run(ample, s), first, std::string(kind.name) + " third slice");
        EXPECT_EQ(cache.Misses(), misses) << kind.name << ": a recurring tuple reuses its table";

        // A reused output is overwritten whole, components and flux map, whether the
        // tuples are grouped (stored) or direct (added into zeros).
        for (const TSummation summation : {TSummation::grouped, TSummation::direct}) {
            const double nan = std::nan("");
            auto stale = std::make_shared<TVectorEField>(s.grid);
            for (TComplexArray* a : {&stale->EX(), &stale->EY(), &stale->EZ(), &stale->EnergyFluxMap()})
                a->Fill({nan, nan});
            TFieldRef output = stale;
            ample.SetSummation(summation);
            kind.Single(ample)(TStepInput{0, &s.previous, {}, &s.current, {}, false, &s.grid, s.a.get(), s.b.get()},
                               output);
            ASSERT_EQ(output.get(), stale.get());
            ExpectIdentical(ResultOf(*output), RunStep(kind.Single(ample), s, s.a.get(), s.b.get(), false),
                            std::string(kind.name) + " into a stale output, summation " +
                                std::to_string(int(summation)));
        }

        TBrelWaveOptics none;
        none.SetCoefficientBudget(0);
        ExpectIdentical(run(none, s), first, std::string(kind.name) + " without tables");
        EXPECT_EQ(none.CoefficientCache().Tables(), 0u) << kind.name;

        TBrelWaveOptics tight(3);
        tight.SetCoefficientBudget(cache.Bytes() / cache.Tables());
        for (int round = 0; round < 3; ++round) {
            ExpectIdentical(run(tight, s), first, std::string(kind.name) + " one-table budget, round " +
                                                      std::to_string(round));
            run(tight, other);
        }
        EXPECT_GT(tight.CoefficientCache().Evictions(), 0u) << kind.name;
        EXPECT_LE(tight.CoefficientCache().Bytes(), tight.CoefficientCache().Budget()) << kind.name;
    }
}

TEST(VectorSummation, PlaneWavesWithoutTransverseAmplitudesAreNotCarriedWhateverTheirEz)
{
    // The real-kz step skips a plane wave whose Ex and Ey vanish in every input. A field
    // of Ez alone therefore yields nothing, although with equal indices and the evanescent
    // switch on an evanescent wave's Ez is otherwise carried unpropagated (forward) or
    // transmitted (backward only).
    TGridParms g = MakeGrid(8, 16, 0.25, 0.25, 0.2);
    g.evanescent = true;
    const auto field = MakeVectorField(g, kLambda, [&](int c, int r) {
        const double x = XOf(g, c), y = YOf(g, r);
        return TVec{0.0, 0.0, std::exp(-(x * x + y * y) / 0.5e-12)};
    });
    const TComplexArray n = UniformSlice(g, TCplx(1.3, 0.01));
    for (const TSummation summation : {TSummation::direct, TSummation::grouped}) {
        for (const bool backward : {false, true}) {
            TBrelWaveOptics engine(2);
            engine.SetSummation(summation);
            const TVectorResult r = ResultOf(*Step(kVWPM.Single(engine), n, n, g, backward ? nullptr : field.get(),
                                                   backward ? field.get() : nullptr));
            const std::string what = std::string(SummationName(summation)) + (backward ? " backward" : " forward");
            EXPECT_EQ(r.Components(), std::vector<TCplx>(3 * 8 * 16, 0.0)) << what;
            EXPECT_EQ(r.flux, std::vector<double>(8 * 16, 0.0)) << what;
        }
    }
}

TEST(VectorPooled, PooledStepsEqualSingleThreadedBitForBitForOneToFourThreads)
{
    // Tall, square and wide grids; the small ones summed directly, the large ones grouped.
    // The hybrids run their spectral path (homogeneous flag set: only the index at (0, 0)
    // counts). Every item of the sum computes the same values on whichever thread runs
    // it, so the thread count leaves every bit alone.
    const struct {
        int nx, ny;
        TSummation summation;
    } grids[] = {{8, 16, TSummation::direct},
                 {8, 8, TSummation::direct},
                 {64, 128, TSummation::grouped},
                 {128, 32, TSummation::grouped}};
    for (const auto& grid : grids) {
        const TScene s = MakeScene(std::to_string(grid.nx) + "x" + std::to_string(grid.ny), grid.nx, grid.ny,
                                   TCplx(1.6, 0.01), 1.45, 1.0, 1.45);
        for (const TVectorStepForm& kind : kVectorSteps) {
            for (const TModeCase& m : Modes(s)) {
                std::ostringstream what;
                what << s.name << " " << SummationName(grid.summation) << ", " << kind.name << ", " << m.name;
                TBrelWaveOptics single;
                single.SetSummation(grid.summation);
                TakeExtraModes(single, s.grid, 2);
                const TVectorResult reference = RunStep(kind.Single(single), s, m.forward, m.backward, kind.hybrid);
                for (int threads = 1; threads <= 4; ++threads) {
                    TBrelWaveOptics engine(threads);
                    engine.SetSummation(grid.summation);
                    TakeExtraModes(engine, s.grid, 2);
                    const TVectorResult pooled =
                        RunStep(kind.Pooled(engine), s, m.forward, m.backward, kind.hybrid);
                    ExpectIdentical(pooled, reference, what.str() + ", " + std::to_string(threads) + " threads");
                }
            }
        }
    }
}

TEST(VectorPooled, AutomaticPlanMixingDirectAndGroupedTuplesMatchesSingleThreaded)
{
    // Three plane waves: the bulk index is cheaper grouped, the single-point tuples of one
    // graded line are summed directly; that line is a row on a 16 x 16 grid (columns
    // split the work) and a column on an 8 x 32 grid (rows split it).
    for (const auto& [nx, ny] : {std::pair{16, 16}, std::pair{8, 32}}) {
        const TGridParms g = MakeGrid(nx, ny, 0.4, 0.4, 0.5);
        const double k = 2.0 * kPi / (nx * 0.4e-6);
        const auto field = MakeVectorField(g, kLambda, [&](int c, int) {
            const double x = XOf(g, c);
            const TCplx e = 1.0 + std::exp(TCplx(0.0, k * x)) + std::exp(TCplx(0.0, -2.0 * k * x));
            return TVec{e, 0.5 * e, 0.0};
        });
        const TComplexArray current = MakeSlice(g, [&](int c, int r) {
            const int along = nx == ny ? c : r, line = nx == ny ? r : c;
            return line == 1 ? TCplx(1.5 + 0.001 * along, 0.0) : TCplx(1.5);
        });
        const TScene s{std::to_string(nx) + "x" + std::to_string(ny), g, UniformSlice(g, 1.5), current, field, nullptr};
        for (const TVectorStepForm& kind : {kVWPM, kVWPMAllComplex}) {
            TBrelWaveOptics single;
            const TVectorResult reference = RunStep(kind.Single(single), s, s.a.get(), nullptr, false);
            TBrelWaveOptics engine(3);
            ExpectSame(RunStep(kind.Pooled(engine), s, s.a.get(), nullptr, false), reference, 1e-12,
                       s.name + " " + kind.name);
        }
    }
}

TEST(VectorPooled, MultithreadedEngineSelectsThePooledStepsAndRunsThem)
{
    const TScene s = MakeScene("selected", 8, 16, 1.6, 1.45, 1.0, 1.45);
    for (const TSimMethod method : {TSimMethod::vwpm, TSimMethod::vwpmh}) {
        for (const bool allComplex : {false, true}) {
            TGlobalParms global;
            global.simMethod = method;
            global.allComplex = allComplex;
            TBrelWaveOptics single, pooled(2);
            const TPropagationStep a = single.GetPropFunc(global), b = pooled.GetPropFunc(global);
            ASSERT_TRUE(a && b);
            ExpectSame(RunStep(b, s, s.a.get(), nullptr, false), RunStep(a, s, s.a.get(), nullptr, false), 1e-12,
                       std::string(allComplex ? "all-complex " : "") + (method == TSimMethod::vwpm ? "vwpm" : "vwpmh"));
        }
    }
}
