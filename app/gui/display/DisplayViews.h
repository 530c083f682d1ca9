#pragma once
// What the display windows derive from the arrays they are handed, without Qt: the
// axis limits of a cross-section, the Fourier views, the full amplitude, the real views
// handed to the diagrams, the 1-D profiles of the layer analysis and the scene's
// string grid.
#include "config/Records.h"
#include "numerics/ComplexArray.h"
#include "numerics/ComplexVector.h"
#include "numerics/GridText.h"

#include <string>
#include <vector>

namespace ksn::gui {

// Cross-sections of the display windows.
constexpr int kXZ = 0;
constexpr int kXY = 1;
constexpr int kYZ = 2;
inline bool IsOrientation(int orientation) { return orientation >= kXZ && orientation <= kYZ; }

struct TMapAxis {
    double lo = 0;
    double hi = 1;
    std::string caption; // "z [µm]", "kx [1/µm]"
    std::string name;    // "z", "kx"
    std::string unit;    // "µm", "1/µm"
};

struct TMapAxes {
    TMapAxis horizontal;
    TMapAxis vertical;
};

// "m", "mm", "µm" or "nm" for the grid's metres per unit.
std::string UnitText(double scaleFactor);

// The axes of a map of a valid orientation; columns run along the horizontal axis and
// rows along the vertical one:
//   xz: z from 0 to nz*dz across, x from -nx*dx/2 to nx*dx/2 upwards
//   xy: x across, y upwards (both centred)
//   yz: z across, y upwards
// In a Fourier view an axis of spacing d carries the spatial frequency of the centred
// transform, k_j = (j - n/2) * 2*pi / (n*d), and runs from -pi/d to pi/d.
TMapAxes MapAxes(int orientation, const TGridParms& grid, bool spectral);

enum class TFourierView { none, fft, ifft };

bool IsPowerOfTwo(int n);
// Turns the array into what the view shows: the centred 2-D FFT forward (sign +1) or
// backward (sign -1), with the axes labelled spectral or spatial. False, leaving the
// array as it was, when a side is not a power of two (the transform needs one).
bool ApplyFourierView(TComplexArray& array, TFourierView view);

// Display clipping: every real and imaginary part whose absolute value exceeds the
// level becomes the level with the part's sign. A negative level (-1) clips nothing.
void ClipParts(TComplexArray& array, double level);

enum class TRealView { real, imag, modulus };
// One real value per cell, row by row (index column + row * nx).
void RealView(const TComplexArray& array, TRealView view, std::vector<double>& out);

// The full amplitude of a vector field, per cell the principal root
//   |E|_c = sqrt(Ex*Ex + Ey*Ey + Ez*Ez)
// of complex products (not moduli), so that a circularly polarised (Ex, Ey) = (1, i)
// gives 0. False when the three arrays differ in size.
bool FullAmplitude(const TComplexArray& ex, const TComplexArray& ey, const TComplexArray& ez, TComplexArray& out);

// A line of a map: along the horizontal axis (axis 0, "X", the row `index`) or along
// the vertical one (axis 1, "Y", the column `index`). Point i lies at
// lo + i * (hi - lo) / count of that map axis, i.e. at (i - n/2)*d on a centred axis and
// at i*dz along z.
struct TProfile {
    std::vector<double> position;
    TComplexVector values;
};
// False for an axis other than 0 and 1; the index is clamped into the array.
bool LayerProfile(TComplexArray& array, int axis, int index, const TMapAxes& axes, TProfile& out);
// Where the line lies, for the profile's title: "along z at x = -2 µm" (line `index` of
// `lines` along axis 0 or 1).
std::string LineText(const TMapAxes& axes, int axis, int index, int lines);

// The scene's string grid: each index as "<n>+<kappa>i" ("-" for a negative kappa),
// each number in its shortest decimal form; headers as the arrays' grid writer has them.
TGridText SceneGridText(const TComplexArray& index);
TGridText SceneGridText(const TComplexVector& profile);

// The colour-bar label format: the user's `preferred` format when it tells the five
// labels min + i*(max - min)/4 apart (read back as numbers, so "-0.00" and "0.00" are
// one label), else fixed point with as many decimals as that takes, or significant
// digits for large or very fine ranges.
std::string BarLabelFormat(const std::string& preferred, double minValue, double maxValue);

// A fixed-point format that tells multiples of `step` apart ("%.0f", "%.1f", …), or
// "%.3g" for steps that need more than four decimals or are very large.
std::string TickFormat(double step);

} // namespace ksn::gui
