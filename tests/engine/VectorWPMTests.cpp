// Physics and contract of the vector wave-propagation steps: PropagateVWPM,
// PropagateVWPMAllComplex and the hybrids PropagateVWPMH, PropagateVWPMHAllComplex.
#include "VectorTestSupport.h"
#include "numerics/GeneralError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

using namespace ksn;
using namespace ksn::test;

namespace {

const double kK0 = 2.0 * kPi / kLambda;

TCplx Expi(double phase) { return {std::cos(phase), std::sin(phase)}; }

double Dz(const TGridParms& g) { return g.dz * g.scaleFactor; }

// The plane wave of spectral index (j, i): e^{i (kx x + ky y)} with the grid's kx, ky.
struct TWave {
    double kx, ky;
    TCplx At(const TGridParms& g, int c, int r) const { return Expi(kx * XOf(g, c) + ky * YOf(g, r)); }
};

TWave WaveOf(const TGridParms& g, int j, int i)
{
    const double kx = g.nx >= 2 ? (j - g.nx / 2.0) * 2.0 * kPi / (g.nx * g.dx * g.scaleFactor) : 0.0;
    const double ky = g.ny >= 2 ? (i - g.ny / 2.0) * 2.0 * kPi / (g.ny * g.dy * g.scaleFactor) : 0.0;
    return {kx, ky};
}

// A plane wave of polarisation (px, py, pz) at every point.
std::shared_ptr<TVectorEField> PlaneWave(const TGridParms& g, const TWave& w, TVec p)
{
    return MakeVectorField(g, kLambda, [&](int c, int r) {
        const TCplx e = w.At(g, c, r);
        return TVec{p.x * e, p.y * e, p.z * e};
    });
}

std::shared_ptr<TVectorEField> Beam(const TGridParms& g, double width, double tiltX, double tiltY)
{
    return MakeVectorField(g, kLambda, [&](int c, int r) {
        const double x = XOf(g, c), y = YOf(g, r);
        const TCplx e = std::exp(-(x * x + y * y) / (width * width)) * Expi(tiltX * x + tiltY * y);
        return TVec{e, TCplx(0.0, 0.4) * e, 0.2 * e};
    });
}

// One step of a single-threaded vector form; the hybrids take the spectral path when
// `homogeneous` is set.
TVectorResult StepOnce(const TVectorStepForm& kind, const TComplexArray& previous, const TComplexArray& current,
                       const TGridParms& g, TField* forward, TField* backward = nullptr, bool homogeneous = false,
                       TSummation summation = TSummation::automatic, int extraModes = 0)
{
    TBrelWaveOptics engine;
    engine.SetSummation(summation);
    TakeExtraModes(engine, g, extraModes);
    return ResultOf(*Step(kind.Single(engine), previous, current, g, forward, backward, homogeneous));
}

void ExpectNear(const std::vector<TCplx>& values, const std::function<TCplx(int)>& expected, double tolerance,
                const std::string& what)
{
    for (size_t p = 0; p < values.size(); ++p)
        ASSERT_LT(std::abs(values[p] - expected(int(p))), tolerance)
            << what << " at point " << p << ": " << values[p] << " expected " << expected(int(p));
}

void ExpectAll(const std::vector<TCplx>& values, TCplx expected, double tolerance, const std::string& what)
{
    ExpectNear(values, [&](int) { return expected; }, tolerance, what);
}

} // namespace

TEST(VectorWPM, UniformLosslessMediumKeepsXPolarisedNormalWaveAndItsFlux)
{
    // Flux of a normal plane wave (Hy = n Ex): dA n |Ex|^2 per point.
    const TGridParms g = MakeGrid(8, 16);
    const double n = 1.5, dA = g.dx * g.dy * 1e-12;
    const TComplexArray medium = UniformSlice(g, n);
    for (const TVectorStepForm& kind : kVectorSteps) {
        for (const TSummation s : {TSummation::direct, TSummation::grouped}) {
            const std::string what = std::string(kind.name) + " " + SummationName(s);
            TBrelWaveOptics engine;
            engine.SetSummation(s);
            const TPropagationStep step = kind.Single(engine);
            TFieldRef field = MakeVectorField(g, kLambda, [](int, int) { return TVec{1.0, 0.0, 0.0}; });
            for (int slice = 1; slice <= 3; ++slice) {
                field = Step(step, medium, medium, g, field.get(), nullptr, kind.hybrid);
                const TVectorResult r = ResultOf(*field);
                ExpectAll(r.ex, Expi(slice * n * kK0 * Dz(g)), 1e-12, what + " Ex");
                ExpectAll(r.ey, 0.0, 1e-14, what + " Ey");
                ExpectAll(r.ez, 0.0, 1e-14, what + " Ez");
                for (const double f : r.flux)
                    ASSERT_NEAR(f / (dA * n), 1.0, 1e-12) << what << " flux per point";
                EXPECT_NEAR(r.total / (g.nx * g.ny * dA * n), 1.0, 1e-12) << what << " total flux";
            }
        }
    }
}

TEST(VectorWPM, NormalIncidenceOnAStepMultipliesBothTransverseComponentsBy2n1OverN1PlusN2)
{
    const TGridParms g = MakeGrid(8, 16);
    const auto field = MakeVectorField(g, kLambda, [](int, int) { return TVec{1.0, TCplx(0.0, 0.5), 0.0}; });
    for (const auto& [n1, n2] : {std::pair{1.0, 1.5}, std::pair{1.5, 1.0}, std::pair{1.33, 2.4}}) {
        const double t = 2.0 * n1 / (n1 + n2);
        const TCplx p = Expi(n2 * kK0 * Dz(g));
        for (const TVectorStepForm& kind : kVectorSteps) {
            const std::string what = std::string(kind.name) + " n1=" + std::to_string(n1);
            const TVectorResult r =
                StepOnce(kind, UniformSlice(g, n1), UniformSlice(g, n2), g, field.get(), nullptr, kind.hybrid);
            ExpectAll(r.ex, t * p, 1e-12, what + " Ex");
            ExpectAll(r.ey, TCplx(0.0, 0.5) * t * p, 1e-12, what + " Ey");
            ExpectAll(r.ez, 0.0, 1e-14, what + " Ez");
        }
    }
}

TEST(VectorWPM, ObliquePAndSWavesAreMultipliedByTheirOwnFresnelFactorsWithoutMixing)
{
    // A wave along a signed, off-axis direction (kx = 0.25 k0, ky = -0.5 k0) on a grid with
    // dx != dy. Textbook p transmission tp = 2 n1 n2 kz1 / (n2^2 kz1 + n1^2 kz2) acts on the
    // whole p field; its transverse part scales by tp (n1 kz2)/(n2 kz1). s: ts = 2 kz1/(kz1 + kz2).
    const TGridParms g = MakeGrid(8, 16, 0.5, 0.25, 0.25);
    const TWave w = WaveOf(g, 5, 6);
    const double n1 = 1.0, n2 = 1.6, kt = std::hypot(w.kx, w.ky);
    const double kz1 = std::sqrt(n1 * n1 * kK0 * kK0 - kt * kt), kz2 = std::sqrt(n2 * n2 * kK0 * kK0 - kt * kt);
    const double tp = 2 * n1 * n2 * kz1 / (n2 * n2 * kz1 + n1 * n1 * kz2);
    const double tq = tp * n1 * kz2 / (n2 * kz1), ts = 2 * kz1 / (kz1 + kz2);
    const TVec p{w.kx / kt, w.ky / kt, -kt / kz1}; // transverse unit vector along kt, Ez by k . E = 0
    const TVec s{-w.ky / kt, w.kx / kt, 0.0};
    const TComplexArray previous = UniformSlice(g, n1), current = UniformSlice(g, n2);
    for (const TVectorStepForm& kind : kVectorSteps) {
        const std::string name = kind.name;
        const auto at = [&](int q) { return w.At(g, q % g.nx, q / g.nx) * Expi(kz2 * Dz(g)); };
        const TVectorResult rp = StepOnce(kind, previous, current, g, PlaneWave(g, w, p).get(), nullptr, kind.hybrid,
                                          TSummation::direct);
        ExpectNear(rp.ex, [&](int q) { return tq * p.x.real() * at(q); }, 1e-12, name + " p: Ex");
        ExpectNear(rp.ey, [&](int q) { return tq * p.y.real() * at(q); }, 1e-12, name + " p: Ey");
        ExpectNear(rp.ez, [&](int q) { return -tq * kt / kz2 * at(q); }, 1e-12, name + " p: Ez");
        const TVectorResult rs = StepOnce(kind, previous, current, g, PlaneWave(g, w, s).get(), nullptr, kind.hybrid,
                                          TSummation::direct);
        ExpectNear(rs.ex, [&](int q) { return ts * s.x.real() * at(q); }, 1e-12, name + " s: Ex");
        ExpectNear(rs.ey, [&](int q) { return ts * s.y.real() * at(q); }, 1e-12, name + " s: Ey");
        ExpectAll(rs.ez, 0.0, 1e-12, name + " s: Ez");
    }
}

TEST(VectorWPM, LosslessMediumKeepsTheTotalFluxAndAbsorbingOneTakesExpMinus2K0KappaDz)
{
    const TGridParms g = MakeGrid(16, 8, 0.5, 0.5, 0.5);
    const auto beam = Beam(g, 2.0e-6, 0.3 * kK0, -0.2 * kK0);
    const TComplexArray glass = UniformSlice(g, 1.5), lossy = UniformSlice(g, TCplx(1.5, 0.01));
    const auto normal = MakeVectorField(g, kLambda, [](int, int) { return TVec{0.6, 0.8, 0.0}; });
    for (const TVectorStepForm& kind : kVectorSteps) {
        const std::string name = kind.name;
        TBrelWaveOptics engine;
        const TPropagationStep step = kind.Single(engine);
        const TFieldRef first = Step(step, glass, glass, g, beam.get(), nullptr, kind.hybrid);
        const TFieldRef second = Step(step, glass, glass, g, first.get(), nullptr, kind.hybrid);
        EXPECT_GT(first->GetEnergyFlux(), 0.0) << name;
        EXPECT_NEAR(second->GetEnergyFlux() / first->GetEnergyFlux(), 1.0, 1e-12) << name << " lossless";
        const TFieldRef entered = Step(step, lossy, lossy, g, normal.get(), nullptr, kind.hybrid);
        const TFieldRef absorbed = Step(step, lossy, lossy, g, entered.get(), nullptr, kind.hybrid);
        EXPECT_NEAR(absorbed->GetEnergyFlux() / entered->GetEnergyFlux(), std::exp(-2 * kK0 * 0.01 * Dz(g)), 1e-12)
            << name << " absorbing";
    }
}

TEST(VectorWPM, SpectralPathEqualsPointPathOnHomogeneousPairsFluxIncluded)
{
    // dx = 0.25 um: the spectrum reaches 2 k0, so a narrow beam has evanescent plane waves,
    // and with the switch on the unpropagated Ez of equal indices takes part.
    TGridParms g = MakeGrid(16, 8, 0.25, 0.25, 0.2);
    g.evanescent = true;
    const auto a = Beam(g, 0.6e-6, 0.5 * kK0, 0.2 * kK0);
    const auto b = Beam(g, 0.8e-6, -0.3 * kK0, 0.0);
    const std::pair<TCplx, TCplx> pairs[] = {{1.5, 1.5}, {1.0, 1.6}, {1.6, 1.0}, {1.0, TCplx(1.5, 0.01)}};
    const TModeCase modes[] = {{"forward", a.get(), nullptr}, {"backward", nullptr, b.get()}, {"both", a.get(), b.get()}};
    for (const TVectorStepForm& kind : {kVWPMH, kVWPMHAllComplex}) {
        for (const auto& [n1, n2] : pairs) {
            for (const TModeCase& m : modes) {
                std::ostringstream what;
                what << kind.name << " " << n1 << " -> " << n2 << " " << m.name;
                const TComplexArray previous = UniformSlice(g, n1), current = UniformSlice(g, n2);
                const TVectorResult point =
                    StepOnce(kind, previous, current, g, m.forward, m.backward, false, TSummation::direct, 2);
                const TVectorResult spectral =
                    StepOnce(kind, previous, current, g, m.forward, m.backward, true, TSummation::direct, 2);
                EXPECT_LT(RelativeL2(spectral.Components(), point.Components()), 1e-12) << what.str();
                ASSERT_GT(point.total, 0.0) << what.str();
                EXPECT_LT(RelativeMax(spectral.flux, point.flux), 1e-12) << what.str() << " flux map";
                EXPECT_NEAR(spectral.total / point.total, 1.0, 1e-12) << what.str() << " total flux";
            }
        }
    }
}

TEST(VectorWPM, AllComplexCarriesEvanescentWavesInsideTheModeRangeWithExpDecay)
{
    // dx = 0.2 um: spectral step 0.625 k0, column 6 has kx = 1.25 k0 > n k0 for n = 1.
    // InModeRange: 1/0.625 + extraModes >= 2 needs one extra mode.
    const TGridParms g = MakeGrid(8, 1, 0.2, 0.2, 0.1);
    const TWave w = WaveOf(g, 6, 0);
    const double decay = std::exp(-std::sqrt(w.kx * w.kx - kK0 * kK0) * Dz(g));
    const TComplexArray vacuum = UniformSlice(g, 1.0);
    const auto s = PlaneWave(g, w, {0.0, 1.0, 0.0});
    const auto p = PlaneWave(g, w, {1.0, 0.0, 0.0});
    for (const TVectorStepForm& kind : {kVWPMAllComplex, kVWPMHAllComplex}) {
        const std::string name = kind.name;
        for (const TSummation sum : {TSummation::direct, TSummation::grouped}) {
            const TVectorResult rs = StepOnce(kind, vacuum, vacuum, g, s.get(), nullptr, kind.hybrid, sum, 1);
            ExpectNear(rs.ey, [&](int c) { return decay * w.At(g, c, 0); }, 1e-12, name + " s decays");
            ExpectAll(rs.ex, 0.0, 1e-14, name + " s: Ex");
            // p: Ez = -kx Ex / kz2 with kz2 = i sqrt(kx^2 - k0^2).
            const TVectorResult rp = StepOnce(kind, vacuum, vacuum, g, p.get(), nullptr, kind.hybrid, sum, 1);
            const TCplx kz2(0.0, std::sqrt(w.kx * w.kx - kK0 * kK0));
            ExpectNear(rp.ez, [&](int c) { return -w.kx / kz2 * decay * w.At(g, c, 0); }, 1e-12, name + " p: Ez");
            EXPECT_LT(rp.total, 1e-30) << name << ": an evanescent wave carries no flux";
        }
        const TVectorResult outside = StepOnce(kind, vacuum, vacuum, g, s.get(), nullptr, kind.hybrid,
                                               TSummation::direct, 0);
        ExpectAll(outside.ey, 0.0, 1e-14, name + " outside the mode range");
    }
}

TEST(VectorWPM, EvanescentSwitchOfRealKzFormDecaysTransverseFieldAndLeavesEzUnpropagated)
{
    // Equal indices, kx = 1.25 k0 > k0: with the switch on, Ex and Ey decay as
    // exp(-sqrt(kx^2 - k0^2) dz) with their lateral phase; Ez of the input is added at
    // every point without lateral phase. With the switch off nothing arrives.
    TGridParms g = MakeGrid(8, 1, 0.2, 0.2, 0.1);
    const TWave w = WaveOf(g, 6, 0);
    const double decay = std::exp(-std::sqrt(w.kx * w.kx - kK0 * kK0) * Dz(g));
    const TComplexArray vacuum = UniformSlice(g, 1.0);
    const auto input = PlaneWave(g, w, {1.0, TCplx(0.0, 0.5), 0.3});
    for (const auto& [kind, homogeneous] : {std::pair{kVWPM, false}, std::pair{kVWPMH, true}}) {
        const std::string name = std::string(kind.name) + (homogeneous ? " spectral" : "");
        g.evanescent = false;
        const TVectorResult off = StepOnce(kind, vacuum, vacuum, g, input.get(), nullptr, homogeneous);
        ExpectAll(off.ex, 0.0, 1e-14, name + " switch off");
        ExpectAll(off.ez, 0.0, 1e-14, name + " switch off");
        g.evanescent = true;
        const TVectorResult on = StepOnce(kind, vacuum, vacuum, g, input.get(), nullptr, homogeneous);
        ExpectNear(on.ex, [&](int c) { return decay * w.At(g, c, 0); }, 1e-12, name + " Ex");
        ExpectNear(on.ey, [&](int c) { return TCplx(0.0, 0.5) * decay * w.At(g, c, 0); }, 1e-12, name + " Ey");
        ExpectAll(on.ez, 0.3, 1e-12, name + " Ez without lateral phase");
    }
}

TEST(VectorWPM, TotalInternalReflectionTransmitsEvanescentPAndSWavesWithComplexFresnelFactors)
{
    // n1 = 1.5 -> n2 = 1, kx = +-1.25 k0: kz1 real, kz2 = i kappa. Textbook transmission of
    // the whole field, with p unit vectors (kz kx/kt, kz ky/kt, -kt)/(n k0) on either side:
    //   s: ts = 2 kz1/(kz1 + kz2),   p: tp = 2 n1 n2 kz1/(n2^2 kz1 + n1^2 kz2),
    // times exp(-kappa dz). Both signs of kx: the wave's own plane of incidence, not x-z,
    // decides what is p and what is s.
    TGridParms g = MakeGrid(8, 1, 0.2, 0.2, 0.1);
    g.evanescent = true;
    const double n1 = 1.5, n2 = 1.0;
    const TComplexArray previous = UniformSlice(g, n1), current = UniformSlice(g, n2);
    for (const int j : {6, 2}) {
        const TWave w = WaveOf(g, j, 0);
        const double kt = std::abs(w.kx), kappa = std::sqrt(kt * kt - kK0 * kK0);
        const double kz1 = std::sqrt(n1 * n1 * kK0 * kK0 - kt * kt);
        const TCplx kz2(0.0, kappa);
        const TCplx ts = 2 * kz1 / (kz1 + kz2), tp = 2 * n1 * n2 * kz1 / (n2 * n2 * kz1 + n1 * n1 * kz2);
        const double decay = std::exp(-kappa * Dz(g)), sign = w.kx / kt;
        const TVec p1{kz1 * sign / (n1 * kK0), 0.0, -kt / (n1 * kK0)};
        const TVec p2{kz2 * sign / (n2 * kK0), 0.0, -kt / (n2 * kK0)};
        const TVec s{0.0, sign, 0.0};
        for (const TVectorStepForm& kind : {kVWPM, kVWPMAllComplex}) {
            const std::string name = std::string(kind.name) + " j=" + std::to_string(j);
            const auto at = [&](int c) { return decay * w.At(g, c, 0); };
            const TVectorResult rp = StepOnce(kind, previous, current, g, PlaneWave(g, w, p1).get(), nullptr, false,
                                              TSummation::direct, 1);
            ExpectNear(rp.ex, [&](int c) { return tp * p2.x * at(c); }, 1e-12, name + " p: Ex");
            ExpectAll(rp.ey, 0.0, 1e-14, name + " p: Ey");
            ExpectNear(rp.ez, [&](int c) { return tp * p2.z * at(c); }, 1e-12, name + " p: Ez");
            const TVectorResult rs = StepOnce(kind, previous, current, g, PlaneWave(g, w, s).get(), nullptr, false,
                                              TSummation::direct, 1);
            ExpectAll(rs.ex, 0.0, 1e-14, name + " s: Ex");
            ExpectNear(rs.ey, [&](int c) { return ts * s.y * at(c); }, 1e-12, name + " s: Ey");
            ExpectAll(rs.ez, 0.0, 1e-14, name + " s: Ez");
        }
    }
}

TEST(VectorWPM, BackwardFieldIsTransmittedButNotAdvancedAndBothModeAddsItBeforePropagation)
{
    const TGridParms g = MakeGrid(8, 16);
    const auto a = MakeVectorField(g, kLambda, [](int, int) { return TVec{1.0, 0.0, 0.0}; });
    const auto b = MakeVectorField(g, kLambda, [](int, int) { return TVec{TCplx(0.0, 0.5), 0.25, 0.0}; });
    const TComplexArray air = UniformSlice(g, 1.0), glass = UniformSlice(g, 1.5);
    const TCplx p = Expi(1.5 * kK0 * Dz(g));
    for (const TVectorStepForm& kind : kVectorSteps) {
        const std::string name = kind.name;
        const TVectorResult back = StepOnce(kind, air, glass, g, nullptr, b.get(), kind.hybrid);
        ExpectAll(back.ex, 0.8 * TCplx(0.0, 0.5), 1e-12, name + " backward: Ex");
        ExpectAll(back.ey, 0.8 * 0.25, 1e-12, name + " backward: Ey");
        const TVectorResult both = StepOnce(kind, air, glass, g, a.get(), b.get(), kind.hybrid);
        ExpectAll(both.ex, (0.8 + TCplx(0.0, 0.5)) * p, 1e-12, name + " both: Ex");
        ExpectAll(both.ey, 0.25 * p, 1e-12, name + " both: Ey");
    }
}

TEST(VectorWPM, StepContractOutputFieldsInputsAndWaveQuantities)
{
    const TGridParms g = MakeGrid(8, 8);
    const TComplexArray n = UniformSlice(g, 1.2);
    const auto a = Beam(g, 1.0e-6, 0.3 * kK0, 0.0);
    a->SetAmplitudeSum(2.5L);
    const auto b = Beam(g, 0.8e-6, 0.0, 0.1 * kK0);
    b->SetAmplitudeSum(4.0L);
    const std::vector<TCplx> beforeA = ResultOf(*a).Components(), beforeB = ResultOf(*b).Components();
    for (const TVectorStepForm& kind : kVectorSteps) {
        for (const bool pooled : {false, true}) {
            const std::string name = std::string(kind.name) + (pooled ? " pooled" : "");
            TBrelWaveOptics engine(2);
            const TPropagationStep step = pooled ? kind.Pooled(engine) : kind.Single(engine);

            TFieldRef output = MakeVectorField(g, 0.5e-6, [](int c, int r) { return TVec{TCplx(c, r), 1.0, 1.0}; });
            const TField* object = output.get();
            step(TStepInput{0, &n, {}, &n, {}, kind.hybrid, &g, a.get(), b.get()}, output);
            EXPECT_EQ(output.get(), object) << name << ": the given output is reused";
            EXPECT_LT(RelativeL2(ResultOf(*a).Components(), beforeA), 1e-14) << name << ": forward restored";
            EXPECT_LT(RelativeL2(ResultOf(*b).Components(), beforeB), 1e-14) << name << ": backward restored";
            EXPECT_EQ(output->GetAmplitudeSum(), 2.5L) << name << ": wave quantities of the forward field";

            // Neither field: the single-threaded step does nothing, the pooled one still
            // produces a cleared field and a step time.
            TFieldRef none;
            step(TStepInput{0, &n, {}, &n, {}, false, &g, nullptr, nullptr}, none);
            EXPECT_EQ(none != nullptr, pooled) << name;
            if (none) {
                EXPECT_EQ(ResultOf(*none).total, 0.0) << name;
            }
        }
    }
}

TEST(VectorWPM, BadInputIsRefusedBeforeAnyFieldChanges)
{
    const TGridParms g = MakeGrid(8, 8);
    const TComplexArray n = UniformSlice(g, 1.5);
    const auto input = Beam(g, 1.0e-6, 0.1 * kK0, 0.0);
    const std::vector<TCplx> before = ResultOf(*input).Components();
    TComplexArray nanCorner = UniformSlice(g, 1.5);
    nanCorner.SetAt(0, 0, {std::nan(""), 0.0});
    const TComplexArray small = UniformSlice(MakeGrid(4, 8), 1.5);
    const auto scalar = MakeField(g, kLambda, [](int, int) { return TCplx(1.0); });
    for (const TVectorStepForm& kind : kVectorSteps) {
        for (const bool pooled : {false, true}) {
            const std::string name = std::string(kind.name) + (pooled ? " pooled" : "");
            TBrelWaveOptics engine(2);
            const TPropagationStep step = pooled ? kind.Pooled(engine) : kind.Single(engine);
            const auto refused = [&](const std::string& what, const std::function<void()>& call) {
                EXPECT_THROW(call(), EGeneralError) << name << ": " << what;
                EXPECT_EQ(ResultOf(*input).Components(), before) << name << ": " << what;
            };
            refused("non-finite index", [&] { Step(step, n, nanCorner, g, input.get()); });
            refused("non-finite index, homogeneous flag",
                    [&] { Step(step, nanCorner, n, g, input.get(), nullptr, true); });
            refused("slice of another grid", [&] { Step(step, small, n, g, input.get()); });
            refused("field of another grid", [&] { Step(step, n, n, MakeGrid(8, 16), input.get()); });
            refused("scalar input", [&] { Step(step, n, n, g, input.get(), scalar.get()); });
            TFieldRef scalarOut = MakeField(g, kLambda, [](int, int) { return TCplx(1.0); });
            refused("scalar output",
                    [&] { step(TStepInput{0, &n, {}, &n, {}, false, &g, input.get(), nullptr}, scalarOut); });
            TFieldRef same = input;
            refused("output is the input",
                    [&] { step(TStepInput{0, &n, {}, &n, {}, false, &g, input.get(), nullptr}, same); });
        }
    }
}
