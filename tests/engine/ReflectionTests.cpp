// Reflection steps of every method: Fresnel values and energy at an index step, the
// s/p resolution and its continuity at normal incidence, total internal reflection,
// summation and pooled forms against the single-threaded point sum.
#include "BeamTestSupport.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

using namespace ksn;
using namespace ksn::test;

namespace {

const double kK0 = 2.0 * kPi / kLambda;

struct TReflForm {
    TSimMethod method;
    bool allComplex;
    int threads;
    bool homogeneous; // the flag handed to the step (uniform slices only)
    const char* name;
};

const TReflForm kVectorForms[] = {
    {TSimMethod::vbpm, false, 0, true, "ReflectVBPM"},
    {TSimMethod::vbpm, true, 0, true, "ReflectVBPMAllComplex"},
    {TSimMethod::vwpm, false, 0, true, "ReflectVWPM spectral"},
    {TSimMethod::vwpm, false, 0, false, "ReflectVWPM point"},
    {TSimMethod::vwpm, true, 0, false, "ReflectVWPMAllComplex"},
    {TSimMethod::vwpm, false, 2, true, "MT_nextVWR spectral"},
    {TSimMethod::vwpm, false, 2, false, "MT_nextVWR point"},
    {TSimMethod::vwpm, true, 2, false, "MT_nextVWRAllComplex"},
};
const TReflForm kScalarForms[] = {{TSimMethod::swpm, false, 0, false, "ReflectSWPM"},
                                  {TSimMethod::sbpm, false, 0, true, "ReflectSBPM"}};

bool IsScalar(TSimMethod m) { return m == TSimMethod::swpm || m == TSimMethod::swpmh || m == TSimMethod::sbpm; }

std::unique_ptr<TBrelWaveOptics> EngineFor(int threads, TSummation s = TSummation::automatic)
{
    auto engine = threads ? std::make_unique<TBrelWaveOptics>(threads) : std::make_unique<TBrelWaveOptics>();
    engine->SetSummation(s);
    return engine;
}

TReflectionStep ReflOf(TBrelWaveOptics& engine, TSimMethod m, bool allComplex, const TGridParms& /*g*/, int extraModes = 0)
{
    TGlobalParms global = Method(m, allComplex);
    global.extraModes = extraModes;
    engine.GetPropFunc(global); // takes the extra modes, as the run does before
    return engine.GetReflFunc(global);
}

// A plane wave on spectral pixel (j, i) with transverse amplitudes (ax, ay).
TVectorFn PlaneWave(const TGridParms& g, int j, int i, TCplx ax, TCplx ay)
{
    return [=](int c, int r) {
        const TCplx e = std::polar(1.0, Kx(g, j) * XOf(g, c) + Ky(g, i) * YOf(g, r));
        return std::array<TCplx, 2>{ax * e, ay * e};
    };
}

double MaxError(const std::vector<TCplx>& got, const std::vector<TCplx>& expected)
{
    double e = 0.0;
    for (size_t p = 0; p < got.size(); ++p)
        e = std::max(e, std::abs(got[p] - expected[p]));
    return e;
}

std::vector<TCplx> Scaled(const std::vector<TCplx>& v, TCplx s)
{
    std::vector<TCplx> out(v);
    for (auto& x : out)
        x *= s;
    return out;
}

// Textbook Fresnel reflection: rs = (kz1 - kz2)/(kz1 + kz2),
// rp = (n2^2 kz1 - n1^2 kz2)/(n2^2 kz1 + n1^2 kz2) (rp = -rs at normal incidence).
struct TFresnel {
    TCplx rs, rp, kz1;
};

TFresnel FresnelOf(double n1, double n2, double kt2)
{
    const TCplx kz1 = std::sqrt(TCplx(n1 * n1 * kK0 * kK0 - kt2)), kz2 = std::sqrt(TCplx(n2 * n2 * kK0 * kK0 - kt2));
    return {(kz1 - kz2) / (kz1 + kz2), (n2 * n2 * kz1 - n1 * n1 * kz2) / (n2 * n2 * kz1 + n1 * n1 * kz2), kz1};
}

} // namespace

TEST(Reflection, LosslessStepAtNormalIncidenceReflects02AndTransmits08ConservingEnergy)
{
    // n1 = 1 -> n2 = 1.5: r = (n1 - n2)/(n1 + n2) = -0.2, t = 2 n1/(n1 + n2) = 0.8,
    // |r|^2 + (n2/n1) |t|^2 = 0.04 + 0.96 = 1. Every method with a reflection step whose
    // propagation step is bound in this build; non-square grid and the single cell.
    for (const auto& [nx, ny] : {std::pair{4, 8}, std::pair{1, 1}}) {
        const TGridParms g = MakeGrid(nx, ny);
        const TInterface step(g, 1.0, 1.5);
        for (const TSimMethod m : {TSimMethod::swpm, TSimMethod::swpmh, TSimMethod::vwpm, TSimMethod::vwpmh,
                                   TSimMethod::sbpm, TSimMethod::vbpm, TSimMethod::vbpmf})
            for (const bool allComplex : {false, true})
                for (const int threads : {0, 2}) {
                    if ((IsScalar(m) && allComplex) || (threads && m != TSimMethod::vwpm && m != TSimMethod::vwpmh))
                        continue;
                    const std::string what = std::string(SimMethodName(m)) + (allComplex ? " allcomplex" : "") +
                                             (threads ? " pooled " : " ") + std::to_string(nx) + "x" + std::to_string(ny);
                    auto engine = EngineFor(threads);
                    const TReflectionStep refl = ReflOf(*engine, m, allComplex, g);
                    ASSERT_TRUE(refl) << what;
                    const TFieldRef incident = FieldOf(IsScalar(m), g, PlaneWave(g, nx / 2, ny / 2, 1.0, TCplx(0.0, -0.5)));
                    const TFieldRef reflected = CallStep(refl, step.In(g, incident.get()));
                    for (int c = 0; c < (IsScalar(m) ? 1 : 2); ++c) {
                        const TCplx in = Comp(*incident, c)[0];
                        for (const TCplx& v : Comp(*reflected, c))
                            ASSERT_LT(std::abs(v - (-0.2) * in), 1e-12) << what << " component " << c;
                    }
                    const TPropagationStep prop = engine->GetPropFunc(Method(m, allComplex));
                    if (!prop)
                        continue; // the vector wave-propagation steps are bound by their own build
                    const TFieldRef transmitted = CallStep(prop, step.In(g, incident.get()));
                    const double t = std::abs(Comp(*transmitted, 0)[0]) / std::abs(Comp(*incident, 0)[0]);
                    const double r = std::abs(Comp(*reflected, 0)[0]) / std::abs(Comp(*incident, 0)[0]);
                    EXPECT_NEAR(t, 0.8, 1e-12) << what;
                    EXPECT_NEAR(r * r + 1.5 * t * t, 1.0, 1e-9) << what;
                }
    }
}

TEST(Reflection, ObliqueWaveReflectsAsTheFresnelFormulasAndTendsToRsAtNormalIncidence)
{
    // n1 = 1 -> 1.6. On 8 x 8 cells of 0.25 um (dk = 0.5 k0) an x-polarised wave on the
    // diagonal has equal s and p parts, Exr = (rs - rp)/2, Eyr = -(rs + rp)/2; on the x
    // axis an s wave (Ey) reflects rs, a p wave (Ex) -rp; scalar steps (rs - rp)/2. On
    // cells of 100 um the smallest kt is k0/800 and every reflection must lie within
    // O(kt^2/k0^2) of rs = -0.6/2.6: under the other sign of the p part the vector one
    // would jump to -rs and the scalar one nearly vanish.
    struct TCase {
        double dx;
        int j, i;
        TCplx ax, ay;
    };
    const TCase cases[] = {{0.25, 5, 5, 1.0, 0.0}, {0.25, 5, 4, 0.0, 1.0}, {0.25, 5, 4, 1.0, 0.0},
                           {0.25, 3, 5, TCplx(0.3, 0.1), -0.7}, {100.0, 5, 4, 1.0, 0.0}, {100.0, 4, 3, 0.0, 1.0},
                           {100.0, 5, 5, 1.0, 0.0}, {100.0, 5, 5, 0.0, 1.0}};
    for (const TCase& k : cases) {
        const TGridParms g = MakeGrid(8, 8, k.dx, k.dx, 0.25);
        const TInterface step(g, 1.0, 1.6);
        const double kx = Kx(g, k.j), ky = Ky(g, k.i), kt2 = kx * kx + ky * ky;
        const TFresnel f = FresnelOf(1.0, 1.6, kt2);
        // R = rs s s^T - rp p p^T
        const TCplx rxx = (f.rs * ky * ky - f.rp * kx * kx) / kt2, ryy = (f.rs * kx * kx - f.rp * ky * ky) / kt2;
        const TCplx rxy = -(f.rs + f.rp) * kx * ky / kt2;
        const TCplx exr = rxx * k.ax + rxy * k.ay, eyr = rxy * k.ax + ryy * k.ay;
        const TCplx ezr = -(kx * exr + ky * eyr) / f.kz1;
        const std::string where = "dx " + std::to_string(k.dx) + " at (" + std::to_string(k.j) + "," + std::to_string(k.i) + ")";
        if (k.dx > 1.0) {
            EXPECT_LT(std::abs(exr - (-0.6 / 2.6) * k.ax) + std::abs(eyr - (-0.6 / 2.6) * k.ay), 1e-5) << where;
            EXPECT_LT(std::abs((f.rs - f.rp) / 2.0 - (-0.6 / 2.6)), 1e-5) << where;
        }
        const TFieldRef incident = MakeVector(g, PlaneWave(g, k.j, k.i, k.ax, k.ay));
        const std::vector<TCplx> unit = Comp(*MakeVector(g, PlaneWave(g, k.j, k.i, 1.0, 0.0)), 0);
        for (const TReflForm& form : kVectorForms) {
            auto engine = EngineFor(form.threads);
            const TFieldRef r =
                CallStep(ReflOf(*engine, form.method, form.allComplex, g), step.In(g, incident.get(), nullptr, form.homogeneous));
            const std::string what = std::string(form.name) + " " + where;
            EXPECT_LT(MaxError(Comp(*r, 0), Scaled(unit, exr)), 1e-12) << what << " Ex";
            EXPECT_LT(MaxError(Comp(*r, 1), Scaled(unit, eyr)), 1e-12) << what << " Ey";
            // ReflectVWPM leaves Ez out; the others rebuild it by transversality with kz1.
            const bool noEz = form.method == TSimMethod::vwpm && !form.allComplex;
            EXPECT_LT(MaxError(Comp(*r, 2), Scaled(unit, noEz ? 0.0 : ezr)), 1e-12) << what << " Ez";
        }
        for (const TReflForm& form : kScalarForms) {
            auto engine = EngineFor(0);
            const TFieldRef scalarIncident = FieldOf(true, g, PlaneWave(g, k.j, k.i, 1.0, 0.0));
            const TFieldRef r =
                CallStep(ReflOf(*engine, form.method, false, g), step.In(g, scalarIncident.get(), nullptr, form.homogeneous));
            EXPECT_LT(MaxError(Values(*r), Scaled(unit, (f.rs - f.rp) / 2.0)), 1e-12) << form.name << " " << where;
        }
    }
}

TEST(Reflection, TotalInternalReflectionHasUnitModulusOnlyWhereTheEvanescentWaveIsCarried)
{
    // n1 = 1.5 -> n2 = 1 with kx = 1.2 k0: propagating before, evanescent after the
    // interface. ReflectVWPM reflects totally under the evanescent switch and not at
    // all without it; the all-complex forms always (one extra mode takes kx > k0 into
    // the mode range); the real beam form cannot carry kz2^2 < 0 and skips the wave.
    TGridParms g = MakeGrid(8, 1, 1.0 / 9.6, 0.25, 0.25);
    const TInterface step(g, 1.5, 1.0);
    for (const bool evanescent : {false, true}) {
        g.evanescent = evanescent;
        for (const TReflForm& form : kVectorForms) {
            auto engine = EngineFor(form.threads);
            for (const auto& [ax, ay] : {std::pair{TCplx(0.0), TCplx(1.0)}, std::pair{TCplx(1.0), TCplx(0.0)}}) {
                const TFieldRef incident = MakeVector(g, PlaneWave(g, 5, 0, ax, ay));
                const TFieldRef r = CallStep(ReflOf(*engine, form.method, form.allComplex, g, 1),
                                        step.In(g, incident.get(), nullptr, form.homogeneous));
                const bool total = form.allComplex || (form.method == TSimMethod::vwpm && evanescent);
                const std::vector<TCplx> e = Comp(*r, ay != 0.0 ? 1 : 0);
                for (const TCplx& v : e)
                    EXPECT_NEAR(std::abs(v), total ? 1.0 : 0.0, 1e-12)
                        << form.name << (evanescent ? " evanescent on" : " evanescent off") << (ay != 0.0 ? " s" : " p");
            }
        }
    }
}

TEST(Reflection, EqualIndicesReflectNothingAndARepeatedReflectionAdds)
{
    // An existing reflected field is kept (and added to) by every step except MT_nextVWR,
    // which clears it first.
    const TGridParms g = MakeGrid(4, 8);
    const TInterface same(g, TCplx(1.4, 0.01), TCplx(1.4, 0.01));
    const TInterface step(g, 1.0, 1.5);
    const TVectorFn wave = PlaneWave(g, 3, 5, TCplx(0.4, 0.2), -0.3);
    const TVectorFn held = [](int c, int r) { return std::array<TCplx, 2>{TCplx(c, r), TCplx(-r, 0.5)}; };
    for (const bool scalar : {false, true})
        for (const TReflForm& form : scalar ? std::vector<TReflForm>(std::begin(kScalarForms), std::end(kScalarForms))
                                            : std::vector<TReflForm>(std::begin(kVectorForms), std::end(kVectorForms))) {
            auto engine = EngineFor(form.threads);
            const TReflectionStep refl = ReflOf(*engine, form.method, form.allComplex, g);
            const TFieldRef incident = FieldOf(scalar, g, wave);
            const bool clears = form.threads && !form.allComplex;
            const TFieldRef before = FieldOf(scalar, g, held);
            TFieldRef reflected = FieldOf(scalar, g, held);
            refl(same.In(g, incident.get(), nullptr, form.homogeneous), reflected);
            for (int m = 0; m < (scalar ? 1 : 2); ++m)
                EXPECT_LT(MaxError(Comp(*reflected, m), clears ? std::vector<TCplx>(32, 0.0) : Comp(*before, m)), 1e-14)
                    << form.name << " equal indices";
            const TFieldRef once = CallStep(refl, step.In(g, incident.get(), nullptr, form.homogeneous));
            TFieldRef twice = CallStep(refl, step.In(g, incident.get(), nullptr, form.homogeneous));
            refl(step.In(g, incident.get(), nullptr, form.homogeneous), twice);
            for (int m = 0; m < (scalar ? 1 : 3); ++m)
                EXPECT_LT(MaxError(Comp(*twice, m), Scaled(Comp(*once, m), clears ? 1.0 : 2.0)), 1e-14)
                    << form.name << " repeated, component " << m;
        }
}

namespace {

// Two materials on a non-square grid, absorbing in part, with a region of lower index
// after the interface (total internal reflection under the evanescent switch).
TComplexArray Before(const TGridParms& g)
{
    return MakeSlice(g, [](int c, int r) { return c + r < 9 ? TCplx(1.5, 0.0) : TCplx(1.0, 0.0); });
}

TComplexArray After(const TGridParms& g)
{
    return MakeSlice(g, [](int c, int r) { return (c - 3) * (c - 3) + (r - 6) * (r - 6) < 10 ? TCplx(1.0, 0.02) : TCplx(2.1, 0.0); });
}

TFieldRef Beam(bool scalar, const TGridParms& g)
{
    return FieldOf(scalar, g, [&](int c, int r) {
        const double x = XOf(g, c), y = YOf(g, r);
        const TCplx e = std::exp(-(x * x + y * y) / 1.5e-12) * std::polar(1.0, 0.4 * kK0 * x - 0.9 * kK0 * y);
        return std::array<TCplx, 2>{e, TCplx(0.2, -0.6) * e};
    });
}

} // namespace

TEST(Reflection, SummationsPooledFormsAndTheSpectralPathAgreeWithTheDirectPointSum)
{
    // Reference: the single-threaded direct point sum. The grouped and automatic sums,
    // the pooled forms under every summation (rows when nx <= ny/2: 8 x 16, 2 x 8;
    // columns otherwise: 16 x 8, 4 x 4, 8 x 2; lines of length 2 carry the centred sign
    // -1) and, on uniform slices, the spectral path of the homogeneous flag give the
    // same field.
    for (const auto& [nx, ny] : {std::pair{8, 16}, std::pair{16, 8}, std::pair{4, 4}, std::pair{2, 8}, std::pair{8, 2}}) {
        TGridParms g = MakeGrid(nx, ny, 0.4, 0.4, 0.25);
        g.evanescent = true;
        const TComplexArray before = Before(g), after = After(g);
        const TInterface uniform(g, 1.5, 1.0);
        for (const TReflForm& form : {kScalarForms[0], kVectorForms[3], kVectorForms[4], kVectorForms[2]}) {
            const bool scalar = IsScalar(form.method);
            const TFieldRef incident = Beam(scalar, g);
            const TStepInput pointIn = form.homogeneous ? uniform.In(g, incident.get(), nullptr, false)
                                                        : Input(before, 1.2, after, 1.3, g, incident.get());
            const TStepInput in = form.homogeneous ? uniform.In(g, incident.get(), nullptr, true) : pointIn;
            auto direct = EngineFor(0, TSummation::direct);
            const TFieldRef reference = CallStep(ReflOf(*direct, form.method, form.allComplex, g), pointIn);
            for (const int threads : {0, 3})
                for (const TSummation s : {TSummation::direct, TSummation::grouped, TSummation::automatic}) {
                    if (scalar && threads)
                        continue;
                    auto engine = EngineFor(threads, s);
                    const TFieldRef r = CallStep(ReflOf(*engine, form.method, form.allComplex, g), in);
                    const std::string what = std::string(form.name) + " " + std::to_string(nx) + "x" + std::to_string(ny) +
                                             " " + SummationName(s) + (threads ? " pooled" : "");
                    for (int m = 0; m < (scalar ? 1 : 3); ++m) {
                        const std::vector<TCplx> expected = Comp(*reference, m);
                        if (std::all_of(expected.begin(), expected.end(), [](TCplx v) { return v == 0.0; })) {
                            EXPECT_EQ(Comp(*r, m), expected) << what << " component " << m;
                        } else {
                            EXPECT_LT(RelativeL2(Comp(*r, m), expected), 1e-12) << what << " component " << m;
                        }
                    }
                    if (threads) {
                        EXPECT_GT(engine->GetStepTime(), 0.0L) << what << ": the pooled step stores its time";
                    }
                }
        }
    }
}

TEST(Reflection, MT_nextVWRWithoutForwardFieldShowsItsMessageOnceAndLeavesAClearedField)
{
    const TGridParms g = MakeGrid(4, 4);
    const TInterface step(g, 1.0, 1.5);
    TRecordingSink sink;
    TBrelWaveOptics engine(2);
    const TReflectionStep refl = ReflOf(engine, TSimMethod::vwpm, false, g);
    TFieldRef reflected = MakeVector(g, [](int c, int r) { return std::array<TCplx, 2>{TCplx(c, 1), TCplx(r, 2)}; });
    refl(step.In(g, nullptr), reflected);
    EXPECT_EQ(sink.messages, std::vector<std::string>{
        "Error in TBrelWaveOptics.MT_nextVWR. Called function with unassigned Field (i.e. <nil>)."});
    for (int m = 0; m < 3; ++m)
        EXPECT_EQ(Comp(*reflected, m), std::vector<TCplx>(16, 0.0)) << "component " << m;
    TFieldRef created;
    refl(step.In(g, nullptr), created);
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(created->IsVector());
    EXPECT_EQ(sink.messages.size(), 2u);
}
