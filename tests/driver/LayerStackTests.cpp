// Layer stacks longer and shorter than the window's Z: the stack decides the length at
// the file's spacing, so scene levels and run steps agree in both scene modes, and an
// absorbing slab behind a vacuum layer absorbs what Beer-Lambert says. A grid edited
// after loading reaches the scene at the next Start.
#include "DriverTestSupport.h"

#include "config/Configuration.h"
#include "control/SimulationDriver.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ksn::test {
namespace {

constexpr double kKappa = 1e-3; // slab extinction; lambda = 1 um
constexpr double kDz = 0.5;     // Z = 10 um in 20 slices

// A plane wave through vacuum (3 um) and then an absorbing slab of n = 1 + i kappa.
TIniSetup VacuumThenSlab(double slab, bool largeScene)
{
    TIniSetup setup;
    setup.global["nz"] = "20";
    if (largeScene)
        setup.global["largescene"] = "1";
    setup.layers = {{3, 1.0, 0.0}, {slab, 1.0, kKappa}};
    return setup;
}

struct TStackCase {
    double slab;
    int slices; // (3 + slab) / dz
};

TEST(LayerStack, LevelsEqualStepsAndTheSlabAbsorbsAsBeerLambertSays)
{
    // Longer (3 + 9 = 12) and shorter (3 + 2 = 5) than Z = 10.
    for (const TStackCase c : {TStackCase{9, 24}, TStackCase{2, 10}}) {
        for (const bool large : {false, true}) {
            SCOPED_TRACE("slab " + std::to_string(c.slab) + (large ? " large scene" : " system array"));
            TRecordingSink sink;
            TSimulationDriver driver;
            ASSERT_TRUE(driver.Open(WriteIni(TempDir("stack"), "a.ini", VacuumThenSlab(c.slab, large))));
            const TGridParms& g = driver.Configuration().grid;
            EXPECT_EQ(g.nz, c.slices);
            EXPECT_EQ(g.dz, kDz); // the spacing of the file, Z/nz = 10/20
            EXPECT_EQ(g.Z, c.slices * kDz);
            ASSERT_TRUE(driver.Run());
            EXPECT_TRUE(sink.messages.empty()) << sink.messages.front();
            EXPECT_EQ(driver.Scene()->GetEndLevel(-1), c.slices);
            EXPECT_EQ(driver.SliceCount(), c.slices);
            ASSERT_EQ(driver.ForwardStore().size(), size_t(c.slices));
            for (const auto& f : driver.ForwardStore())
                ASSERT_NE(f, nullptr);

            // Slab slice j = 1 ... M carries I_j = exp(-alpha j dz) (each step advances
            // through its own slice; equal real indices transmit fully) and absorbs
            // alpha dz I_j, alpha = 4 pi kappa / lambda. Summed:
            //   A = alpha dz e^{-alpha dz} (1 - e^{-alpha M dz}) / (1 - e^{-alpha dz}),
            // Beer-Lambert's 1 - e^{-alpha L} of the slab L = M dz to first order in
            // alpha dz (relative difference alpha dz / 2).
            const double alpha = 4 * M_PI * kKappa / 1e-6;
            const double x = alpha * kDz * 1e-6;
            const int m = int(std::lround(c.slab / kDz));
            const double slices = x * std::exp(-x) * -std::expm1(-m * x) / -std::expm1(-x);
            const double beerLambert = -std::expm1(-alpha * c.slab * 1e-6);
            EXPECT_NEAR(driver.TotalAbsorption(), slices, 1e-9 * slices);
            EXPECT_NEAR(driver.TotalAbsorption(), beerLambert, 0.6 * x * beerLambert);
        }
    }
}

TEST(LayerStack, TheLogSaysWhatRuns)
{
    TRecordingSink sink;
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(TempDir("stacklog"), "a.ini", VacuumThenSlab(2, false))));
    bool found = false;
    for (const auto& line : sink.logLines)
        found = found || line.find(" Layer stack of 5 um differs from Z = 10 um: running 10 slices of dz = 0.5 um.") !=
                             std::string::npos;
    EXPECT_TRUE(found);
}

TEST(LayerStack, GridEditTakesEffectAtStartNotUnderTheBuiltScene)
{
    TRecordingSink sink;
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(TempDir("gridedit"), "a.ini", VacuumThenSlab(2, false))));
    ASSERT_EQ(driver.Scene()->GetNz(), 10);
    // dz = Z/nz = 5/20 = 0.25: the 5 um stack now runs 20 slices.
    ASSERT_TRUE(EditGrid(driver.Configuration(), TGridEdit::nz, 20));
    EXPECT_EQ(driver.Configuration().grid.nz, 20);
    EXPECT_EQ(driver.Scene()->GetNz(), 10);
    EXPECT_EQ(driver.Scene()->SystemArrayLength(), 10);
    ASSERT_TRUE(driver.Run());
    EXPECT_EQ(driver.Scene()->GetNz(), 20);
    EXPECT_EQ(driver.Scene()->SystemArrayLength(), 20);
    EXPECT_EQ(driver.SliceCount(), 20);
    EXPECT_EQ(driver.ForwardStore().size(), 20u);
    // The field was rebuilt with the scene: the 2 um slab absorbs in 8 slices of 0.25 um.
    const double x = 4 * M_PI * kKappa / 1e-6 * 0.25e-6;
    EXPECT_NEAR(driver.TotalAbsorption(), x * std::exp(-x) * -std::expm1(-8 * x) / -std::expm1(-x), 1e-12);
}

} // namespace
} // namespace ksn::test
