// The ten colour tables against an independent computation of every entry: the
// trigonometric tables through the half-angle identities, the ramps in integer
// arithmetic, table 8 from its piecewise description (131 rising, …, falling to 127).
#include "display/ColourTables.h"
#include "display/VellDiagram.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ksn::test {
namespace {

// ceil, taking a value within 1e-9 below or above an integer as that integer.
int CeilExact(double v)
{
    const double up = std::ceil(v);
    return up - v > 1 - 1e-9 ? int(up) - 1 : int(up);
}

// round(a + (b - a) * (t - s) / (e - s)) with integers only (no ties occur).
int RampValue(int a, int b, int s, int e, int t)
{
    const int num = (b - a) * (t - s), den = e - s;
    const int q = num >= 0 ? (2 * num + den) / (2 * den) : -((-2 * num + den) / (2 * den));
    return a + q;
}

struct TRampSpec {
    int s, e;
    TRgb a, b;
};

TRgb FromRamps(const std::vector<TRampSpec>& ramps, int k)
{
    for (const TRampSpec& r : ramps)
        if (k >= r.s && k <= r.e)
            return {std::uint8_t(RampValue(r.a.r, r.b.r, r.s, r.e, k)), std::uint8_t(RampValue(r.a.g, r.b.g, r.s, r.e, k)),
                std::uint8_t(RampValue(r.a.b, r.b.b, r.s, r.e, k))};
    return {};
}

TRgb Expected(int palette, int k)
{
    const double pi = std::acos(-1.0);
    const auto u8 = [](int v) { return std::uint8_t(v); };
    switch (palette) {
    case 0:
        return {u8(k), u8(k), u8(k)};
    case 1:
        return k >= 128 ? TRgb{u8(2 * (k - 128)), u8(2 * (k - 128)), 0} : TRgb{0, u8(2 * (127 - k)), u8(2 * (127 - k))};
    case 2:
        return k >= 128 ? TRgb{u8(2 * (k - 128)), u8(2 * (k - 128)), u8(2 * (k - 128))} : TRgb{0, 0, u8(2 * (127 - k))};
    case 3: { // cos^2(x) = (1 + cos 2x) / 2
        const double a = pi * k / 256;
        const auto c2 = [](double twoX) { return CeilExact(255 * (1 + std::cos(twoX)) / 2); };
        return {u8(c2(2 * a)), u8(c2(2 * a + 8 * pi / 3)), u8(c2(2 * a + 4 * pi / 3))};
    }
    case 4: // sin(x + pi) = -sin(x)
        return {u8(CeilExact((1 - std::sin(3 * pi * k / 128)) * 127.5)), u8(CeilExact((std::sin(pi * k / 64) + 1) * 127.5)),
            u8(CeilExact((std::sin(pi * k / 128) + 1) * 127.5))};
    case 5: { // (1 - cos x) * 127.5 = 255 sin^2(x/2)
        const auto s2 = [](double half) { return CeilExact(255 * std::sin(half) * std::sin(half)); };
        return {u8(s2(pi * k / 256)), u8(s2(0.75 * pi * k / 256)), u8(s2(pi * k / 512))};
    }
    case 6:
        return FromRamps({{0, 63, {0, 0, 255}, {0, 224, 224}}, {64, 127, {0, 224, 224}, {0, 255, 0}},
                             {128, 191, {0, 255, 0}, {255, 255, 0}}, {192, 255, {255, 255, 0}, {255, 0, 0}}},
            k);
    case 7:
        return FromRamps({{0, 63, {0, 0, 128}, {128, 0, 128}}, {64, 127, {128, 0, 128}, {192, 0, 0}},
                             {128, 191, {192, 0, 0}, {215, 215, 0}}, {192, 255, {216, 216, 0}, {255, 255, 255}}},
            k);
    case 8: // blue rises from 131, then green, then red while blue falls, green falls, red falls to 127
        if (k < 32)
            return {0, 0, u8(131 + 4 * k)};
        if (k < 96)
            return {0, u8(1 + 4 * (k - 32)), 255};
        if (k < 160)
            return {u8(3 + 4 * (k - 96)), 255, u8(255 - 4 * (k - 96))};
        if (k < 224)
            return {255, u8(255 - 4 * (k - 160)), 0};
        return {u8(251 - 4 * (k - 224)), 0, 0};
    default:
        return FromRamps({{0, 63, {32, 32, 96}, {0, 32, 255}}, {64, 127, {0, 32, 255}, {96, 196, 216}},
                             {128, 191, {40, 160, 32}, {232, 228, 8}}, {192, 255, {232, 228, 8}, {200, 120, 16}}},
            k);
    }
}

TEST(ColourTables, EveryEntryOfEveryTableMatchesIndependentComputation)
{
    for (int palette = 0; palette < kPaletteCount; ++palette) {
        const TColourTable table = MakeColourTable(palette);
        for (int k = 0; k < 256; ++k) {
            const TRgb want = Expected(palette, k), got = table[size_t(k)];
            ASSERT_TRUE(got == want) << "palette " << palette << " entry " << k << ": got (" << int(got.r) << ", "
                                     << int(got.g) << ", " << int(got.b) << "), want (" << int(want.r) << ", "
                                     << int(want.g) << ", " << int(want.b) << ")";
        }
    }
}

TEST(ColourTables, CyanBlackYellowEndsAndMiddle)
{
    const TColourTable t = MakeColourTable(1);
    EXPECT_TRUE((t[0] == TRgb{0, 254, 254}));
    EXPECT_TRUE((t[255] == TRgb{254, 254, 0}));
    EXPECT_TRUE((t[127] == TRgb{0, 0, 0}));
    EXPECT_TRUE((t[128] == TRgb{0, 0, 0}));
}

TEST(ColourTables, Cos2TableIsZeroWhereTheCosineVanishes)
{
    // red = ceil(255 cos^2(k pi/256)) at k = 128 is ceil(0) = 0, although cos(pi/2)
    // is 6e-17 in floating point and a plain ceil would give 1.
    EXPECT_EQ(MakeColourTable(3)[128].r, 0);
    EXPECT_EQ(MakeColourTable(3)[0].r, 255);
}

TEST(ColourTables, UnknownPaletteLeavesTheDiagramsTableAlone)
{
    TVellDiagram d;
    ASSERT_TRUE(d.SetPalette(6));
    EXPECT_FALSE(d.SetPalette(10));
    EXPECT_FALSE(d.SetPalette(-1));
    EXPECT_EQ(d.GetPalette(), 6);
    EXPECT_TRUE(d.ColourTable() == MakeColourTable(6));
}

} // namespace
} // namespace ksn::test
