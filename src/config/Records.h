#pragma once
// The records filled from a configuration file and the enumerations used as values.
// Field order follows the file format; `TParms` names the fields X0 ... deltaN of
// TLayerParms in the same order, so that a TParms value selects one layer field.
#include "numerics/Complex.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksn {

// An unknown enumeration name read from a file is stored as 255.
constexpr std::uint8_t kUnknownEnum = 255;

enum class TSimMethod : std::uint8_t { vwpm, vbpmf, vbpm, swpm, sbpm, vwpmh, swpmh, vwpmhh };
enum class TScale : std::uint8_t { m, mm, um, nm };
enum class TBeamShape : std::uint8_t { none, plane, gaussian, dirac };
enum class TAngular : std::uint8_t { rad, deg };
enum class TLayerType : std::uint8_t {
    Homog, Sphere, Asphere, Wguide, LinSymSplitter, ExpSymSplitter, ExpTaper, Grating, Prism, Slope, None
};
enum class TXSectShape : std::uint8_t { rect, circ };
enum class TParmsType : std::uint8_t { wave, layer };
enum class TParms : std::uint8_t {
    X0, Y0, Xin, Yin, Xout, Yout, Radius, DiamIn, DiamOut, expHalfWidth, gradientX, gradientY,
    PitchX, PitchY, WidthX, WidthY, ShiftX, ShiftY, ShiftZ, XSep, YSep, height,
    nSubject, nSpace, deltaN,
    lambda, theta, rho, psi, delta, amplitude, sigmaX, sigmaY,
    unknown
};

struct TGlobalParms {
    std::string fileName;
    bool loaded = false;
    TSimMethod simMethod = TSimMethod::vwpm;
    bool moduloTracking = false;
    std::int32_t reflections = 0;
    std::int32_t extraModes = 0;
    std::int32_t modulus = 1;
    bool largeScene = false;
    bool bidirectional = false;
    bool multithreaded = false;
    std::int32_t threadCount = 0;
    std::int32_t layerNum = 0;
    std::int32_t waveNum = 0;
    TScale scale = TScale::m;
    bool allComplex = false;
    bool parmVariation = false;
};

// The computational grid: counts, spacings and extents in the file's length unit, and
// the unit in metres. The configuration computes it once at load (config/Grid.h) and
// owns it; scene, field and engine receive the grid of their build or run by const
// reference.
struct TGridParms {
    std::int32_t nx = 0, ny = 0, nz = 0;
    double scaleFactor = 1.0; // metres per length unit
    double dx = 0.0, dy = 0.0, dz = 0.0;
    double X = 0.0, Y = 0.0, Z = 0.0;
    bool evanescent = false;

    // A length in the file's unit as metres: length * scaleFactor, carried in extended
    // precision. The one conversion wherever physics is computed.
    TExtended ToMetres(TExtended length) const { return length * scaleFactor; }
};

struct TFieldOptions {
    TAngular angular = TAngular::rad;
    TBeamShape shape = TBeamShape::plane;
    double lambda = 0.0, theta = 0.0, rho = 0.0, delta = 0.0, psi = 0.0, amplitude = 0.0;
    double sigmaX = 0.0, sigmaY = 0.0, shiftX = 0.0, shiftY = 0.0, shiftZ = 0.0;
};

struct TLayerParms {
    TLayerType type = TLayerType::Homog;
    double zStart = 0.0;
    double thickness = 0.0;
    // X0 ... height in TParms order (index 0 ... 21).
    double X0 = 0.0, Y0 = 0.0, Xin = 0.0, Yin = 0.0, Xout = 0.0, Yout = 0.0, Radius = 0.0;
    double DiamIn = 0.0, DiamOut = 0.0, expHalfWidth = 0.0, gradientX = 0.0, gradientY = 0.0;
    double PitchX = 0.0, PitchY = 0.0, WidthX = 0.0, WidthY = 0.0, ShiftX = 0.0, ShiftY = 0.0;
    double ShiftZ = 0.0, XSep = 0.0, YSep = 0.0, height = 0.0;
    TComplex nSubject, nSpace, deltaN;
    TXSectShape shape = TXSectShape::rect;
    bool smooth = false;
    bool report = false;

    // The real field named by TParms value 0..21, or nullptr.
    double* RealField(TParms p);
    // The complex field named by nSubject, nSpace or deltaN, or nullptr.
    TComplex* ComplexField(TParms p);
};

struct TParmsVariation {
    std::int32_t num = -1;
    std::int32_t steps = 0;
    TParms parm = TParms::unknown;
    TComplex first;
    TComplex delta;
};

using TFieldOptionsArr = std::vector<TFieldOptions>;
using TLayerParmsVec = std::vector<TLayerParms>;
using TParmsVariationArr = std::vector<TParmsVariation>;
using TDynBoolVec = std::vector<bool>;

bool operator==(const TGridParms& a, const TGridParms& b);
bool operator==(const TFieldOptions& a, const TFieldOptions& b);
bool operator==(const TLayerParms& a, const TLayerParms& b);
bool operator==(const TParmsVariation& a, const TParmsVariation& b);

// Metres per unit: 1, 1e-3, 1e-6, 1e-9 (1 for an unknown scale).
double ScaleFactorOf(TScale scale);

// Enumeration names as they appear in files. Name(): the name, or "" for a value
// outside the enumeration. Parse(): case-insensitive; unknown names give 255.
const char* SimMethodName(TSimMethod v);
const char* ScaleName(TScale v);
const char* BeamShapeName(TBeamShape v);
const char* AngularName(TAngular v);
const char* LayerTypeName(TLayerType v);
const char* XSectShapeName(TXSectShape v);
const char* ParmsTypeName(TParmsType v);
const char* ParmsName(TParms v);

TSimMethod ParseSimMethod(const std::string& s);
TScale ParseScale(const std::string& s);
TBeamShape ParseBeamShape(const std::string& s);
TAngular ParseAngular(const std::string& s);
TLayerType ParseLayerType(const std::string& s);
TXSectShape ParseXSectShape(const std::string& s);
TParmsType ParseParmsType(const std::string& s);
TParms ParseParms(const std::string& s);

// A scalar method (swpm, sbpm, swpmh) works on a TScalarEField.
bool IsScalarMethod(TSimMethod m);

} // namespace ksn
