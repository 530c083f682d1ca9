// Maps, totals, area elements, accumulation and transforms of the field base class,
// exercised through the concrete fields.
#include "field/ScalarEField.h"
#include "field/VectorEField.h"

#include "field/FieldTestGrids.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace ksn {
namespace {

using test::MicronGrid;
using test::TRecordingSink;

TEST(FieldMaps, SetAbsorpOverwritesPixelButAddsToRowColumnAndMap)
{
    TRecordingSink sink;
    TScalarEField f(MicronGrid(8, 8));
    f.SetAbsorp(2, 3, 0.5);
    f.SetAbsorp(2, 3, 0.5); // a pixel is overwritten, not accumulated
    EXPECT_DOUBLE_EQ(f.GetAbsorp(2, 3), 0.5);

    f.SetAbsorp(-1, 3, 0.5); // whole row 3 gains 0.5
    EXPECT_DOUBLE_EQ(f.GetAbsorp(2, 3), 1.0);
    EXPECT_DOUBLE_EQ(f.GetAbsorp(7, 3), 0.5);
    EXPECT_DOUBLE_EQ(f.GetAbsorp(7, 4), 0.0);

    f.SetAbsorp(5, -1, 0.25); // whole column 5 gains 0.25
    EXPECT_DOUBLE_EQ(f.GetAbsorp(5, 3), 0.75);
    EXPECT_DOUBLE_EQ(f.GetAbsorp(5, 0), 0.25);
    EXPECT_DOUBLE_EQ(f.GetAbsorp(4, 0), 0.0);

    f.SetAbsorp(-1, -1, 1.0); // every pixel gains 1
    EXPECT_DOUBLE_EQ(f.GetAbsorp(2, 3), 2.0);
    EXPECT_DOUBLE_EQ(f.GetAbsorp(0, 7), 1.0);
    EXPECT_TRUE(sink.messages.empty());

    f.SetAbsorp(-1, 8, 9.0);
    f.SetAbsorp(8, 0, 9.0);
    EXPECT_EQ(sink.messages.size(), 2u);
    EXPECT_TRUE(sink.HasMessage(
        "Error in TField.SetAbsorp(const x, y : Integer; const Absorp : Extended). Index out of range."));
    EXPECT_DOUBLE_EQ(f.GetAbsorp(0, 7), 1.0);
}

TEST(FieldMaps, SetEFluxStoresInRowColumnAndClearsWholeMap)
{
    TRecordingSink sink;
    TVectorEField f(MicronGrid(4, 4));
    f.SetEFlux(-1, 1, 2.0);
    f.SetEFlux(-1, 1, 3.0); // rows are overwritten, not accumulated
    f.SetEFlux(2, -1, 5.0);
    EXPECT_DOUBLE_EQ(f.GetEFlux(0, 1), 3.0);
    EXPECT_DOUBLE_EQ(f.GetEFlux(2, 1), 5.0);
    EXPECT_DOUBLE_EQ(f.GetEFlux(2, 3), 5.0);
    EXPECT_DOUBLE_EQ(f.GetEFlux(0, 0), 0.0);

    f.SetEFlux(-1, -1, 0.0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(f.EnergyFluxMap().At(x, y), (TComplex{0.0, 0.0}));
    f.SetEFlux(4, -1, 1.0);
    EXPECT_TRUE(sink.HasMessage(
        "Error in TField.SetEFlux(const x, y : Integer; const f : Extended). Index out of range."));
}

TEST(FieldMaps, BadIndicesShowMessagesAndReadZero)
{
    TRecordingSink sink;
    TScalarEField f(MicronGrid(4, 2));
    f.SetI(3, 1, 7.0);
    EXPECT_DOUBLE_EQ(f.GetI(3, 1), 7.0);
    EXPECT_DOUBLE_EQ(f.GetI(4, 1), 0.0);
    f.SetI(0, 2, 1.0);
    EXPECT_DOUBLE_EQ(f.GetEFlux(-1, 0), 0.0);
    EXPECT_DOUBLE_EQ(f.GetAbsorp(0, -3), 0.0);
    const std::vector<std::string> expected{
        "Error in GetI(const x, y : Integer). Index out of range.",
        "Error in TField.SetI(const x, y : Integer; const C : Double). Index out of range.",
        "Error in TField.GetEFlux(const x, y : Integer). Index out of range.",
        "Error in TField.GetAbsorp(const x, y : Integer). Index out of range.",
    };
    EXPECT_EQ(sink.messages, expected);
}

TEST(FieldMaps, NonFiniteTotalsAreRefused)
{
    TRecordingSink sink;
    TScalarEField f(MicronGrid(2, 2));
    f.SetIntensity(3.0);
    f.SetIntensity(std::numeric_limits<double>::quiet_NaN());
    f.SetAbsorption(std::numeric_limits<double>::infinity());
    f.SetEnergyFlux(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(f.GetIntensity(), 3.0);
    EXPECT_DOUBLE_EQ(f.GetAbsorption(), 0.0);
    EXPECT_DOUBLE_EQ(f.GetEnergyFlux(), 0.0);
    EXPECT_TRUE(sink.HasMessage("Error in TField.SetIntensity(const I : Double). Cannot set value."));
    EXPECT_TRUE(sink.HasMessage("Error in TField.SetAbsorption(const A : Double). Cannot set value."));
    EXPECT_TRUE(sink.HasMessage("Error in TField.SetEnergyFlux(const E : Double). Cannot set value."));
}

TEST(FieldMaps, ConcurrentEnergyFluxAdditionsAreNotLost)
{
    TVectorEField f(MicronGrid(2, 2));
    f.SetEnergyFlux(1.0);
    std::vector<std::thread> workers;
    for (int t = 0; t < 8; ++t)
        workers.emplace_back([&f] {
            for (int i = 0; i < 20000; ++i)
                f.AddEnergyFlux(1.0L);
        });
    for (auto& w : workers)
        w.join();
    EXPECT_DOUBLE_EQ(f.GetEnergyFlux(), 160001.0);
}

TEST(FieldMaps, AreaElementOfOneDimensionalSlices)
{
    const TScalarEField both(MicronGrid(4, 4, 0.5, 0.25));
    EXPECT_NEAR(double(both.GetDA()), 0.5e-6 * 0.25e-6, 1e-27);
    EXPECT_NEAR(double(both.GetDV()), 0.5e-6 * 0.25e-6 * 0.5e-6, 1e-33);
    const TScalarEField noDy(MicronGrid(4, 1, 0.5, 0.0));
    EXPECT_NEAR(double(noDy.GetDA()), 0.5e-6, 1e-20); // line element u*dx
    const TScalarEField noDx(MicronGrid(1, 4, 0.0, 0.25));
    EXPECT_NEAR(double(noDx.GetDA()), 0.25e-6, 1e-20);
}

TEST(FieldMaps, AccumAddsAbsorptionAndComponentsOnlyOnEqualGrids)
{
    TRecordingSink sink;
    TVectorEField a(MicronGrid(4, 4)), b(MicronGrid(4, 4)), other(MicronGrid(8, 4));
    a.SetAbsorp(1, 1, 0.5);
    b.SetAbsorp(1, 1, 0.25);
    b.SetEY(2, 3, {1.0, -2.0});
    other.SetAbsorp(-1, -1, 9.0);
    other.SetEX(1, 1, {9.0, 9.0});

    a.Accum(other); // a different grid changes nothing
    EXPECT_DOUBLE_EQ(a.GetAbsorp(1, 1), 0.5);
    EXPECT_EQ(a.GetEX(1, 1), (TComplex{0.0, 0.0}));

    a.Accum(b);
    EXPECT_DOUBLE_EQ(a.GetAbsorp(1, 1), 0.75);
    EXPECT_EQ(a.GetEY(2, 3), (TComplex{1.0, -2.0}));
    EXPECT_TRUE(sink.messages.empty());

    // A scalar field accumulates E but not its absorption map.
    TScalarEField s(MicronGrid(4, 4)), t(MicronGrid(4, 4));
    t.SetE(0, 0, {2.0, 1.0});
    t.SetAbsorp(0, 0, 3.0);
    s.Accum(t);
    s.Accum(t);
    EXPECT_EQ(s.GetE(0, 0), (TComplex{4.0, 2.0}));
    EXPECT_DOUBLE_EQ(s.GetAbsorp(0, 0), 0.0);
}

TEST(FieldMaps, ClearFieldZeroesMapsTotalsAndComponents)
{
    TVectorEField f(MicronGrid(4, 4), test::PlaneWave());
    f.SetI(0, 0, 1.0);
    f.SetAbsorp(-1, -1, 1.0);
    f.SetEFlux(-1, -1, 1.0);
    f.SetIntensity(1.0);
    f.SetAbsorption(1.0);
    f.SetEnergyFlux(1.0);
    f.ClearField();
    EXPECT_EQ(f.GetIntensity() + f.GetAbsorption() + f.GetEnergyFlux(), 0.0);
    // A map written through its array is cleared too; a skipped clear of the intensity
    // and absorption maps holds for one ClearField only.
    f.EnergyFluxMap().At(3, 2) = {2.0, -1.0};
    f.IntensityMap().At(1, 3) = 5.0;
    f.SkipNextMapClear();
    f.ClearField();
    EXPECT_EQ(f.GetI(1, 3), 5.0);
    EXPECT_EQ(f.EnergyFluxMap().At(3, 2), (TComplex{0.0, 0.0}));
    f.ClearField();
    EXPECT_EQ(f.GetConfigCount(), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(f.GetI(x, y) + f.GetAbsorp(x, y) + f.GetEFlux(x, y), 0.0);
            EXPECT_EQ(f.GetEX(x, y), (TComplex{0.0, 0.0}));
        }
}

TEST(FieldMaps, CloneCopiesMapsTotalsAndAmplitudeSumButNotLists)
{
    TVectorEField f(MicronGrid(4, 4), test::PlaneWave(2.0));
    f.SetAbsorp(3, 2, 0.125);
    f.SetIntensity(4.0);
    TParmsVariation v;
    v.num = 0, v.steps = 2, v.parm = TParms::amplitude;
    f.SetParm(0, v);
    const auto copy = f.Clone();
    EXPECT_TRUE(copy->IsVector());
    EXPECT_DOUBLE_EQ(copy->GetAbsorp(3, 2), 0.125);
    EXPECT_DOUBLE_EQ(copy->GetIntensity(), 4.0);
    EXPECT_EQ(double(copy->GetAmplitudeSum()), 2.0);
    EXPECT_EQ(copy->GetEX(1, 1), (TComplex{2.0, 0.0}));
    EXPECT_TRUE(copy->Waves().empty());
    EXPECT_TRUE(copy->Variations().empty());
    EXPECT_EQ(copy->GetLambda(), 0.0);
    copy->CopyWaveQuantities(f);
    EXPECT_DOUBLE_EQ(copy->GetLambda(), 1e-6);
}

TEST(FieldMaps, FourierRoundTripRestoresFieldAndBadSizesAreRefused)
{
    TRecordingSink sink;
    TFieldOptions w = test::PlaneWave();
    w.theta = 20.0;
    w.shape = TBeamShape::gaussian;
    w.sigmaX = w.sigmaY = 1.0;
    TVectorEField f(MicronGrid(16, 8), w);
    const TComplexArray before = f.EX();
    f.Fourier(1);
    f.Fourier(-1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_NEAR(f.EX().At(x, y).re, before.At(x, y).re, 1e-12);
            EXPECT_NEAR(f.EX().At(x, y).im, before.At(x, y).im, 1e-12);
        }
    EXPECT_TRUE(sink.messages.empty());

    TScalarEField odd(MicronGrid(6, 4), test::PlaneWave());
    odd.Fourier(1);
    EXPECT_TRUE(sink.HasMessage("TField.Fourier :: Cannot FFT TComplexArray."));
    EXPECT_EQ(odd.GetE(5, 3), (TComplex{1.0, 0.0})); // untouched
}

TEST(FieldMaps, EmptyGridDoesNotCrash)
{
    TRecordingSink sink;
    TVectorEField f(MicronGrid(-3, 0), test::PlaneWave());
    EXPECT_EQ(f.GetXSize(), 0);
    EXPECT_EQ(f.GetEX(0, 0), (TComplex{0.0, 0.0}));
    EXPECT_TRUE(sink.HasMessage("Cannot get EX[0,0]"));
}

} // namespace
} // namespace ksn
