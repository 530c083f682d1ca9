#include "config/LayerKeys.h"

#include <array>

namespace ksn {

namespace {

using L = TLayerParms;

constexpr TLayerKey Real(const char* key, double L::*member, double L::*alsoFills = nullptr)
{
    return {key, nullptr, TKeyKind::real, member, alsoFills};
}
constexpr TLayerKey Complex(const char* reKey, const char* imKey, TComplex L::*member)
{
    return {reKey, imKey, TKeyKind::complex, member, nullptr};
}
constexpr TLayerKey Shape() { return {"shape", nullptr, TKeyKind::shape, &L::shape, nullptr}; }
constexpr TLayerKey Flag(const char* key, bool L::*member) { return {key, nullptr, TKeyKind::flag, member, nullptr}; }

constexpr TLayerKey kThickness = Real("Z", &L::thickness);
constexpr TLayerKey kSmooth = Flag("smooth", &L::smooth);
constexpr TLayerKey kReport = Flag("report", &L::report);
constexpr TLayerKey kSubject = Complex("nSubject", "kappaSubject", &L::nSubject);
constexpr TLayerKey kSubjectLower = Complex("nsubject", "kappasubject", &L::nSubject);
constexpr TLayerKey kSpace = Complex("nSpace", "kappaSpace", &L::nSpace);
constexpr TLayerKey kDelta = Complex("deltaN", "deltaKappa", &L::deltaN);
constexpr TLayerKey kDeltaLower = Complex("deltan", "deltakappa", &L::deltaN);

constexpr std::array kHomog{kThickness, kSubject, kSpace, kReport};

constexpr std::array kSphere{kThickness, Shape(), kSmooth, Real("X0", &L::X0), Real("Y0", &L::Y0), kSubjectLower,
    kSpace, kDeltaLower, kReport, Real("shiftz", &L::ShiftZ), Real("Radius", &L::Radius)};

// A straight guide: one diameter at both ends.
constexpr std::array kWguide{kThickness, Real("X0", &L::X0), Real("Y0", &L::Y0),
    Real("Diam", &L::DiamIn, &L::DiamOut), kSubject, kSpace, kDelta, Shape(), kSmooth, kReport};

constexpr std::array kLinSymSplitter{kThickness, Real("X0", &L::X0), Real("Y0", &L::Y0),
    Real("gradientX", &L::gradientX), Real("gradientY", &L::gradientY), Real("DiamIn", &L::DiamIn),
    Real("DiamOut", &L::DiamOut), kSubject, kSpace, kDeltaLower, Shape(), kSmooth, kReport};

// Symmetric arms: the end offset is the same along x and y.
constexpr std::array kExpSymSplitter{kThickness, Real("Xin", &L::Xin), Real("Yin", &L::Yin),
    Real("Xout", &L::Xout, &L::Yout), Real("DiamIn", &L::DiamIn), Real("DiamOut", &L::DiamOut), kSubject, kSpace,
    kDelta, Shape(), kSmooth, kReport};

constexpr std::array kExpTaper{kThickness, Real("X0", &L::X0), Real("Y0", &L::Y0),
    Real("expHalfWidth", &L::expHalfWidth), Real("DiamIn", &L::DiamIn), Real("DiamOut", &L::DiamOut), kSubject,
    kSpace, kDeltaLower, Shape(), kSmooth, kReport};

constexpr std::array kGrating{kThickness, Real("height", &L::height), Real("pitchx", &L::PitchX),
    Real("pitchy", &L::PitchY), Real("widthx", &L::WidthX), Real("widthy", &L::WidthY), Real("shiftx", &L::ShiftX),
    Real("shifty", &L::ShiftY), Real("xseparation", &L::XSep), Real("yseparation", &L::YSep), kSubjectLower, kSpace,
    Shape(), kSmooth, kReport};

// A prism's faces are always smoothed, but the key must be there.
constexpr std::array kPrism{kThickness, Real("widthx", &L::WidthX), Real("widthy", &L::WidthY),
    Real("gradientx", &L::gradientX), Real("gradienty", &L::gradientY), kSubject, kSpace,
    TLayerKey{"smooth", nullptr, TKeyKind::alwaysOn, &L::smooth, nullptr}, kReport};

constexpr std::array kSlope{kThickness, Real("shiftz", &L::ShiftZ), Real("X0", &L::X0), Real("Y0", &L::Y0),
    Real("widthx", &L::WidthX), Real("widthy", &L::WidthY), Real("height", &L::height),
    Real("gradientx", &L::gradientX), Real("gradienty", &L::gradientY), kSubjectLower, kSpace, kSmooth,
    kReport};

// Asphere has no geometry of its own and None is vacuum: only the thickness.
constexpr std::array kThicknessOnly{kThickness};

const std::array<TLayerTable, 11> kTables{{
    {TLayerType::Homog, "Homog", kHomog},
    {TLayerType::Sphere, "Sphere", kSphere},
    {TLayerType::Asphere, "Asphere", kThicknessOnly},
    {TLayerType::Wguide, "wguide", kWguide},
    {TLayerType::LinSymSplitter, "LinSymSplitter", kLinSymSplitter},
    {TLayerType::ExpSymSplitter, "ExpSymSplitter", kExpSymSplitter},
    {TLayerType::ExpTaper, "ExpTaper", kExpTaper},
    {TLayerType::Grating, "Grating", kGrating},
    {TLayerType::Prism, "Prism", kPrism},
    {TLayerType::Slope, "Slope", kSlope},
    {TLayerType::None, "None", kThicknessOnly},
}};

} // namespace

const TLayerTable& LayerTable(TLayerType type)
{
    const auto i = static_cast<size_t>(type);
    return i < kTables.size() ? kTables[i] : kTables[static_cast<size_t>(TLayerType::None)];
}

} // namespace ksn
