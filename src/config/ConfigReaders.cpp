#include "config/ConfigReaders.h"

#include "config/Grid.h"
#include "config/LayerKeys.h"
#include "config/Messages.h"

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

// One key of a layer table into the record.
void ReadLayerKey(const TExtIniFile& ini, const TLayerKey& key, TLayerParms& layer)
{
    switch (key.kind) {
    case TKeyKind::real: {
        const double value = ini.ReadFloat(key.key);
        layer.*std::get<double TLayerParms::*>(key.member) = value;
        if (key.alsoFills)
            layer.*key.alsoFills = value;
        break;
    }
    case TKeyKind::complex:
        layer.*std::get<TComplex TLayerParms::*>(key.member) = ReadComplex(ini, key.key, key.imKey);
        break;
    case TKeyKind::shape:
        layer.*std::get<TXSectShape TLayerParms::*>(key.member) = ParseXSectShape(ini.ReadString(key.key));
        break;
    case TKeyKind::flag:
        layer.*std::get<bool TLayerParms::*>(key.member) = ini.ReadBool(key.key);
        break;
    case TKeyKind::alwaysOn:
        ini.ReadBool(key.key);
        layer.*std::get<bool TLayerParms::*>(key.member) = true;
        break;
    }
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
    ComputeSpacings(grid, global.scale);
}

double readLayer(TExtIniFile& ini, int index, double zStart, TLayerParms& layer)
{
    ini.SetSection("layer" + std::to_string(index));
    layer = TLayerParms{};
    layer.zStart = zStart;
    layer.type = ParseLayerType(ini.ReadString("type"));
    // Asphere, None and unknown type names: an empty layer of vacuum of the given
    // thickness that keeps the stack in place.
    const bool empty = layer.type == TLayerType::Asphere || LayerTable(layer.type).type == TLayerType::None;
    if (empty)
        layer.type = TLayerType::None;
    for (const TLayerKey& key : LayerTable(layer.type).keys)
        ReadLayerKey(ini, key, layer);
    if (empty) {
        layer.nSubject = TComplex{1.0, 0.0};
        layer.report = false;
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

} // namespace ksn
