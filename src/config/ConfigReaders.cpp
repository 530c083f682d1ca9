#include "config/ConfigReaders.h"

#include "config/FloatText.h"
#include "config/Messages.h"
#include "numerics/GeneralError.h"

#include <cmath>
#include <string>

namespace ksn {

namespace {

// A complex value stored as two real keys.
TComplex ReadComplex(const TExtIniFile& ini, const std::string& reKey, const std::string& imKey)
{
    TComplex value;
    value.re = ini.ReadFloat(reKey);
    value.im = ini.ReadFloat(imKey);
    return value;
}

// The three index pairs shared by most layer types, in reading order.
void ReadSubjectAndSpace(const TExtIniFile& ini, TLayerParms& layer)
{
    layer.nSubject = ReadComplex(ini, "nSubject", "kappaSubject");
    layer.nSpace = ReadComplex(ini, "nSpace", "kappaSpace");
}

void ReadDelta(const TExtIniFile& ini, TLayerParms& layer) { layer.deltaN = ReadComplex(ini, "deltaN", "deltaKappa"); }

// shape, smooth, report: the closing keys of the guide-like types.
void ReadShapeSmoothReport(const TExtIniFile& ini, TLayerParms& layer)
{
    layer.shape = ParseXSectShape(ini.ReadString("shape"));
    layer.smooth = ini.ReadBool("smooth");
    layer.report = ini.ReadBool("report");
}

} // namespace

void readGlobal(TExtIniFile& ini, TGlobalParms& global, TGridParms& grid, int& numOfParms, bool& independent)
{
    ini.SetSection("global");
    global.multithreaded = ini.ReadBool("multithreaded");
    global.moduloTracking = ini.ReadBool("modulotracking");
    global.modulus = ini.ReadInteger("modulus");
    global.simMethod = ParseSimMethod(ini.ReadString("simmethod"));
    global.layerNum = ini.ReadInteger("layernum");
    global.waveNum = ini.ReadInteger("wavenum");
    global.scale = ParseScale(ini.ReadString("scale"));
    global.largeScene = ini.ReadBool("largescene");
    global.bidirectional = ini.ReadBool("bidirectional");
    global.reflections = ini.ReadInteger("reflections");
    global.extraModes = ini.ReadInteger("extraModes");
    global.allComplex = ini.ReadBool("allcomplex");
    global.parmVariation = ini.ReadBool("parmvariation");
    numOfParms = ini.ReadInteger("numofparms");
    independent = ini.ReadBool("independent");
    grid.evanescent = ini.ReadBool("evanescent");
    grid.X = ini.ReadFloat("X");
    grid.Y = ini.ReadFloat("Y");
    grid.Z = ini.ReadFloat("Z");
    grid.nx = ini.ReadInteger("nx");
    grid.ny = ini.ReadInteger("ny");
    grid.nz = ini.ReadInteger("nz");

    // A slice interval below one would divide by zero when slices are stored.
    if (global.modulus <= 0)
        global.modulus = 1;

    // vwpmhh has no method of its own to run; it is reported like an unknown name.
    const auto method = static_cast<std::uint8_t>(global.simMethod);
    if (method >= static_cast<std::uint8_t>(TSimMethod::vwpmhh))
        ShowMessage("Unknown simType in " + global.fileName);
    if (static_cast<std::uint8_t>(global.scale) > static_cast<std::uint8_t>(TScale::nm))
        ShowMessage("Unknown simScale in " + global.fileName);
    grid.scaleFactor = ScaleFactorOf(global.scale);

    // Spacings of the computational window: d = extent / points.
    if (grid.nx != 0)
        grid.dx = grid.X / grid.nx;
    if (grid.ny != 0)
        grid.dy = grid.Y / grid.ny;
    if (grid.nz != 0)
        grid.dz = grid.Z / grid.nz;
}

double readLayer(TExtIniFile& ini, int index, double zStart, TLayerParms& layer)
{
    ini.SetSection("layer" + std::to_string(index));
    layer = TLayerParms{};
    layer.zStart = zStart;
    layer.type = ParseLayerType(ini.ReadString("type"));
    layer.thickness = ini.ReadFloat("Z");

    switch (layer.type) {
    case TLayerType::Homog:
        ReadSubjectAndSpace(ini, layer);
        layer.report = ini.ReadBool("report");
        break;
    case TLayerType::Sphere:
        layer.ShiftZ = ini.ReadFloat("shiftz");
        layer.X0 = ini.ReadFloat("X0");
        layer.Y0 = ini.ReadFloat("Y0");
        layer.Radius = ini.ReadFloat("Radius");
        ReadSubjectAndSpace(ini, layer);
        ReadDelta(ini, layer);
        ReadShapeSmoothReport(ini, layer);
        break;
    case TLayerType::Wguide:
        layer.X0 = ini.ReadFloat("X0");
        layer.Y0 = ini.ReadFloat("Y0");
        layer.DiamIn = ini.ReadFloat("Diam");
        layer.DiamOut = layer.DiamIn; // a straight guide: one diameter at both ends
        ReadSubjectAndSpace(ini, layer);
        ReadDelta(ini, layer);
        ReadShapeSmoothReport(ini, layer);
        break;
    case TLayerType::LinSymSplitter:
        layer.X0 = ini.ReadFloat("X0");
        layer.Y0 = ini.ReadFloat("Y0");
        layer.gradientX = ini.ReadFloat("gradientX");
        layer.gradientY = ini.ReadFloat("gradientY");
        layer.DiamIn = ini.ReadFloat("DiamIn");
        layer.DiamOut = ini.ReadFloat("DiamOut");
        ReadSubjectAndSpace(ini, layer);
        ReadDelta(ini, layer);
        ReadShapeSmoothReport(ini, layer);
        break;
    case TLayerType::ExpSymSplitter:
        layer.Xin = ini.ReadFloat("Xin");
        layer.Yin = ini.ReadFloat("Yin");
        layer.Xout = ini.ReadFloat("Xout");
        layer.Yout = layer.Xout; // symmetric arms: the end offset is the same along x and y
        layer.DiamIn = ini.ReadFloat("DiamIn");
        layer.DiamOut = ini.ReadFloat("DiamOut");
        ReadSubjectAndSpace(ini, layer);
        ReadDelta(ini, layer);
        ReadShapeSmoothReport(ini, layer);
        break;
    case TLayerType::ExpTaper:
        layer.X0 = ini.ReadFloat("X0");
        layer.Y0 = ini.ReadFloat("Y0");
        layer.DiamIn = ini.ReadFloat("DiamIn");
        layer.DiamOut = ini.ReadFloat("DiamOut");
        layer.expHalfWidth = ini.ReadFloat("expHalfWidth");
        ReadSubjectAndSpace(ini, layer);
        ReadDelta(ini, layer);
        ReadShapeSmoothReport(ini, layer);
        break;
    case TLayerType::Grating:
        layer.PitchX = ini.ReadFloat("pitchx");
        layer.PitchY = ini.ReadFloat("pitchy");
        layer.WidthX = ini.ReadFloat("widthx");
        layer.WidthY = ini.ReadFloat("widthy");
        layer.ShiftX = ini.ReadFloat("shiftx");
        layer.ShiftY = ini.ReadFloat("shifty");
        layer.XSep = ini.ReadFloat("xseparation");
        layer.YSep = ini.ReadFloat("yseparation");
        ReadSubjectAndSpace(ini, layer);
        layer.height = ini.ReadFloat("height");
        ReadShapeSmoothReport(ini, layer);
        break;
    case TLayerType::Prism:
        layer.WidthX = ini.ReadFloat("widthx");
        layer.WidthY = ini.ReadFloat("widthy");
        layer.gradientX = ini.ReadFloat("gradientx");
        layer.gradientY = ini.ReadFloat("gradienty");
        ReadSubjectAndSpace(ini, layer);
        ini.ReadBool("smooth"); // required, but a prism's faces are always smoothed
        layer.smooth = true;
        layer.report = ini.ReadBool("report");
        break;
    case TLayerType::Slope:
        layer.ShiftZ = ini.ReadFloat("shiftz");
        layer.X0 = ini.ReadFloat("X0");
        layer.Y0 = ini.ReadFloat("Y0");
        layer.WidthX = ini.ReadFloat("widthx");
        layer.WidthY = ini.ReadFloat("widthy");
        layer.height = ini.ReadFloat("height");
        layer.gradientX = ini.ReadFloat("gradientx");
        layer.gradientY = ini.ReadFloat("gradienty");
        ReadSubjectAndSpace(ini, layer);
        layer.smooth = ini.ReadBool("smooth");
        layer.report = ini.ReadBool("report");
        break;
    default:
        // Asphere, None and unknown type names: an empty layer of vacuum of the given
        // thickness that keeps the stack in place.
        layer.type = TLayerType::None;
        layer.nSubject = TComplex{1.0, 0.0};
        layer.report = false;
        break;
    }
    return zStart + layer.thickness;
}

void readWave(TExtIniFile& ini, int index, TFieldOptions& wave)
{
    ini.SetSection("wave" + std::to_string(index));
    wave.shape = ParseBeamShape(ini.ReadString("shape"));
    wave.angular = ParseAngular(ini.ReadString("angular"));
    wave.lambda = ini.ReadFloat("lambda");
    wave.theta = ini.ReadFloat("theta");
    wave.delta = ini.ReadFloat("delta");
    wave.rho = ini.ReadFloat("rho");
    wave.psi = ini.ReadFloat("psi");
    wave.amplitude = ini.ReadFloat("amplitude");
    wave.shiftX = ini.ReadFloat("shiftx");
    wave.shiftY = ini.ReadFloat("shifty");
    wave.shiftZ = ini.ReadFloat("shiftz");
    // Only a Gaussian beam has a waist; the other shapes carry none.
    if (wave.shape == TBeamShape::gaussian) {
        wave.sigmaX = ini.ReadFloat("sigmax");
        wave.sigmaY = ini.ReadFloat("sigmay");
    } else {
        wave.sigmaX = 0.0;
        wave.sigmaY = 0.0;
    }
}

bool readParm(TExtIniFile& ini, int index, TParmsVariation& variation, TParmsType& type)
{
    ini.SetSection("parm" + std::to_string(index));
    type = ParseParmsType(ini.ReadString("type"));
    variation.num = ini.ReadInteger("num");
    variation.parm = ParseParms(ini.ReadString("parm"));
    variation.first = ReadComplex(ini, "firstRe", "firstIm");
    variation.delta = ReadComplex(ini, "deltaRe", "deltaIm");
    variation.steps = ini.ReadInteger("steps");
    if (type != TParmsType::wave && type != TParmsType::layer) {
        ShowMessage("Error in TForm1.readParm(" + std::to_string(index) + "). Unknown parmType.");
        type = static_cast<TParmsType>(kUnknownEnum);
        return false;
    }
    return true;
}

void FitSlicesToLayers(const TLayerParmsVec& layers, TGridParms& grid)
{
    if (layers.empty() || grid.dz == 0.0)
        return;
    const TLayerParms& last = layers.back();
    const double stack = last.zStart + last.thickness;
    // Slices of the whole stack: nz = floor(stack / dz). A quotient that lies within
    // rounding of an integer is taken as that integer, so that a stack of exactly Z
    // keeps the nz of the file instead of losing a slice to 29.999999999999996.
    const double q = stack / grid.dz;
    if (!std::isfinite(q) || q < 0.0 || q >= 2147483648.0)
        throw EGeneralError("Invalid layer stack: " + FormatReal(stack) + " with dz = " + FormatReal(grid.dz) +
                            " gives no valid number of slices.");
    const double nearest = std::round(q);
    const double slices = std::fabs(q - nearest) <= 1e-9 * std::fmax(1.0, q) ? nearest : std::floor(q);
    grid.nz = static_cast<std::int32_t>(slices);
    if (grid.nz != 0)
        grid.dz = grid.Z / grid.nz;
}

} // namespace ksn
