#include "config/ConfigText.h"

#include "config/FloatText.h"

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

// The complex n/kappa pairs share the key spelling of each type's table.
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
    switch (l.type) {
    case TLayerType::Homog:
        out.Raw("type=Homog");
        out.Real("Z", l.thickness);
        Pair(out, "nSubject", "kappaSubject", l.nSubject);
        Pair(out, "nSpace", "kappaSpace", l.nSpace);
        out.Flag("report", l.report);
        break;
    case TLayerType::Sphere:
        out.Raw("type=Sphere");
        out.Real("Z", l.thickness);
        out.Add("shape", ShapeText(l.shape));
        out.Flag("smooth", l.smooth);
        out.Real("X0", l.X0);
        out.Real("Y0", l.Y0);
        Pair(out, "nsubject", "kappasubject", l.nSubject);
        Pair(out, "nSpace", "kappaSpace", l.nSpace);
        Pair(out, "deltan", "deltakappa", l.deltaN);
        out.Flag("report", l.report);
        out.Real("shiftz", l.ShiftZ);
        out.Real("Radius", l.Radius);
        break;
    case TLayerType::Wguide:
        out.Raw("type=wguide");
        out.Real("Z", l.thickness);
        out.Real("X0", l.X0);
        out.Real("Y0", l.Y0);
        out.Real("Diam", l.DiamIn);
        Pair(out, "nSubject", "kappaSubject", l.nSubject);
        Pair(out, "nSpace", "kappaSpace", l.nSpace);
        Pair(out, "deltaN", "deltaKappa", l.deltaN);
        out.Add("shape", ShapeText(l.shape));
        out.Flag("smooth", l.smooth);
        out.Flag("report", l.report);
        break;
    case TLayerType::LinSymSplitter:
        out.Raw("type=LinSymSplitter");
        out.Real("Z", l.thickness);
        out.Real("X0", l.X0);
        out.Real("Y0", l.Y0);
        out.Real("gradientX", l.gradientX);
        out.Real("gradientY", l.gradientY);
        out.Real("DiamIn", l.DiamIn);
        out.Real("DiamOut", l.DiamOut);
        Pair(out, "nSubject", "kappaSubject", l.nSubject);
        Pair(out, "nSpace", "kappaSpace", l.nSpace);
        Pair(out, "deltan", "deltakappa", l.deltaN);
        out.Add("shape", ShapeText(l.shape));
        out.Flag("smooth", l.smooth);
        out.Flag("report", l.report);
        break;
    case TLayerType::ExpSymSplitter:
        out.Raw("type=ExpSymSplitter");
        out.Real("Z", l.thickness);
        out.Real("Xin", l.Xin);
        out.Real("Yin", l.Yin);
        out.Real("Xout", l.Xout);
        out.Real("DiamIn", l.DiamIn);
        out.Real("DiamOut", l.DiamOut);
        Pair(out, "nSubject", "kappaSubject", l.nSubject);
        Pair(out, "nSpace", "kappaSpace", l.nSpace);
        Pair(out, "deltaN", "deltaKappa", l.deltaN);
        out.Add("shape", ShapeText(l.shape));
        out.Flag("smooth", l.smooth);
        out.Flag("report", l.report);
        break;
    case TLayerType::ExpTaper:
        out.Raw("type=ExpTaper");
        out.Real("Z", l.thickness);
        out.Real("X0", l.X0);
        out.Real("Y0", l.Y0);
        out.Real("expHalfWidth", l.expHalfWidth);
        out.Real("DiamIn", l.DiamIn);
        out.Real("DiamOut", l.DiamOut);
        Pair(out, "nSubject", "kappaSubject", l.nSubject);
        Pair(out, "nSpace", "kappaSpace", l.nSpace);
        Pair(out, "deltan", "deltakappa", l.deltaN);
        out.Add("shape", ShapeText(l.shape));
        out.Flag("smooth", l.smooth);
        out.Flag("report", l.report);
        break;
    case TLayerType::Grating:
        out.Raw("type=Grating");
        out.Real("Z", l.thickness);
        out.Real("height", l.height);
        out.Real("pitchx", l.PitchX);
        out.Real("pitchy", l.PitchY);
        out.Real("widthx", l.WidthX);
        out.Real("widthy", l.WidthY);
        out.Real("shiftx", l.ShiftX);
        out.Real("shifty", l.ShiftY);
        out.Real("xseparation", l.XSep);
        out.Real("yseparation", l.YSep);
        Pair(out, "nsubject", "kappasubject", l.nSubject);
        Pair(out, "nSpace", "kappaSpace", l.nSpace);
        out.Add("shape", ShapeText(l.shape));
        out.Flag("smooth", l.smooth);
        out.Flag("report", l.report);
        break;
    case TLayerType::Prism:
        out.Raw("type=Prism");
        out.Real("Z", l.thickness);
        out.Real("widthx", l.WidthX);
        out.Real("widthy", l.WidthY);
        out.Real("gradientx", l.gradientX);
        out.Real("gradienty", l.gradientY);
        Pair(out, "nSubject", "kappaSubject", l.nSubject);
        Pair(out, "nSpace", "kappaSpace", l.nSpace);
        out.Flag("smooth", l.smooth);
        out.Flag("report", l.report);
        break;
    case TLayerType::Slope:
        out.Raw("type=Slope");
        out.Real("Z", l.thickness);
        out.Real("shiftz", l.ShiftZ);
        out.Real("X0", l.X0);
        out.Real("Y0", l.Y0);
        out.Real("widthx", l.WidthX);
        out.Real("widthy", l.WidthY);
        out.Real("height", l.height);
        out.Real("gradientx", l.gradientX);
        out.Real("gradienty", l.gradientY);
        Pair(out, "nsubject", "kappasubject", l.nSubject);
        Pair(out, "nSpace", "kappaSpace", l.nSpace);
        out.Flag("smooth", l.smooth);
        out.Flag("report", l.report);
        break;
    case TLayerType::Asphere:
        // No geometry of its own: it loads back as an empty (None) layer of this thickness.
        out.Raw("type=Asphere");
        out.Real("Z", l.thickness);
        break;
    default:
        // None layers (and any value outside the enumeration) read back as None layers.
        out.Raw("type=None");
        out.Real("Z", l.thickness);
        break;
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
