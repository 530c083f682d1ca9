#include "display/ColourTables.h"

#include <algorithm>
#include <cmath>

namespace ksn {

namespace {

constexpr double kPi = 3.14159265358979323846;

// ceil of a channel value; values within 1e-9 of an integer are that integer, so that
// cos^2(pi/2) = 3.7e-33 in floating point gives 0 as the exact value does, not 1.
std::uint8_t CeilChannel(double v)
{
    const double nearest = std::round(v);
    const double c = std::fabs(v - nearest) < 1e-9 ? nearest : std::ceil(v);
    return std::uint8_t(std::clamp(c, 0.0, 255.0));
}

// Linear ramp from colour a at index s to colour b at index e:
//   channel(t) = round(a + (b - a) * (t - s) / (e - s)),  t = s … e;  nothing when e < s.
void Ramp(TColourTable& table, int s, int e, TRgb a, TRgb b)
{
    if (e < s)
        return;
    const auto mix = [&](int ca, int cb, int t) {
        const double f = e == s ? 0.0 : double(t - s) / (e - s);
        return std::uint8_t(std::clamp(std::lround(ca + (cb - ca) * f), 0L, 255L));
    };
    for (int t = s; t <= e; ++t)
        table[size_t(t)] = {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t)};
}

// Channel value taken modulo 256 into 0 … 255.
std::uint8_t Mod256(int v) { return std::uint8_t(((v % 256) + 256) % 256); }

} // namespace

TColourTable MakeColourTable(int palette)
{
    TColourTable t{};
    switch (palette) {
    case 1: // entry 128+i = (2i, 2i, 0), entry 127-i = (0, 2i, 2i)
        for (int i = 0; i < 128; ++i) {
            const auto v = std::uint8_t(2 * i);
            t[size_t(128 + i)] = {v, v, 0};
            t[size_t(127 - i)] = {0, v, v};
        }
        break;
    case 2: // entry 128+i = (2i, 2i, 2i), entry 127-i = (0, 0, 2i)
        for (int i = 0; i < 128; ++i) {
            const auto v = std::uint8_t(2 * i);
            t[size_t(128 + i)] = {v, v, v};
            t[size_t(127 - i)] = {0, 0, v};
        }
        break;
    case 3: // a = k*pi/256: red cos^2(a), blue cos^2(a + 2pi/3), green cos^2(a + 4pi/3), x255, ceil
        for (int k = 0; k < 256; ++k) {
            const double a = k * kPi / 256;
            const auto c2 = [](double x) { return std::cos(x) * std::cos(x) * 255; };
            t[size_t(k)] = {CeilChannel(c2(a)), CeilChannel(c2(a + 4 * kPi / 3)), CeilChannel(c2(a + 2 * kPi / 3))};
        }
        break;
    case 4: // blue (sin(2pi k/256)+1), green (sin(4pi k/256)+1), red (sin(6pi k/256 + pi)+1), x127.5, ceil
        for (int k = 0; k < 256; ++k) {
            const auto s = [](double x) { return (std::sin(x) + 1) * 127.5; };
            t[size_t(k)] = {CeilChannel(s(6 * kPi * k / 256 + kPi)), CeilChannel(s(4 * kPi * k / 256)),
                CeilChannel(s(2 * kPi * k / 256))};
        }
        break;
    case 5: // blue (1 - cos(pi k/256)), green (1 - cos(1.5pi k/256)), red (1 - cos(2pi k/256)), x127.5, ceil
        for (int k = 0; k < 256; ++k) {
            const auto c = [](double x) { return (1 - std::cos(x)) * 127.5; };
            t[size_t(k)] = {CeilChannel(c(2 * kPi * k / 256)), CeilChannel(c(1.5 * kPi * k / 256)),
                CeilChannel(c(kPi * k / 256))};
        }
        break;
    case 6:
        Ramp(t, 0, 63, {0, 0, 255}, {0, 224, 224});
        Ramp(t, 64, 127, {0, 224, 224}, {0, 255, 0});
        Ramp(t, 128, 191, {0, 255, 0}, {255, 255, 0});
        Ramp(t, 192, 255, {255, 255, 0}, {255, 0, 0});
        break;
    case 7:
        Ramp(t, 0, 63, {0, 0, 128}, {128, 0, 128});
        Ramp(t, 64, 127, {128, 0, 128}, {192, 0, 0});
        Ramp(t, 128, 191, {192, 0, 0}, {215, 215, 0});
        Ramp(t, 192, 255, {216, 216, 0}, {255, 255, 255});
        break;
    case 8: // blue-cyan-yellow-red in five pieces of slope 4, channels modulo 256
        for (int k = 0; k < 256; ++k) {
            if (k < 32)
                t[size_t(k)] = {0, 0, Mod256(4 * k - 125)};
            else if (k < 96)
                t[size_t(k)] = {0, Mod256(4 * k - 127), 255};
            else if (k < 160)
                t[size_t(k)] = {Mod256(4 * k - 125), 255, Mod256(127 - 4 * k)};
            else if (k < 224)
                t[size_t(k)] = {255, Mod256(127 - 4 * k), 0};
            else
                t[size_t(k)] = {Mod256(123 - 4 * k), 0, 0};
        }
        break;
    case 9:
        Ramp(t, 0, 63, {32, 32, 96}, {0, 32, 255});
        Ramp(t, 64, 127, {0, 32, 255}, {96, 196, 216});
        Ramp(t, 128, 191, {40, 160, 32}, {232, 228, 8});
        Ramp(t, 192, 255, {232, 228, 8}, {200, 120, 16});
        break;
    default: // 0 grey
        for (int k = 0; k < 256; ++k)
            t[size_t(k)] = {std::uint8_t(k), std::uint8_t(k), std::uint8_t(k)};
        break;
    }
    return t;
}

} // namespace ksn
