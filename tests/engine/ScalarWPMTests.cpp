// Physics and contract of the scalar wave-propagation steps PropagateSWPM and PropagateSWPMH.
#include "EngineTestSupport.h"
#include "field/VectorEField.h"
#include "numerics/GeneralError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ksn;
using namespace ksn::test;

namespace {

const double kK0 = 2.0 * kPi / kLambda;

TCplx Expi(double phase) { return {std::cos(phase), std::sin(phase)}; }

std::shared_ptr<TScalarEField> Uniform(const TGridParms& g, TCplx value = 1.0)
{
    return MakeField(g, kLambda, [value](int, int) { return value; });
}

// A plane wave on spectral column j: e^{i kx(j) x}, kx(j) = (j - nx/2) 2 pi / (nx dx).
std::shared_ptr<TScalarEField> Tilted(const TGridParms& g, int j, double* kx = nullptr)
{
    const double k = (j - g.nx / 2.0) * 2.0 * kPi / (g.nx * g.dx * g.scaleFactor);
    if (kx)
        *kx = k;
    return MakeField(g, kLambda, [&](int c, int) { return Expi(k * XOf(g, c)); });
}

std::shared_ptr<TScalarEField> Gaussian(const TGridParms& g, double w, double tilt)
{
    return MakeField(g, kLambda, [&](int c, int r) {
        const double x = XOf(g, c), y = YOf(g, r);
        return std::exp(-(x * x + y * y) / (w * w)) * Expi(tilt * x);
    });
}

// Independent angular-spectrum propagation through a homogeneous lossless medium of
// index n, by explicit centred sums (no FFT): F(k) = sum_p f(p) e^{-i k.x},
// f'(p) = (1/N) sum_k F(k) e^{i kz dz} e^{i k.x}, plane waves outside the vacuum light
// circle dropped.
std::vector<TCplx> AngularSpectrum(const TGridParms& g, const std::vector<TCplx>& f, double n)
{
    const int nx = g.nx, ny = g.ny;
    const double lx = nx >= 2 ? nx * g.dx * g.scaleFactor : 1.0;
    const double ly = ny >= 2 ? ny * g.dy * g.scaleFactor : 1.0;
    const auto kxOf = [&](int j) { return nx >= 2 ? (j - nx / 2.0) * 2.0 * kPi / lx : 0.0; };
    const auto kyOf = [&](int i) { return ny >= 2 ? (i - ny / 2.0) * 2.0 * kPi / ly : 0.0; };
    const double dz = g.dz * g.scaleFactor;
    std::vector<TCplx> out(f.size());
    for (int i = 0; i < ny; ++i)
        for (int j = 0; j < nx; ++j) {
            const double kx = kxOf(j), ky = kyOf(i), kt2 = kx * kx + ky * ky;
            if (kt2 >= kK0 * kK0)
                continue;
            TCplx spectrum = 0.0;
            for (int r = 0; r < ny; ++r)
                for (int c = 0; c < nx; ++c)
                    spectrum += f[size_t(c + r * nx)] * Expi(-(kx * XOf(g, c) + ky * YOf(g, r)));
            const TCplx h = Expi(std::sqrt(n * n * kK0 * kK0 - kt2) * dz) / double(nx * ny);
            for (int r = 0; r < ny; ++r)
                for (int c = 0; c < nx; ++c)
                    out[size_t(c + r * nx)] += spectrum * h * Expi(kx * XOf(g, c) + ky * YOf(g, r));
        }
    return out;
}

void ExpectAllNear(const std::vector<TCplx>& values, TCplx expected, double tolerance, const std::string& what)
{
    for (size_t p = 0; p < values.size(); ++p)
        ASSERT_LT(std::abs(values[p] - expected), tolerance) << what << " at point " << p << ": " << values[p]
                                                             << " expected " << expected;
}

} // namespace

TEST(ScalarWPM, HomogeneousLosslessSliceAdvancesPhaseByNk0DzPerSlice)
{
    // Includes axes of length 1 and 2: with length 2 the transform's centred sign must
    // not flip the field.
    const std::pair<int, int> sizes[] = {{8, 8}, {2, 4}, {4, 2}, {2, 2}, {1, 1}, {1, 8}};
    for (const auto& [nx, ny] : sizes) {
        for (const TSummation s : {TSummation::direct, TSummation::grouped, TSummation::automatic}) {
            const TGridParms g = MakeGrid(nx, ny);
            const TComplexArray n = UniformSlice(g, 1.5);
            TBrelWaveOptics engine;
            engine.SetSummation(s);
            const TPropagationStep step = StepOf(engine, TSimMethod::swpm, g);
            TFieldRef field = Uniform(g);
            for (int slice = 1; slice <= 3; ++slice) {
                field = Step(step, n, n, g, field.get());
                ExpectAllNear(Values(*field), Expi(slice * 1.5 * kK0 * g.dz * g.scaleFactor), 1e-12,
                              std::to_string(nx) + "x" + std::to_string(ny) + " " + SummationName(s) + " slice " +
                                  std::to_string(slice));
            }
        }
    }
}

TEST(ScalarWPM, HomogeneousSliceReproducesAngularSpectrumPropagation)
{
    const TGridParms grids[] = {MakeGrid(16, 16, 0.4, 0.4, 0.3), MakeGrid(2, 8, 0.4, 0.4, 0.3),
                                MakeGrid(8, 1, 0.3, 0.3, 0.5)};
    for (const TGridParms& g : grids) {
        const auto input = Gaussian(g, 1.2e-6, 0.3 * kK0);
        const std::vector<TCplx> expected = AngularSpectrum(g, Values(*input), 1.3);
        const TComplexArray n = UniformSlice(g, 1.3);
        for (const TSummation s : {TSummation::direct, TSummation::grouped}) {
            const double error = RelativeL2(SwpmWith(s, n, n, g, input.get()), expected);
            EXPECT_LT(error, 1e-12) << g.nx << "x" << g.ny << " " << SummationName(s);
        }
    }
}

TEST(ScalarWPM, IndexStepAtNormalIncidenceTransmits2n1OverN1PlusN2)
{
    const TGridParms g = MakeGrid(8, 8);
    const double phase = kK0 * g.dz * g.scaleFactor;
    for (const auto& [n1, n2] : {std::pair{1.0, 1.5}, std::pair{1.5, 1.0}, std::pair{1.33, 2.4}}) {
        TBrelWaveOptics engine;
        const TFieldRef out = Step(StepOf(engine, TSimMethod::swpm, g), UniformSlice(g, n1), UniformSlice(g, n2), g,
                                   Uniform(g).get());
        ExpectAllNear(Values(*out), 2.0 * n1 / (n1 + n2) * Expi(n2 * phase), 1e-12,
                      "n1=" + std::to_string(n1) + " n2=" + std::to_string(n2));
    }
}

TEST(ScalarWPM, ObliqueWaveAcrossAnIndexStepAveragesSAndPTransmission)
{
    // t = (ts + tp)/2 with ts = 2 kz1/(kz1 + kz2), tp = 2 kz1 n1 n2/(kz1 n2^2 + kz2 n1^2).
    const TGridParms g = MakeGrid(8, 8);
    double kx = 0.0;
    const auto wave = Tilted(g, 6, &kx);
    const double n1 = 1.0, n2 = 1.6;
    const double kz1 = std::sqrt(n1 * n1 * kK0 * kK0 - kx * kx), kz2 = std::sqrt(n2 * n2 * kK0 * kK0 - kx * kx);
    const double ts = 2 * kz1 / (kz1 + kz2), tp = 2 * kz1 * n1 * n2 / (kz1 * n2 * n2 + kz2 * n1 * n1);
    const std::vector<TCplx> out =
        SwpmWith(TSummation::direct, UniformSlice(g, n1), UniformSlice(g, n2), g, wave.get());
    for (int c = 0; c < g.nx; ++c) {
        const TCplx expected = (ts + tp) / 2 * Expi(kx * XOf(g, c) + kz2 * g.dz * g.scaleFactor);
        EXPECT_LT(std::abs(out[size_t(c)] - expected), 1e-12) << "column " << c;
    }
}

TEST(ScalarWPM, AbsorbingSliceDecaysByExpMinusK0KappaDzAndFasterWhenOblique)
{
    const TGridParms g = MakeGrid(8, 8);
    const double kappa = 0.02, n = 1.5, dz = g.dz * g.scaleFactor;
    const TComplexArray slice = UniformSlice(g, TCplx(n, kappa));
    TBrelWaveOptics engine;
    const TPropagationStep step = StepOf(engine, TSimMethod::swpm, g);
    TFieldRef field = Uniform(g);
    for (int k = 1; k <= 2; ++k) {
        field = Step(step, slice, slice, g, field.get());
        ExpectAllNear(Values(*field), std::exp(-k * kK0 * kappa * dz) * Expi(k * n * kK0 * dz), 1e-12,
                      "normal incidence");
    }
    double kx = 0.0;
    const auto tilted = Tilted(g, 6, &kx);
    const double kz = std::sqrt(n * n * kK0 * kK0 - kx * kx);
    const double oblique = std::exp(-kK0 * kappa * dz * (n * kK0 / kz));
    ASSERT_LT(oblique, std::exp(-kK0 * kappa * dz));
    const std::vector<TCplx> out = Values(*Step(step, slice, slice, g, tilted.get()));
    for (int c = 0; c < g.nx; ++c)
        EXPECT_NEAR(std::abs(out[size_t(c)]), oblique, 1e-12) << "column " << c;
    EXPECT_NEAR(std::arg(out[1] / Expi(kx * XOf(g, 1))), std::remainder(kz * dz, 2 * kPi), 1e-10);
}

TEST(ScalarWPM, ComponentsOutsideTheVacuumLightCircleAreDroppedEvenInDenseMedia)
{
    // dx = 0.2 um: the spectral step is 0.625 k0, so column 5 lies inside the vacuum
    // light circle and column 6 (1.25 k0) outside it, though inside 2 k0.
    const TGridParms g = MakeGrid(8, 1, 0.2, 0.2, 0.25);
    const TComplexArray dense = UniformSlice(g, 2.0);
    const std::vector<TCplx> outside = SwpmWith(TSummation::direct, dense, dense, g, Tilted(g, 6).get());
    ExpectAllNear(outside, 0.0, 1e-14, "kt = 1.25 k0"); // transform rounding only
    const std::vector<TCplx> inside = SwpmWith(TSummation::direct, dense, dense, g, Tilted(g, 5).get());
    for (const TCplx& v : inside)
        EXPECT_NEAR(std::abs(v), 1.0, 1e-12);
}

TEST(ScalarWPM, WaveThatCannotPropagateAtAPointContributesNothingThereAndNoNaN)
{
    // kt = 0.625 k0 exceeds n k0 = 0.5 k0: kz would be imaginary.
    const TGridParms g = MakeGrid(8, 1, 0.2, 0.2, 0.25);
    const auto wave = Tilted(g, 5);
    for (const TSummation s : {TSummation::direct, TSummation::grouped}) {
        ExpectAllNear(SwpmWith(s, UniformSlice(g, 0.5), UniformSlice(g, 0.5), g, wave.get()), 0.0, 1e-14,
                      "slice below the wave's aperture");
        ExpectAllNear(SwpmWith(s, UniformSlice(g, 0.5), UniformSlice(g, 1.5), g, wave.get()), 0.0, 1e-14,
                      "previous slice below the wave's aperture");
    }
    // Half the slice below the aperture: the wave survives only in the other half.
    const TComplexArray split = MakeSlice(g, [](int c, int) { return c < 4 ? TCplx(0.5) : TCplx(1.5); });
    const std::vector<TCplx> out = SwpmWith(TSummation::automatic, split, split, g, wave.get());
    for (int c = 0; c < 8; ++c) {
        ASSERT_TRUE(std::isfinite(out[size_t(c)].real()) && std::isfinite(out[size_t(c)].imag()));
        EXPECT_NEAR(std::abs(out[size_t(c)]), c < 4 ? 0.0 : 1.0, 1e-12) << "column " << c;
    }
}

TEST(ScalarWPM, HybridOnHomogeneousPairEqualsPointSum)
{
    const TGridParms g = MakeGrid(16, 16, 0.4, 0.4, 0.3);
    const TComplexArray previous = UniformSlice(g, 1.0);
    const TComplexArray current = UniformSlice(g, TCplx(1.5, 0.01));
    const auto a = Gaussian(g, 1.5e-6, 0.4 * kK0);
    const auto b = Gaussian(g, 1.0e-6, -0.2 * kK0);
    const struct {
        TField* forward;
        TField* backward;
        const char* mode;
    } modes[] = {{a.get(), nullptr, "forward"}, {nullptr, b.get(), "backward"}, {a.get(), b.get(), "both"}};
    for (const auto& m : modes) {
        TBrelWaveOptics engine;
        const auto expected =
            Values(*Step(StepOf(engine, TSimMethod::swpm, g), previous, current, g, m.forward, m.backward));
        const auto hybrid =
            Values(*Step(StepOf(engine, TSimMethod::swpmh, g), previous, current, g, m.forward, m.backward, true));
        EXPECT_LT(RelativeL2(hybrid, expected), 1e-12) << m.mode;
        // Without the flag the hybrid is the point sum itself.
        const auto unflagged =
            Values(*Step(StepOf(engine, TSimMethod::swpmh, g), previous, current, g, m.forward, m.backward, false));
        EXPECT_LT(RelativeL2(unflagged, expected), 1e-15) << m.mode;
    }
}

TEST(ScalarWPM, BackwardFieldIsTransmittedButNotAdvanced)
{
    const TGridParms g = MakeGrid(8, 8);
    // Plane waves well inside the light circle, so that nothing is dropped.
    const double dk = 2.0 * kPi / (g.nx * g.dx * g.scaleFactor);
    const auto b = MakeField(g, kLambda, [&](int c, int r) {
        return 1.0 + 0.5 * Expi(dk * XOf(g, c)) + TCplx(0.0, 0.3) * Expi(-dk * YOf(g, r));
    });
    const std::vector<TCplx> before = Values(*b);
    const TComplexArray n = UniformSlice(g, TCplx(1.5, 0.05));
    EXPECT_LT(RelativeL2(SwpmWith(TSummation::direct, n, n, g, nullptr, b.get()), before), 1e-12)
        << "equal indices: no phase, no absorption";
    ExpectAllNear(SwpmWith(TSummation::direct, UniformSlice(g, 1.0), UniformSlice(g, 1.5), g, nullptr,
                           Uniform(g, 2.0).get()),
                  0.8 * 2.0, 1e-12, "normal incidence on a step");
}

TEST(ScalarWPM, BothFieldsAddBackwardAmplitudeBeforePropagation)
{
    const TGridParms g = MakeGrid(8, 8);
    const double phase = 1.5 * kK0 * g.dz * g.scaleFactor;
    const auto a = Uniform(g, 1.0);
    const auto b = Uniform(g, TCplx(0.0, 0.5));
    ExpectAllNear(SwpmWith(TSummation::direct, UniformSlice(g, 1.0), UniformSlice(g, 1.5), g, a.get(), b.get()),
                  (0.8 + TCplx(0.0, 0.5)) * Expi(phase), 1e-12, "(t A + B) P");
}

TEST(ScalarWPM, StepRestoresInputsAndCopiesWaveQuantities)
{
    const TGridParms g = MakeGrid(8, 8);
    const auto a = Gaussian(g, 1.0e-6, 0.3 * kK0);
    a->SetAmplitudeSum(2.5L);
    const auto b = Gaussian(g, 0.8e-6, 0.0);
    b->SetLambda(0.8e-6);
    b->SetAmplitudeSum(4.0L);
    const std::vector<TCplx> beforeA = Values(*a), beforeB = Values(*b);
    const TComplexArray n = UniformSlice(g, 1.2);
    TBrelWaveOptics engine;
    const TPropagationStep step = StepOf(engine, TSimMethod::swpm, g);

    const TFieldRef both = Step(step, n, n, g, a.get(), b.get());
    EXPECT_LT(RelativeL2(Values(*a), beforeA), 1e-14) << "forward field back in the spatial domain";
    EXPECT_LT(RelativeL2(Values(*b), beforeB), 1e-14) << "backward field back in the spatial domain";
    EXPECT_EQ(both->GetLambda(), kLambda);
    EXPECT_EQ(both->GetAmplitudeSum(), 2.5L);
    EXPECT_FALSE(both->IsVector());

    const TFieldRef backOnly = Step(step, n, n, g, nullptr, b.get());
    EXPECT_EQ(backOnly->GetLambda(), 0.8e-6);
    EXPECT_EQ(backOnly->GetAmplitudeSum(), 4.0L);
}

TEST(ScalarWPM, ExistingOutputFieldIsOverwrittenWhole)
{
    // A reused output is not cleared first: the sum must write every point, whether its
    // tuples are grouped (stored) or direct (added, so zeroed first). NaN left anywhere
    // would show. Two materials on a non-square grid, one of them absorbing.
    const TGridParms g = MakeGrid(16, 8);
    const TComplexArray n = UniformSlice(g, 1.5);
    TComplexArray guide = UniformSlice(g, 1.5);
    for (int r = 2; r < 5; ++r)
        for (int c = 3; c < 9; ++c)
            guide.SetAt(c, r, {1.6, 0.02});
    const auto input = Gaussian(g, 1.0e-6, 0.1 * kK0);
    for (const TSummation summation : {TSummation::direct, TSummation::grouped, TSummation::automatic}) {
        TBrelWaveOptics engine;
        engine.SetSummation(summation);
        const TPropagationStep step = StepOf(engine, TSimMethod::swpm, g);
        const std::vector<TCplx> fresh = Values(*Step(step, n, guide, g, input.get()));
        const double nan = std::nan("");
        TFieldRef output = MakeField(g, 0.5e-6, [&](int, int) { return TCplx(nan, nan); });
        const TField* object = output.get();
        step(TStepInput{0, &n, {}, &guide, {}, false, &g, input.get(), nullptr}, output);
        EXPECT_EQ(output.get(), object);
        EXPECT_EQ(Values(*output), fresh) << "summation " << int(summation);
        EXPECT_EQ(output->GetLambda(), kLambda);
    }
}

TEST(ScalarWPM, KeptSpectrumOfAUniformStepEqualsTheTransformedOutput)
{
    // A step entering its own last output reuses that output's spectrum where one tuple
    // covered the grid. Through an absorbing uniform medium into a guide and out again,
    // on a non-square grid, every output must match steps that transform their input.
    const TGridParms g = MakeGrid(16, 8);
    const TComplexArray medium = UniformSlice(g, {1.5, 0.01});
    TComplexArray guide = UniformSlice(g, {1.5, 0.01});
    for (int r = 2; r < 5; ++r)
        for (int c = 3; c < 9; ++c)
            guide.SetAt(c, r, {1.6, 0.0});
    const auto input = Gaussian(g, 1.0e-6, 0.1 * kK0);
    TBrelWaveOptics kept, plain;
    const TPropagationStep keptStep = StepOf(kept, TSimMethod::swpm, g);
    const TPropagationStep plainStep = StepOf(plain, TSimMethod::swpm, g);
    const TComplexArray* slices[] = {&medium, &medium, &medium, &guide, &medium};
    TFieldRef keptIn = input, plainIn = input;
    for (int z = 1; z < 5; ++z) {
        TFieldRef keptOut, plainOut;
        keptStep(TStepInput{0, slices[z - 1], {}, slices[z], {}, false, &g, keptIn.get(), nullptr, z > 1}, keptOut);
        plainStep(TStepInput{0, slices[z - 1], {}, slices[z], {}, false, &g, plainIn.get(), nullptr}, plainOut);
        EXPECT_LT(RelativeL2(Values(*keptOut), Values(*plainOut)), 1e-13) << "slice " << z;
        keptIn = keptOut;
        plainIn = plainOut;
    }
    // After a uniform step, a field that is not its output is transformed as usual.
    TFieldRef keptOut, plainOut;
    keptStep(TStepInput{0, &medium, {}, &medium, {}, false, &g, input.get(), nullptr}, keptOut);
    TFieldRef other;
    keptStep(TStepInput{0, &medium, {}, &guide, {}, false, &g, input.get(), nullptr, true}, other);
    plainStep(TStepInput{0, &medium, {}, &guide, {}, false, &g, input.get(), nullptr}, plainOut);
    EXPECT_EQ(Values(*other), Values(*plainOut));
}

TEST(ScalarWPM, BadInputIsRefusedBeforeAnyFieldChanges)
{
    const TGridParms g = MakeGrid(8, 8);
    const TComplexArray n = UniformSlice(g, 1.5);
    TBrelWaveOptics engine;
    const TPropagationStep step = StepOf(engine, TSimMethod::swpm, g);
    const auto input = Gaussian(g, 1.0e-6, 0.1 * kK0);
    const std::vector<TCplx> before = Values(*input);

    const auto refused = [&](const std::string& what, const std::function<void()>& call) {
        EXPECT_THROW(call(), EGeneralError) << what;
        EXPECT_EQ(Values(*input), before) << what << ": the input must be untouched";
    };
    TComplexArray nan = UniformSlice(g, 1.5);
    nan.SetAt(3, 3, {1.5, std::nan("")});
    refused("non-finite index", [&] { Step(step, n, nan, g, input.get()); });
    const TPropagationStep hybrid = StepOf(engine, TSimMethod::swpmh, g);
    TComplexArray nanCorner = UniformSlice(g, 1.5);
    nanCorner.SetAt(0, 0, {std::nan(""), 0.0});
    refused("non-finite index on the spectral path", [&] { Step(hybrid, nanCorner, n, g, input.get(), nullptr, true); });
    const TComplexArray small = UniformSlice(MakeGrid(4, 8), 1.5);
    refused("slice of another grid", [&] { Step(step, small, n, g, input.get()); });
    refused("field of another grid", [&] { Step(step, n, n, MakeGrid(8, 16), input.get()); });
    refused("missing slice", [&] {
        TFieldRef out;
        step(TStepInput{0, nullptr, {}, &n, {}, false, &g, input.get(), nullptr}, out);
    });
    TFieldRef same = input;
    refused("output is the input", [&] { step(TStepInput{0, &n, {}, &n, {}, false, &g, input.get(), nullptr}, same); });
    TVectorEField vector(g);
    vector.SetLambda(kLambda);
    EXPECT_THROW(Step(step, n, n, g, &vector), EGeneralError) << "a vector field is not a scalar step's input";
    TFieldRef vectorOut = std::make_shared<TVectorEField>(g);
    refused("vector output", [&] { step(TStepInput{0, &n, {}, &n, {}, false, &g, input.get(), nullptr}, vectorOut); });
    input->SetLambda(0.0);
    refused("zero wavelength", [&] { Step(step, n, n, g, input.get()); });
}
