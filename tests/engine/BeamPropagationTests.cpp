// Physics and contract of the beam-propagation steps (vbpmf, vbpm, sbpm).
#include "BeamTestSupport.h"
#include "numerics/GeneralError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ksn;
using namespace ksn::test;

namespace {

const double kK0 = 2.0 * kPi / kLambda;

struct TBeamForm {
    TSimMethod method;
    bool allComplex;
    const char* name;
};

const TBeamForm kVectorForms[] = {{TSimMethod::vbpm, false, "PropagateVBPM"},
                                  {TSimMethod::vbpm, true, "PropagateVBPMAllComplex"},
                                  {TSimMethod::vbpmf, false, "PropagateVBPMF"},
                                  {TSimMethod::vbpmf, true, "PropagateVBPMFAllComplex"}};
const TBeamForm kAllForms[] = {kVectorForms[0], kVectorForms[1], kVectorForms[2], kVectorForms[3],
                               {TSimMethod::sbpm, false, "PropagateSBPM"}};

bool IsScalar(const TBeamForm& f) { return f.method == TSimMethod::sbpm; }

TVectorFn Constant(TCplx ex, TCplx ey)
{
    return [=](int, int) { return std::array<TCplx, 2>{ex, ey}; };
}

void ExpectNear(const std::vector<TCplx>& got, const std::vector<TCplx>& expected, double tolerance,
                const std::string& what)
{
    ASSERT_EQ(got.size(), expected.size()) << what;
    for (size_t p = 0; p < got.size(); ++p)
        ASSERT_LT(std::abs(got[p] - expected[p]), tolerance)
            << what << " at point " << p << ": " << got[p] << " expected " << expected[p];
}

std::vector<TCplx> Filled(size_t n, TCplx v) { return std::vector<TCplx>(n, v); }

} // namespace

TEST(BeamPropagation, AbsorbingSlabIsAngularSpectrumPropagationWithObliqueExtinction)
{
    // A homogeneous absorbing slab, n = N everywhere: every form, the all-complex vbpm
    // included, must carry the reference extinction exp(-k0 Im N dz beta/kz) (its screen
    // holds only Im n - Im N = 0). dx = dy = 0.8 um puts the whole spectrum inside the
    // vacuum light circle, so all forms carry all of it.
    const TGridParms g = MakeGrid(16, 8, 0.8, 0.8, 0.6);
    const TCplx n(1.3, 0.01);
    const TInterface medium(g, n, n);
    const auto beam = [&](int c, int r) {
        const double x = XOf(g, c) - 0.8e-6, y = YOf(g, r);
        const TCplx envelope = std::exp(-(x * x + y * y) / (2.0e-6 * 2.0e-6)) * std::polar(1.0, 0.3 * kK0 * x);
        return std::array<TCplx, 2>{envelope, TCplx(0.0, -0.5) * envelope};
    };
    std::vector<TCplx> ex, ey;
    for (int r = 0; r < g.ny; ++r)
        for (int c = 0; c < g.nx; ++c) {
            ex.push_back(beam(c, r)[0]);
            ey.push_back(beam(c, r)[1]);
        }
    const auto expected = AngularSpectrumVector(g, ex, ey, n);
    for (const TBeamForm& form : kAllForms) {
        TBrelWaveOptics engine;
        const TFieldRef input = FieldOf(IsScalar(form), g, beam);
        for (const bool homogeneous : {true, false}) {
            const TFieldRef out =
                CallStep(engine.GetPropFunc(Method(form.method, form.allComplex)), medium.In(g, input.get(), nullptr, homogeneous));
            for (int m = 0; m < (IsScalar(form) ? 1 : 3); ++m)
                EXPECT_LT(RelativeL2(Comp(*out, m), expected[size_t(m)]), 1e-12) << form.name << " component " << m;
        }
        EXPECT_LT(RelativeL2(Comp(*input, 0), ex), 1e-14) << form.name << ": the input is handed back spatial";
    }
}

TEST(BeamPropagation, ScreenGivesEveryPointItsOwnIndexAndVbpmfItsLocalTransmission)
{
    // A normally incident plane wave from n1(x, y) into n2(x, y) (above and below the
    // reference, absorbing in part) under an unchanged reference N: spectral step and
    // screen give t e^{i k0 dz n2(x, y)} whatever N, with t = 2 n1/(n1 + n2) for vbpmf
    // (real parts in the real form; 1 on a homogeneous pair) and sbpm, 1 for vbpm.
    // Point (0, 0) has n1 + n2 = 0: its transmission stays 1, no error.
    const TGridParms g = MakeGrid(8, 4);
    const double dz = g.dz * g.scaleFactor;
    const auto n1 = [](int c, int r) { return c == 0 && r == 0 ? TCplx(1.2, 0.1) : TCplx(1.0 + 0.1 * c, 0.01 * r); };
    const auto n2 = [](int c, int r) {
        return c == 0 && r == 0 ? TCplx(-1.2, -0.1) : TCplx(1.2 + 0.1 * ((c * 3 + r) % 5) - 0.15 * (r % 2), 0.004 * (c % 3));
    };
    const TComplexArray previous = MakeSlice(g, n1), current = MakeSlice(g, n2);
    for (const TBeamForm& form : kAllForms)
        for (const TCplx reference : {TCplx(1.3, 0.002), TCplx(1.1, 0.0)})
            for (const bool homogeneous : {false, true}) {
                TBrelWaveOptics engine;
                const TFieldRef input = FieldOf(IsScalar(form), g, Constant(TCplx(0.6, -0.2), 0.0));
                TFieldRef out;
                ASSERT_NO_THROW(out = CallStep(engine.GetPropFunc(Method(form.method, form.allComplex)),
                                               Input(previous, reference, current, reference, g, input.get(), nullptr,
                                                     homogeneous)))
                    << form.name;
                const bool local = IsScalar(form) || (form.method == TSimMethod::vbpmf && !homogeneous);
                std::vector<TCplx> expected;
                for (int r = 0; r < g.ny; ++r)
                    for (int c = 0; c < g.nx; ++c) {
                        const TCplx a = n1(c, r), b = n2(c, r);
                        TCplx t = 1.0;
                        if (local && !(c == 0 && r == 0))
                            t = form.allComplex ? 2.0 * a / (a + b) : TCplx(2.0 * a.real() / (a.real() + b.real()));
                        expected.push_back(TCplx(0.6, -0.2) * t * std::exp(TCplx(0.0, 1.0) * kK0 * dz * b));
                    }
                ExpectNear(Comp(*out, 0), expected, 1e-12,
                           std::string(form.name) + " N = " + std::to_string(reference.real()) + (homogeneous ? " homogeneous" : ""));
            }
}

TEST(BeamPropagation, BackwardFieldIsTransmittedOnlyAndBothFieldsAddBeforeThePropagator)
{
    // Reference step 1 -> 1.5 at normal incidence, local slices varying (no screen may
    // act on a backward field). Vector forms transmit ts = 0.8, sbpm has no Fresnel
    // factor in its spectral step.
    const TGridParms g = MakeGrid(4, 8);
    const double dz = g.dz * g.scaleFactor;
    const TComplexArray previous = MakeSlice(g, [](int c, int) { return TCplx(1.0 + 0.1 * c, 0.0); });
    const TComplexArray current = MakeSlice(g, [](int, int r) { return TCplx(1.4 + 0.05 * r, 0.01); });
    for (const TBeamForm& form : kAllForms) {
        TBrelWaveOptics engine;
        const TPropagationStep step = engine.GetPropFunc(Method(form.method, form.allComplex));
        const double t = IsScalar(form) ? 1.0 : 0.8;
        const TFieldRef back = FieldOf(IsScalar(form), g, Constant(TCplx(0.0, 0.5), 0.25));
        const TFieldRef backOnly = CallStep(step, Input(previous, 1.0, current, 1.5, g, nullptr, back.get()));
        ExpectNear(Comp(*backOnly, 0), Filled(32, t * TCplx(0.0, 0.5)), 1e-12, std::string(form.name) + " backward only");
        if (!IsScalar(form)) {
            ExpectNear(Comp(*backOnly, 1), Filled(32, t * 0.25), 1e-12, std::string(form.name) + " backward only, y");
            ExpectNear(Comp(*backOnly, 2), Filled(32, 0.0), 1e-14, std::string(form.name) + " backward only, z");
        }
        // Both: (t A + B) P with the reference step; uniform local slices equal to the
        // references make the screen 1 except vbpmf's local t on a non-homogeneous pair.
        const TInterface step15(g, 1.0, 1.5);
        const TFieldRef forward = FieldOf(IsScalar(form), g, Constant(1.0, 0.0));
        const TFieldRef both = CallStep(step, step15.In(g, forward.get(), back.get(), true));
        // vector: (0.8 A + B) P; sbpm: (A + B) P times its screen's t = 0.8.
        const TCplx expected =
            (t + TCplx(0.0, 0.5)) * std::polar(1.0, 1.5 * kK0 * dz) * (IsScalar(form) ? 0.8 : 1.0);
        ExpectNear(Comp(*both, 0), Filled(32, expected), 1e-12, std::string(form.name) + " both");
    }
}

TEST(BeamPropagation, RealFormsDropWavesBeyondASubUnitReferenceAllComplexFormsLetThemDecay)
{
    // Re N = 0.5: a component at kt = 0.625 k0 lies inside the vacuum circle but beyond
    // the reference circle. The real forms skip it (no root of a negative number, no
    // NaN); the all-complex forms carry it as an evanescent wave.
    const TGridParms g = MakeGrid(8, 1, 0.2, 0.2, 0.05);
    const double kx = Kx(g, 5), dz = g.dz * g.scaleFactor;
    const TInterface thin(g, 0.5, 0.5);
    const TVectorFn tilted = [&](int c, int) { return std::array<TCplx, 2>{0.0, std::polar(1.0, kx * XOf(g, c))}; };
    for (const TBeamForm& form : kAllForms) {
        TBrelWaveOptics engine;
        const TFieldRef input = IsScalar(form) ? TFieldRef(MakeField(g, kLambda, [&](int c, int) { return tilted(c, 0)[1]; }))
                                               : TFieldRef(MakeVector(g, tilted));
        const TFieldRef out = CallStep(engine.GetPropFunc(Method(form.method, form.allComplex)), thin.In(g, input.get()));
        const std::vector<TCplx> e = Comp(*out, IsScalar(form) ? 0 : 1);
        const double decay = form.allComplex ? std::exp(-std::sqrt(kx * kx - 0.25 * kK0 * kK0) * dz) : 0.0;
        for (int c = 0; c < g.nx; ++c) {
            ASSERT_TRUE(std::isfinite(e[size_t(c)].real()) && std::isfinite(e[size_t(c)].imag())) << form.name;
            EXPECT_NEAR(std::abs(e[size_t(c)]), decay, 1e-12) << form.name << " column " << c;
        }
    }
}

TEST(BeamPropagation, EnergyFluxIsPerPlaneWaveAsTheWavePropagationStepsCountIt)
{
    // A plane wave of amplitude a at normal incidence into n = 1.5 carries, over the
    // grid's N area elements, N dA n |t a|^2 (H = n E): the flux the wave-propagation
    // steps sum point by point. The map is real space, uniform, and sums to the total.
    const TGridParms g = MakeGrid(8, 4);
    const TInterface step15(g, 1.0, 1.5);
    const double a = 0.7;
    for (const TBeamForm& form : kVectorForms) {
        TBrelWaveOptics engine;
        const TFieldRef input = MakeVector(g, Constant(a, 0.0));
        const TFieldRef out = CallStep(engine.GetPropFunc(Method(form.method, form.allComplex)), step15.In(g, input.get()));
        const double expected = 32.0 * double(out->GetDA()) * 1.5 * (0.8 * a) * (0.8 * a);
        EXPECT_NEAR(out->GetEnergyFlux(), expected, 1e-12 * expected) << form.name;
        double mapSum = 0.0;
        for (int r = 0; r < g.ny; ++r)
            for (int c = 0; c < g.nx; ++c) {
                EXPECT_NEAR(out->GetEFlux(c, r), expected / 32.0, 1e-12 * expected) << form.name;
                mapSum += out->GetEFlux(c, r);
            }
        EXPECT_NEAR(mapSum, expected, 1e-12 * expected) << form.name;
    }
}

TEST(BeamPropagation, ContractOfTheStepCall)
{
    const TGridParms g = MakeGrid(4, 4);
    const TInterface medium(g, 1.2, 1.2);
    for (const TBeamForm& form : kAllForms) {
        SCOPED_TRACE(form.name);
        TBrelWaveOptics engine;
        const TPropagationStep step = engine.GetPropFunc(Method(form.method, form.allComplex));
        ASSERT_TRUE(step);
        // Neither field: nothing happens, the step time is kept.
        const TFieldRef input = FieldOf(IsScalar(form), g, Constant(1.0, 0.5));
        input->SetAmplitudeSum(2.5L);
        CallStep(step, medium.In(g, input.get()));
        const TExtended time = engine.GetStepTime();
        TFieldRef none;
        step(medium.In(g, nullptr), none);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(engine.GetStepTime(), time);
        // An existing output is cleared, reused and takes the wave quantities.
        TFieldRef output = FieldOf(IsScalar(form), g, Constant(9.0, 9.0));
        output->SetLambda(0.5e-6);
        const TField* object = output.get();
        step(medium.In(g, input.get()), output);
        EXPECT_EQ(output.get(), object);
        EXPECT_EQ(output->GetLambda(), kLambda);
        EXPECT_EQ(output->GetAmplitudeSum(), 2.5L);
        ExpectNear(Comp(*output, 0), Filled(16, std::polar(1.0, 1.2 * kK0 * g.dz * g.scaleFactor)), 1e-12, "reused");
        // Bad input is refused before any field changes.
        const std::vector<TCplx> before = Comp(*input, 0);
        TComplexArray nan = UniformSlice(g, 1.2);
        nan.SetAt(1, 2, {std::nan(""), 0.0});
        EXPECT_THROW(CallStep(step, Input(medium.previous, 1.2, nan, 1.2, g, input.get())), EGeneralError);
        TFieldRef same = input;
        EXPECT_THROW(step(medium.In(g, input.get()), same), EGeneralError);
        const TFieldRef wrongKind = IsScalar(form) ? TFieldRef(MakeVector(g, Constant(1.0, 0.0)))
                                                   : TFieldRef(MakeField(g, kLambda, [](int, int) { return 1.0; }));
        EXPECT_THROW(CallStep(step, medium.In(g, wrongKind.get())), EGeneralError);
        EXPECT_EQ(Comp(*input, 0), before);
    }
}

TEST(BeamPropagation, GaussianInVacuumIsAngularSpectrumPropagationForEveryVectorMethod)
{
    // A Gaussian whose spectrum lies well inside the light circle (e^{-k^2 w^2/4} is
    // below 1e-16 at k0), through three slices of vacuum: every vector method is then
    // exact angular-spectrum propagation, so vbpm, vwpm and vwpmh agree with the
    // independent sum and with each other. The vector wave-propagation methods take
    // part wherever their steps are bound in the build.
    const TGridParms g = MakeGrid(16, 8, 0.5, 0.5, 0.4);
    const TInterface vacuum(g, 1.0, 1.0);
    const double w = 2.0e-6;
    const TVectorFn gaussian = [&](int c, int r) {
        const double x = XOf(g, c) + 0.3e-6, y = YOf(g, r);
        const TCplx e = std::exp(-(x * x + y * y) / (w * w));
        return std::array<TCplx, 2>{e, TCplx(0.0, 0.4) * e};
    };
    std::array<std::vector<TCplx>, 3> expected;
    {
        const auto start = MakeVector(g, gaussian);
        std::vector<TCplx> ex = Comp(*start, 0), ey = Comp(*start, 1);
        for (int slice = 0; slice < 3; ++slice) {
            expected = AngularSpectrumVector(g, ex, ey, 1.0);
            ex = expected[0];
            ey = expected[1];
        }
    }
    int compared = 0;
    for (const TSimMethod m : {TSimMethod::vbpm, TSimMethod::vbpmf, TSimMethod::vwpm, TSimMethod::vwpmh}) {
        TBrelWaveOptics engine;
        const TPropagationStep step = engine.GetPropFunc(Method(m));
        if (!step)
            continue;
        TFieldRef field = MakeVector(g, gaussian);
        for (int slice = 0; slice < 3; ++slice)
            field = CallStep(step, vacuum.In(g, field.get(), nullptr, true));
        for (int c = 0; c < 3; ++c)
            EXPECT_LT(RelativeL2(Comp(*field, c), expected[size_t(c)]), 1e-9) << SimMethodName(m) << " component " << c;
        ++compared;
    }
    EXPECT_GE(compared, 2);
}
