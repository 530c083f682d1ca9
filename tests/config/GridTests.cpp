// The grid of a configuration: the one check and its messages, the slice rule, the fit
// of the slice count to the layer stack at the file's spacing, a refitted file under
// save and load, and the grid edits.
#include "ConfigFixtures.h"

#include "config/Configuration.h"
#include "config/FloatText.h"
#include "config/Grid.h"
#include "numerics/GeneralError.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>

namespace ksn {
namespace {

using test::BaseConfig;
using test::Edit;
using test::ReadFileText;
using test::TRecordingSink;
using test::TScratchDir;

// 8 x 4 points over 8 x 2 um, 10 slices over 5 um.
TGridParms MicronGrid()
{
    TGridParms g;
    g.nx = 8, g.ny = 4, g.nz = 10;
    g.X = 8, g.Y = 2, g.Z = 5;
    ComputeSpacings(g, TScale::um);
    return g;
}

TLayerParms Slab(double zStart, double thickness)
{
    TLayerParms l;
    l.zStart = zStart;
    l.thickness = thickness;
    return l;
}

TEST(GridCheck, EveryUnusableGridIsNamed)
{
    struct TCase {
        std::function<void(TGridParms&)> edit;
        std::string fault;
    };
    const TCase cases[] = {
        {[](TGridParms&) {}, ""},
        {[](TGridParms& g) { g.nx = 1, g.dx = 0; }, ""}, // one point needs no spacing
        {[](TGridParms& g) { g.nx = 6; }, "nx and ny must be powers of two (1 allowed); the grid is 6 x 4."},
        {[](TGridParms& g) { g.ny = 0; }, "The grid has no points (nx = 8, ny = 0); nx and ny must be at least 1."},
        {[](TGridParms& g) { g.nx = g.ny = 1 << 16; }, "Grid size 65536 x 65536 exceeds 32 bits."},
        {[](TGridParms& g) { g.scaleFactor = 0; }, "Unknown length unit (scale)."},
        {[](TGridParms& g) { g.nz = 0; },
         "The grid has no spacing along z (nz = 0, Z = 5); nz and Z must be positive."},
        {[](TGridParms& g) { g.dz = std::nan(""); },
         "The grid has no spacing along z (nz = 10, Z = 5); nz and Z must be positive."},
        {[](TGridParms& g) { g.dx = 0; }, "The grid spacings must be positive (check X, Y, Z and nx, ny, nz)."},
        {[](TGridParms& g) { g.dy = -0.5; }, "The grid spacings must be positive (check X, Y, Z and nx, ny, nz)."},
        {[](TGridParms& g) { g.dx = INFINITY; }, "The grid spacings must be positive (check X, Y, Z and nx, ny, nz)."},
        // 1e-305 um is 1e-311 m: the window's spectral step 2 pi / (8e-311 m) is no double.
        {[](TGridParms& g) { g.dx = 1e-305; }, "The grid spacings must be positive (check X, Y, Z and nx, ny, nz)."},
    };
    for (const auto& c : cases) {
        TGridParms g = MicronGrid();
        c.edit(g);
        EXPECT_EQ(GridFault(g), c.fault);
        if (c.fault.empty())
            EXPECT_NO_THROW(CheckGrid(g));
        else
            EXPECT_THROW(CheckGrid(g), EGeneralError);
    }
}

TEST(GridCheck, WholeSlicesCountsAQuotientWithinRoundingAsWhole)
{
    EXPECT_EQ(WholeSlices(1.5, 1.5 / 59), 59); // 58.99999999999999 as a plain quotient
    EXPECT_EQ(WholeSlices(0.3, 0.1), 3);       // 2.9999999999999996
    EXPECT_EQ(WholeSlices(2.5, 1.5 / 59), 98); // 98.33: the whole slices only
    EXPECT_EQ(WholeSlices(0.35, 0.1), 3);
    EXPECT_EQ(WholeSlices(-0.25, 0.1), -3);
    EXPECT_EQ(WholeSlices(1.0, 0.0), 0);
    EXPECT_EQ(WholeSlices(std::nan(""), 1.0), 0);
    EXPECT_EQ(WholeSlices(1e300, 1e-300), INT_MAX);
}

TEST(LayerStackFit, TheStackDecidesTheLengthAtTheSpacingOfTheFile)
{
    struct TCase {
        double stack;
        int nz;
        double Z;
        bool logged;
    };
    // Z = 5 in 10 slices of 0.5 (micrometres).
    const TCase cases[] = {
        {5.0, 10, 5.0, false}, // the file's own length
        {7.3, 14, 7.0, true},  // longer: 14 whole slices, the 0.3 rest is not run
        {2.6, 5, 2.5, true},   // shorter
        {5.2, 10, 5.0, true},  // longer by less than a slice: nz stays, but it is said
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stack);
        TRecordingSink sink;
        TGridParms g = MicronGrid();
        FitSlicesToLayers({Slab(0, 1), Slab(1, c.stack - 1)}, g, TScale::um);
        EXPECT_EQ(g.nz, c.nz);
        EXPECT_EQ(g.dz, 0.5);
        EXPECT_DOUBLE_EQ(g.Z, c.Z);
        ASSERT_EQ(sink.logLines.size(), c.logged ? 1u : 0u);
        if (c.logged) {
            const std::string& line = sink.logLines[0];
            EXPECT_EQ(line.substr(line.find(' ') + 1),
                      "Layer stack of " + FormatReal(c.stack) + " um differs from Z = 5 um: running " +
                          std::to_string(c.nz) + " slices of dz = 0.5 um.");
        }
    }
}

TEST(LayerStackFit, StackThinnerThanOneSliceOrBeyondThirtyTwoBitsIsRefused)
{
    TRecordingSink sink;
    TGridParms g = MicronGrid();
    try {
        FitSlicesToLayers({Slab(0, 0.25), Slab(0.25, 0.2)}, g, TScale::nm);
        ADD_FAILURE() << "a stack of 0.45 with dz = 0.5 was accepted";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "Layer stack of 0.45 nm is thinner than one slice of dz = 0.5 nm.");
    }
    EXPECT_THROW(FitSlicesToLayers({Slab(0, -3)}, g, TScale::um), EGeneralError);
    EXPECT_THROW(FitSlicesToLayers({Slab(0, 1e300)}, g, TScale::um), EGeneralError);
    EXPECT_EQ(g, MicronGrid()); // nothing changed
    // Without layers nothing is fitted.
    FitSlicesToLayers({}, g, TScale::um);
    EXPECT_EQ(g, MicronGrid());
}

TEST(LayerStackFit, RefittedFileSavesAndLoadsBackStably)
{
    // BaseConfig: Z = 1.5 in 59 slices; stacks of 2.5 (longer) and 0.75 (shorter).
    for (const char* layer1 : {"[layer1]\ntype=Homog\nZ=2\n", "[layer1]\ntype=Homog\nZ=0.25\n"}) {
        SCOPED_TRACE(layer1);
        TScratchDir dir;
        TRecordingSink sink;
        TConfiguration first;
        ASSERT_TRUE(LoadConfiguration(dir.Write("a.ini", Edit(BaseConfig(), "[layer1]\ntype=Homog\nZ=1\n", layer1)),
                                      first));
        ASSERT_TRUE(SaveConfiguration(dir.File("b.ini"), first));
        TConfiguration second;
        ASSERT_TRUE(LoadConfiguration(dir.File("b.ini"), second));
        EXPECT_EQ(second.grid.nz, first.grid.nz);
        EXPECT_EQ(FormatReal(second.grid.Z), FormatReal(first.grid.Z));
        // Z is saved with 15 digits, so dz = Z/nz comes back to within that.
        EXPECT_NEAR(second.grid.dz, first.grid.dz, 1e-14 * first.grid.dz);
        ASSERT_TRUE(SaveConfiguration(dir.File("c.ini"), second));
        EXPECT_EQ(ReadFileText(dir.File("b.ini")), ReadFileText(dir.File("c.ini")));
    }
}

TEST(LayerStackFit, AFitOnTheEdgeOfTheRoundingToleranceReloadsAsItself)
{
    // dz = 4.4e-6 / 20 = 2.2e-7 in a stack of 40: 181818181 + 9/11 slices, whose distance
    // 2/11 to the next count equals the tolerance 1e-9 * q. Found by the loader fuzzer:
    // the count saved flipped between 181818181 and 181818182 on every save and load.
    std::string text = Edit(BaseConfig(), "scale=um\n", "scale=m\n");
    text = Edit(text, "Z=1.5\n", "Z=4.4e-06\n");
    text = Edit(text, "nz=59\n", "nz=20\n");
    text = Edit(text, "[layer0]\ntype=Homog\nZ=0.5\n", "[layer0]\ntype=Homog\nZ=20\n");
    text = Edit(text, "[layer1]\ntype=Homog\nZ=1\n", "[layer1]\ntype=Homog\nZ=20\n");
    TScratchDir dir;
    TRecordingSink sink;
    TConfiguration config;
    ASSERT_TRUE(LoadConfiguration(dir.Write("edge.ini", text), config));
    std::string saved;
    for (int cycle = 0; cycle < 3; ++cycle) {
        const std::string file = dir.File("cycle" + std::to_string(cycle) + ".ini");
        ASSERT_TRUE(SaveConfiguration(file, config));
        if (cycle > 0) {
            EXPECT_EQ(ReadFileText(file), saved) << "cycle " << cycle;
        }
        saved = ReadFileText(file);
        ASSERT_TRUE(LoadConfiguration(file, config));
        EXPECT_EQ(config.grid.nz, 181818181);
    }
}

// Two layers of 2 and 3 um on the micrometre grid (Z = 5, dz = 0.5).
TConfiguration EditableConfiguration()
{
    TConfiguration c;
    c.global.scale = TScale::um;
    c.grid = MicronGrid();
    c.layers = {Slab(0, 2), Slab(2, 3)};
    return c;
}

TEST(GridEdit, EachEditDerivesItsPartnerAndTheStackKeepsTheLength)
{
    TRecordingSink sink;
    TConfiguration c = EditableConfiguration();
    ASSERT_TRUE(EditGrid(c, TGridEdit::nx, 16));
    EXPECT_EQ(c.grid.nx, 16);
    EXPECT_EQ(c.grid.dx, 0.5); // X = 8 stays
    ASSERT_TRUE(EditGrid(c, TGridEdit::dy, 0.25));
    EXPECT_EQ(c.grid.Y, 1.0);
    ASSERT_TRUE(EditGrid(c, TGridEdit::Y, 2.0));
    EXPECT_EQ(c.grid.dy, 0.5);
    ASSERT_TRUE(EditGrid(c, TGridEdit::X, 4.0));
    EXPECT_EQ(c.grid.dx, 0.25);
    ASSERT_TRUE(EditGrid(c, TGridEdit::nz, 20));
    EXPECT_EQ(c.grid.dz, 0.25);
    EXPECT_EQ(c.grid.nz, 20);
    // dz of 0.4: Z = 20 * 0.4 = 8, but the 5 um stack holds 12 whole slices of it.
    ASSERT_TRUE(EditGrid(c, TGridEdit::dz, 0.4));
    EXPECT_EQ(c.grid.dz, 0.4);
    EXPECT_EQ(c.grid.nz, 12);
    EXPECT_DOUBLE_EQ(c.grid.Z, 4.8);
    EXPECT_TRUE(sink.messages.empty());
}

TEST(GridEdit, AnEditThatLeavesNoUsableGridChangesNothing)
{
    struct TCase {
        TGridEdit edit;
        double value;
        std::string message;
    };
    const TCase cases[] = {
        {TGridEdit::nx, 6, "nx and ny must be powers of two (1 allowed); the grid is 6 x 4."},
        {TGridEdit::nx, -3, "Please check input. Inappropriate type!"},
        {TGridEdit::ny, 2.5, "Please check input. Inappropriate type!"},
        {TGridEdit::nz, 0, "Please check input! nz is zero!"},
        {TGridEdit::X, 0, "The grid spacings must be positive (check X, Y, Z and nx, ny, nz)."},
        {TGridEdit::dz, 6, "Layer stack of 5 um is thinner than one slice of dz = 6 um."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TRecordingSink sink;
        TConfiguration config = EditableConfiguration();
        EXPECT_FALSE(EditGrid(config, c.edit, c.value));
        EXPECT_EQ(sink.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(config.grid, MicronGrid());
    }
    TRecordingSink sink;
    TConfiguration config = EditableConfiguration();
    ASSERT_TRUE(SetScale(config, TScale::nm));
    EXPECT_EQ(config.grid.scaleFactor, 1e-9);
    EXPECT_EQ(config.global.scale, TScale::nm);
}

} // namespace
} // namespace ksn
