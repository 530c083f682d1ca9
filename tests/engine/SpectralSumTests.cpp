// The tabulated, threaded grouped sum: the same bits on any thread count and under any
// cache budget, and rules of the vector shape (three outputs mixing two inputs, with
// and without coefficient tables) against the direct sum.
#include "EngineTestSupport.h"
#include "engine/SpectralSum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ksn;
using namespace ksn::test;

namespace {

const double kK0 = 2.0 * kPi / kLambda;

std::shared_ptr<TScalarEField> Beam(const TGridParms& g, double w, double tiltX, double tiltY, double shift = 0.0)
{
    return MakeField(g, kLambda, [&](int c, int r) {
        const double x = XOf(g, c) - shift, y = YOf(g, r);
        return std::exp(-(x * x + y * y) / (w * w)) *
               TCplx(std::cos(tiltX * x + tiltY * y), std::sin(tiltX * x + tiltY * y));
    });
}

// Three absorbing materials in stripes and a disc, different on both slices.
struct TScene {
    TGridParms grid;
    TComplexArray previous, current;
    std::shared_ptr<TScalarEField> forward, backward;

    TScene(int nx, int ny) : grid(MakeGrid(nx, ny, 0.4, 0.5, 0.5))
    {
        const TCplx n[3] = {1.45, TCplx(1.6, 0.02), TCplx(1.52, 0.005)};
        previous = MakeSlice(grid, [&](int c, int) { return n[(c / 5) % 3]; });
        current = MakeSlice(grid, [&](int c, int r) {
            const double dx = c - nx / 2.0, dy = r - ny / 2.0;
            return dx * dx + dy * dy < nx * ny / 12.0 ? n[1] : n[(r / 3) % 3];
        });
        forward = Beam(grid, 2.0e-6, 0.3 * kK0, -0.1 * kK0);
        backward = Beam(grid, 1.5e-6, -0.2 * kK0, 0.2 * kK0, 1e-6);
    }
};

std::vector<TCplx> Step(TBrelWaveOptics& engine, TSummation s, const TScene& scene, TField* forward, TField* backward)
{
    engine.SetSummation(s);
    return Values(*test::Step(StepOf(engine, TSimMethod::swpm, scene.grid), scene.previous, scene.current,
                              scene.grid, forward, backward));
}

} // namespace

TEST(SpectralSum, ThreadCountLeavesEveryBitAlone)
{
    for (const auto& [nx, ny] : {std::pair{32, 16}, std::pair{8, 8}, std::pair{64, 1}}) {
        const TScene scene(nx, ny);
        const struct {
            TField* forward;
            TField* backward;
            const char* mode;
        } modes[] = {{scene.forward.get(), nullptr, "forward"},
                     {nullptr, scene.backward.get(), "backward"},
                     {scene.forward.get(), scene.backward.get(), "both"}};
        for (const auto& m : modes)
            for (const TSummation s : {TSummation::grouped, TSummation::automatic, TSummation::direct}) {
                if (s == TSummation::direct && nx * ny > 64)
                    continue; // the point-by-point reference only on tiny grids
                TBrelWaveOptics one;
                const std::vector<TCplx> expected = Step(one, s, scene, m.forward, m.backward);
                for (const int threads : {2, 3}) {
                    TBrelWaveOptics many(threads);
                    EXPECT_EQ(Step(many, s, scene, m.forward, m.backward), expected)
                        << nx << "x" << ny << " " << m.mode << " " << SummationName(s) << " on " << threads
                        << " threads";
                }
            }
    }
}

TEST(SpectralSum, CoefficientTablesAreReusedAndTheBudgetChangesNoBit)
{
    const TScene scene(32, 16);
    // A second slice pair with other tuples, so that a one-table budget must evict.
    const TComplexArray other = UniformSlice(scene.grid, TCplx(1.33, 0.001));
    // The bulk tuples get their tables at the first step, the small ones (a few points of
    // the stripes' ends) when they recur, at the second; from then on every lookup hits.
    TBrelWaveOptics ample;
    const TCoefficientCache& cache = ample.CoefficientCache();
    const auto first = Step(ample, TSummation::grouped, scene, scene.forward.get(), nullptr);
    const std::uint64_t tuples = std::uint64_t(ample.GetLastTupleCount());
    EXPECT_EQ(cache.Misses(), tuples) << "one lookup per tuple";
    EXPECT_LT(cache.Tables(), tuples) << "a small tuple met once has no table yet";
    EXPECT_EQ(Step(ample, TSummation::grouped, scene, scene.forward.get(), nullptr), first);
    EXPECT_EQ(cache.Tables(), tuples) << "every recurring tuple has its table";
    const std::uint64_t misses = cache.Misses();
    EXPECT_EQ(Step(ample, TSummation::grouped, scene, scene.forward.get(), nullptr), first);
    EXPECT_EQ(cache.Misses(), misses) << "a recurring tuple reuses its table";
    EXPECT_GE(cache.Hits(), tuples);

    TBrelWaveOptics none;
    none.SetCoefficientBudget(0);
    EXPECT_EQ(Step(none, TSummation::grouped, scene, scene.forward.get(), nullptr), first)
        << "coefficients computed on the fly";
    EXPECT_EQ(none.CoefficientCache().Tables(), 0u);

    TBrelWaveOptics tight(2);
    tight.SetCoefficientBudget(size_t(scene.grid.nx * scene.grid.ny) * 16 * 2);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Step(tight, TSummation::grouped, scene, scene.forward.get(), nullptr), first) << round;
        test::Step(StepOf(tight, TSimMethod::swpm, scene.grid), other, scene.current, scene.grid,
                   scene.forward.get());
    }
    EXPECT_GT(tight.CoefficientCache().Evictions(), 0u);
    EXPECT_LE(tight.CoefficientCache().Bytes(), tight.CoefficientCache().Budget());
}

TEST(SpectralSum, StepLeavesItsInputFieldsUntouched)
{
    const TScene scene(16, 8);
    const std::vector<TCplx> forward = Values(*scene.forward), backward = Values(*scene.backward);
    TBrelWaveOptics engine(2);
    Step(engine, TSummation::automatic, scene, scene.forward.get(), scene.backward.get());
    EXPECT_EQ(Values(*scene.forward), forward);
    EXPECT_EQ(Values(*scene.backward), backward);
}

namespace {

// A rule of the vector shape: outputs (x, y, z) from forward inputs (x, y) and backward
// inputs (x, y), mixed by a matrix that depends on the wave's direction and the tuple,
// with a longitudinal phase and absorption:
//   M = [ ts           0.2 kx/k0     | ts/2   0    ]
//       [ -0.3 ky/k0   tp            | 0      tp/2 ]
//       [ -kx ts/kz2   -ky tp/kz2    | 0      0    ] a,   phase kz2 dz.
struct TMixingRule {
    static constexpr int kComponents = 3;
    static constexpr int kLocals = 0;
    static constexpr int kInputs = 2;
    static constexpr TIndexParts kParts{true, true, true, true};
    TExtended k0 = 0, dz = 0;

    int Variant() const { return 0; }

    template <class R>
    bool Matrix(R kx, R ky, R kt2, const TIndexTuple& n, TComplexOf<R>* M, R& phase) const
    {
        const R k = R(k0), n1 = R(n.n1.re), n2 = R(n.n2.re);
        const R kz2sq = (n2 * k) * (n2 * k) - kt2;
        if (!(kz2sq > R(0)))
            return false;
        const R kz2 = std::sqrt(kz2sq);
        const R ts = R(2) * n1 / (n1 + n2), tp = R(1) + R(n.n1.im) * R(10);
        const R a = std::exp(-k * R(n.n2.im) * R(dz) * n2 * k / kz2);
        const R values[3][4] = {{ts, R(0.2) * kx / k, ts / R(2), R(0)},
                                {R(-0.3) * ky / k, tp, R(0), tp / R(2)},
                                {-kx * ts / kz2, -ky * tp / kz2, R(0), R(0)}};
        for (int m = 0; m < 3; ++m)
            for (int c = 0; c < 4; ++c)
                M[m * 4 + c] = {a * values[m][c], R(0)};
        phase = kz2 * R(dz);
        return true;
    }

    template <class R>
    bool Coefficients(const TWaveVector& w, const TIndexTuple& n, TComplexOf<R>* M, R& phase) const
    {
        return Matrix<R>(R(w.kx), R(w.ky), R(w.kt2), n, M, phase);
    }

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* /*local*/) const
    {
        TComplexOf<R> M[12];
        if (!Matrix<R>(R(w.kx), R(w.ky), R(w.kt2), n, M, phase))
            return false;
        const TComplexOf<R> u[4] = {Widen<R>(w.forward[0]), Widen<R>(w.forward[1]), Widen<R>(w.backward[0]),
                                    Widen<R>(w.backward[1])};
        for (int m = 0; m < 3; ++m) {
            lateral[m] = {};
            for (int c = 0; c < 4; ++c)
                lateral[m] = lateral[m] + M[m * 4 + c] * u[c];
        }
        return true;
    }
};

// The same rule without tables, with a local term: the total |lateral|^2 over the waves.
struct TEvaluatedRule {
    static constexpr int kComponents = 3;
    static constexpr int kLocals = 1;
    TMixingRule mixing;

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* local) const
    {
        if (!mixing.Evaluate<R>(w, n, lateral, phase, nullptr))
            return false;
        local[0] = {R(0), R(0)};
        for (int m = 0; m < 3; ++m)
            local[0].re += lateral[m].re * lateral[m].re + lateral[m].im * lateral[m].im;
        return true;
    }
};

struct TVectorCase {
    TGridParms grid;
    TSpectralGrid spectral;
    TIndexTuples tuples;
    TComplexArray fx, fy, bx, by;

    explicit TVectorCase(const TScene& scene) : grid(scene.grid)
    {
        spectral.Setup(grid, kLambda, "Test");
        tuples.Build(scene.previous, scene.current, grid.nx, grid.ny, TMixingRule::kParts, "Test");
        fx = scene.forward->E();
        by = scene.backward->E();
        fy = MakeSlice(grid, [&](int c, int r) { return TCplx(0.5, 0.1 * (c - r)) * 0.01; });
        bx = MakeSlice(grid, [&](int c, int r) { return TCplx(0.02 * std::sin(0.3 * c), 0.01 * r / grid.ny); });
    }

    // Outputs x, y, z then the local term, in one vector.
    template <class Rule>
    std::vector<TCplx> Sum(const Rule& rule, TSummation s, bool backward, int threads)
    {
        std::unique_ptr<TWorkTeam> team = threads > 1 ? std::make_unique<TWorkTeam>(threads) : nullptr;
        TSpectralSum sum;
        sum.Setup(spectral, team.get());
        const TComplexArray* f[2] = {&fx, &fy};
        const TComplexArray* b[2] = {&bx, &by};
        sum.TransformInputs(f, backward ? b : nullptr, 2);
        TComplexArray out[4] = {TComplexArray(grid.nx, grid.ny), TComplexArray(grid.nx, grid.ny),
                                TComplexArray(grid.nx, grid.ny), TComplexArray(grid.nx, grid.ny)};
        TSumTargets targets;
        for (int m = 0; m < 3; ++m) {
            targets.re[m] = out[m].Re();
            targets.im[m] = out[m].Im();
        }
        targets.localRe[0] = out[3].Re();
        targets.localIm[0] = out[3].Im();
        const TExtended k0 = spectral.K0();
        const auto keep = [k0](TExtended, TExtended, TExtended kt2) { return k0 * k0 - kt2 > 0.0L; };
        RunSpectralSum(rule, keep, s, sum, tuples, targets);
        std::vector<TCplx> all;
        for (const TComplexArray& a : out) {
            const std::vector<TCplx> v = Values(a);
            all.insert(all.end(), v.begin(), v.end());
        }
        return all;
    }
};

} // namespace

TEST(SpectralSum, VectorShapedRuleWithTablesMatchesTheDirectSum)
{
    const TScene scene(16, 8);
    TVectorCase vc(scene);
    const TMixingRule rule{vc.spectral.K0(), vc.spectral.DZ()};
    for (const bool backward : {false, true}) {
        const auto direct = vc.Sum(rule, TSummation::direct, backward, 1);
        const auto grouped = vc.Sum(rule, TSummation::grouped, backward, 1);
        EXPECT_LT(RelativeL2(grouped, direct), 1e-10) << (backward ? "both inputs" : "forward only");
        EXPECT_EQ(vc.Sum(rule, TSummation::grouped, backward, 3), grouped) << "threads";
    }
}

TEST(SpectralSum, RuleWithoutTablesAndWithLocalTermsMatchesTheDirectSum)
{
    const TScene scene(16, 8);
    TVectorCase vc(scene);
    const TEvaluatedRule rule{{vc.spectral.K0(), vc.spectral.DZ()}};
    const auto direct = vc.Sum(rule, TSummation::direct, true, 1);
    const auto grouped = vc.Sum(rule, TSummation::grouped, true, 1);
    EXPECT_LT(RelativeL2(grouped, direct), 1e-10);
    EXPECT_EQ(vc.Sum(rule, TSummation::grouped, true, 2), grouped) << "threads";
    // The local term is the same number at every point of a tuple, summed over the waves.
    const size_t n = size_t(vc.grid.nx * vc.grid.ny);
    EXPECT_GT(std::abs(grouped[3 * n]), 0.0);
}

TEST(SpectralSum, PlainPointSumOfTheCallerCollectedWavesAgrees)
{
    // RunPointSum: the caller transforms and collects the plane waves, the rule is
    // evaluated per wave, one thread. Same rule, same field as above.
    const TScene scene(16, 8);
    TVectorCase vc(scene);
    const TMixingRule rule{vc.spectral.K0(), vc.spectral.DZ()};
    TComplexArray fx = vc.fx, fy = vc.fy;
    FastCentredFFT(fx, +1);
    FastCentredFFT(fy, +1);
    const TComplexArray* forward[2] = {&fx, &fy};
    const TExtended k0 = vc.spectral.K0();
    std::vector<TPlaneWave> waves;
    CollectPlaneWaves(vc.spectral, forward, nullptr, 2, 2, vc.spectral.CentredSign() / double(fx.Count()),
                      [k0](TExtended, TExtended, TExtended kt2) { return k0 * k0 - kt2 > 0.0L; }, waves);
    std::vector<TCplx> plain[2];
    for (const TSummation s : {TSummation::grouped, TSummation::direct}) {
        TComplexArray out[3] = {TComplexArray(16, 8), TComplexArray(16, 8), TComplexArray(16, 8)};
        TSumTargets targets;
        for (int m = 0; m < 3; ++m) {
            targets.re[m] = out[m].Re();
            targets.im[m] = out[m].Im();
        }
        TSumScratch scratch;
        RunPointSum(rule, s, vc.spectral, waves, vc.tuples, scratch, targets);
        for (const TComplexArray& a : out) {
            const std::vector<TCplx> v = Values(a);
            plain[s == TSummation::direct].insert(plain[s == TSummation::direct].end(), v.begin(), v.end());
        }
    }
    EXPECT_LT(RelativeL2(plain[0], plain[1]), 1e-10);
    std::vector<TCplx> tabulated = vc.Sum(rule, TSummation::grouped, false, 1);
    tabulated.resize(plain[0].size()); // without the local term's block
    EXPECT_LT(RelativeL2(tabulated, plain[1]), 1e-10);
}
