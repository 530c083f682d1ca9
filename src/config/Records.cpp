#include "config/Records.h"

#include <array>
#include <cctype>
#include <string_view>

namespace ksn {

namespace {

constexpr std::array<const char*, 8> kSimMethods = {"vwpm", "vbpmf", "vbpm", "swpm", "sbpm", "vwpmh", "swpmh", "vwpmhh"};
constexpr std::array<const char*, 4> kScales = {"m", "mm", "um", "nm"};
constexpr std::array<const char*, 4> kBeamShapes = {"none", "plane", "gaussian", "dirac"};
constexpr std::array<const char*, 2> kAngulars = {"rad", "deg"};
constexpr std::array<const char*, 11> kLayerTypes = {"Homog", "Sphere", "Asphere", "Wguide", "LinSymSplitter",
    "ExpSymSplitter", "ExpTaper", "Grating", "Prism", "Slope", "None"};
constexpr std::array<const char*, 2> kXSectShapes = {"rect", "circ"};
constexpr std::array<const char*, 2> kParmsTypes = {"wave", "layer"};
constexpr std::array<const char*, 34> kParms = {"X0", "Y0", "Xin", "Yin", "Xout", "Yout", "Radius", "DiamIn",
    "DiamOut", "expHalfWidth", "gradientX", "gradientY", "PitchX", "PitchY", "WidthX", "WidthY", "ShiftX",
    "ShiftY", "ShiftZ", "XSep", "YSep", "height", "nSubject", "nSpace", "deltaN", "lambda", "theta", "rho",
    "psi", "delta", "amplitude", "sigmaX", "sigmaY", "unknown"};

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

template <typename E, size_t N>
const char* NameOf(const std::array<const char*, N>& names, E v)
{
    const auto i = static_cast<size_t>(v);
    return i < N ? names[i] : "";
}

template <typename E, size_t N>
E Parse(const std::array<const char*, N>& names, const std::string& s)
{
    for (size_t i = 0; i < N; ++i)
        if (EqualNoCase(names[i], s))
            return static_cast<E>(i);
    return static_cast<E>(kUnknownEnum);
}

} // namespace

double* TLayerParms::RealField(TParms p)
{
    double* fields[] = {&X0, &Y0, &Xin, &Yin, &Xout, &Yout, &Radius, &DiamIn, &DiamOut, &expHalfWidth,
        &gradientX, &gradientY, &PitchX, &PitchY, &WidthX, &WidthY, &ShiftX, &ShiftY, &ShiftZ, &XSep, &YSep,
        &height};
    const auto i = static_cast<size_t>(p);
    return i < std::size(fields) ? fields[i] : nullptr;
}

TComplex* TLayerParms::ComplexField(TParms p)
{
    switch (p) {
    case TParms::nSubject: return &nSubject;
    case TParms::nSpace: return &nSpace;
    case TParms::deltaN: return &deltaN;
    default: return nullptr;
    }
}

bool operator==(const TGridParms& a, const TGridParms& b)
{
    return a.nx == b.nx && a.ny == b.ny && a.nz == b.nz && a.scaleFactor == b.scaleFactor && a.dx == b.dx &&
           a.dy == b.dy && a.dz == b.dz && a.X == b.X && a.Y == b.Y && a.Z == b.Z && a.evanescent == b.evanescent;
}

bool operator==(const TFieldOptions& a, const TFieldOptions& b)
{
    return a.angular == b.angular && a.shape == b.shape && a.lambda == b.lambda && a.theta == b.theta &&
           a.rho == b.rho && a.delta == b.delta && a.psi == b.psi && a.amplitude == b.amplitude &&
           a.sigmaX == b.sigmaX && a.sigmaY == b.sigmaY && a.shiftX == b.shiftX && a.shiftY == b.shiftY &&
           a.shiftZ == b.shiftZ;
}

bool operator==(const TLayerParms& a, const TLayerParms& b)
{
    TLayerParms& ma = const_cast<TLayerParms&>(a);
    TLayerParms& mb = const_cast<TLayerParms&>(b);
    for (int p = 0; p <= static_cast<int>(TParms::height); ++p)
        if (*ma.RealField(TParms(p)) != *mb.RealField(TParms(p)))
            return false;
    return a.type == b.type && a.zStart == b.zStart && a.thickness == b.thickness && a.nSubject == b.nSubject &&
           a.nSpace == b.nSpace && a.deltaN == b.deltaN && a.shape == b.shape && a.smooth == b.smooth &&
           a.report == b.report;
}

bool operator==(const TParmsVariation& a, const TParmsVariation& b)
{
    return a.num == b.num && a.steps == b.steps && a.parm == b.parm && a.first == b.first && a.delta == b.delta;
}

double ScaleFactorOf(TScale scale)
{
    switch (scale) {
    case TScale::mm: return 1e-3;
    case TScale::um: return 1e-6;
    case TScale::nm: return 1e-9;
    default: return 1.0;
    }
}

const char* SimMethodName(TSimMethod v) { return NameOf(kSimMethods, v); }
const char* ScaleName(TScale v) { return NameOf(kScales, v); }
const char* BeamShapeName(TBeamShape v) { return NameOf(kBeamShapes, v); }
const char* AngularName(TAngular v) { return NameOf(kAngulars, v); }
const char* LayerTypeName(TLayerType v) { return NameOf(kLayerTypes, v); }
const char* XSectShapeName(TXSectShape v) { return NameOf(kXSectShapes, v); }
const char* ParmsTypeName(TParmsType v) { return NameOf(kParmsTypes, v); }
const char* ParmsName(TParms v) { return NameOf(kParms, v); }

TSimMethod ParseSimMethod(const std::string& s) { return Parse<TSimMethod>(kSimMethods, s); }
TScale ParseScale(const std::string& s) { return Parse<TScale>(kScales, s); }
TBeamShape ParseBeamShape(const std::string& s) { return Parse<TBeamShape>(kBeamShapes, s); }
TAngular ParseAngular(const std::string& s) { return Parse<TAngular>(kAngulars, s); }
TLayerType ParseLayerType(const std::string& s) { return Parse<TLayerType>(kLayerTypes, s); }
TXSectShape ParseXSectShape(const std::string& s) { return Parse<TXSectShape>(kXSectShapes, s); }
TParmsType ParseParmsType(const std::string& s) { return Parse<TParmsType>(kParmsTypes, s); }
TParms ParseParms(const std::string& s) { return Parse<TParms>(kParms, s); }

bool IsScalarMethod(TSimMethod m)
{
    return m == TSimMethod::swpm || m == TSimMethod::sbpm || m == TSimMethod::swpmh;
}

} // namespace ksn
