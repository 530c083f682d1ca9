#include "config/ConfigText.h"

#include "config/FloatText.h"
#include "config/LayerKeys.h"

#include <initializer_list>
#include <string_view>
#include <utility>

namespace ksn {

namespace {

constexpr std::string_view kEol = "\r\n";

class TLines {
public:
    void Add(std::string_view key, const std::string& value)
    {
        myText.append(key).append("=").append(value).append(kEol);
    }
    void Real(std::string_view key, double v) { Add(key, FormatReal(v)); }
    void Flag(std::string_view key, bool v) { Add(key, FlagText(v)); }
    void Int(std::string_view key, long long v) { Add(key, std::to_string(v)); }
    void Raw(std::string_view line) { myText.append(line).append(kEol); }
    std::string& Text() { return myText; }

private:
    std::string myText;
};

// A complex value as its two real keys.
void Pair(TLines& out, std::string_view reKey, std::string_view imKey, TComplex v)
{
    out.Real(reKey, v.re);
    out.Real(imKey, v.im);
}

std::string ShapeText(TXSectShape s) { return XSectShapeName(s); }

} // namespace

std::string FlagText(bool value) { return value ? "-1" : "0"; }

std::string GlobalSectionText(const TGlobalParms& g, const TGridParms& grid, int numOfParms, bool independent)
{
    TLines out;
    out.Raw("[global]");
    out.Add("simmethod", SimMethodName(g.simMethod));
    out.Flag("allcomplex", g.allComplex);
    out.Flag("largescene", g.largeScene);
    out.Add("parmvariation", g.parmVariation ? "1" : "0");
    out.Int("numofparms", numOfParms);
    out.Int("extramodes", g.extraModes);
    out.Add("bidirectional", g.bidirectional ? "1" : "0");
    out.Int("reflections", g.reflections);
    out.Flag("multithreaded", g.multithreaded);
    out.Flag("modulotracking", g.moduloTracking);
    out.Int("modulus", g.modulus);
    out.Int("layernum", g.layerNum);
    out.Int("wavenum", g.waveNum);
    out.Flag("independent", independent);
    out.Flag("evanescent", grid.evanescent);
    out.Add("scale", ScaleName(g.scale));
    out.Int("nx", grid.nx);
    out.Int("ny", grid.ny);
    out.Int("nz", grid.nz);
    out.Real("X", grid.X);
    out.Real("Y", grid.Y);
    out.Real("Z", grid.Z);
    return std::move(out.Text());
}

std::string LayerSectionText(int index, const TLayerParms& l)
{
    TLines out;
    out.Raw("");
    out.Raw("[layer" + std::to_string(index) + "]");
    // Asphere is written as its type and reads back as a None layer; None layers (and
    // any value outside the enumeration) as None.
    const TLayerTable& table = LayerTable(l.type);
    out.Add("type", table.typeName);
    for (const TLayerKey& key : table.keys) {
        switch (key.kind) {
        case TKeyKind::real: out.Real(key.key, l.*std::get<double TLayerParms::*>(key.member)); break;
        case TKeyKind::complex: Pair(out, key.key, key.imKey, l.*std::get<TComplex TLayerParms::*>(key.member)); break;
        case TKeyKind::shape: out.Add(key.key, ShapeText(l.*std::get<TXSectShape TLayerParms::*>(key.member))); break;
        case TKeyKind::flag:
        case TKeyKind::alwaysOn: out.Flag(key.key, l.*std::get<bool TLayerParms::*>(key.member)); break;
        }
    }
    out.Raw("");
    return std::move(out.Text());
}

std::string WaveSectionText(int index, const TFieldOptions& w)
{
    TLines out;
    out.Raw("[wave" + std::to_string(index) + "]");
    out.Add("angular", AngularName(w.angular));
    out.Real("lambda", w.lambda);
    out.Real("amplitude", w.amplitude);
    out.Add("shape", BeamShapeName(w.shape));
    out.Real("sigmax", w.sigmaX);
    out.Real("sigmay", w.sigmaY);
    out.Real("theta", w.theta);
    out.Real("rho", w.rho);
    out.Real("delta", w.delta);
    out.Real("psi", w.psi);
    out.Real("shiftx", w.shiftX);
    out.Real("shifty", w.shiftY);
    out.Real("shiftz", w.shiftZ);
    return std::move(out.Text());
}

std::string ParmSectionText(int index, TParmsType type, const TParmsVariation& v)
{
    TLines out;
    out.Raw("[parm" + std::to_string(index) + "]");
    out.Add("type", ParmsTypeName(type));
    out.Int("num", v.num);
    out.Add("parm", ParmsName(v.parm));
    out.Real("firstRe", v.first.re);
    out.Real("firstIm", v.first.im);
    out.Real("deltaRe", v.delta.re);
    out.Real("deltaIm", v.delta.im);
    out.Int("steps", v.steps);
    return std::move(out.Text());
}

} // namespace ksn
