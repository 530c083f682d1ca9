// Save: the text written, that every saved file loads back to the same records, that a
// second Save gives the same bytes, and that a failed Save leaves an old file intact.
#include "ConfigFixtures.h"

#include "config/ConfigText.h"
#include "config/Configuration.h"
#include "config/FloatText.h"
#include "config/LayerKeys.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

namespace ksn {
namespace {

using test::ReadFileText;
using test::TRecordingSink;
using test::TScratchDir;

// A layer of the given type with every field of its key table set to a distinct value
// of both signs (quarters, which the saved text carries exactly); flags on, shape circ.
TLayerParms TableLayer(TLayerType type)
{
    TLayerParms l;
    l.type = type;
    int k = 0;
    for (const TLayerKey& key : LayerTable(type).keys) {
        ++k;
        const double value = (k % 2 ? 0.25 : -0.25) * k; // the thickness, Z, comes first: positive
        switch (key.kind) {
        case TKeyKind::real:
            l.*std::get<double TLayerParms::*>(key.member) = value;
            if (key.alsoFills)
                l.*key.alsoFills = value;
            break;
        case TKeyKind::complex: l.*std::get<TComplex TLayerParms::*>(key.member) = {1 + value, value / 64}; break;
        case TKeyKind::shape: l.*std::get<TXSectShape TLayerParms::*>(key.member) = TXSectShape::circ; break;
        case TKeyKind::flag:
        case TKeyKind::alwaysOn: l.*std::get<bool TLayerParms::*>(key.member) = true; break;
        }
    }
    if (type == TLayerType::None) // what the reader makes of an empty layer: vacuum
        l.nSubject = {1, 0};
    return l;
}

// A layer of the given type with every field its type reads set to a distinct value
// (values with short decimal forms, as a user would type them).
TLayerParms FullLayer(TLayerType type)
{
    TLayerParms l;
    l.type = type;
    l.thickness = 0.75;
    l.nSubject = {1.5, 0.002};
    l.nSpace = {1.25, 0.0};
    l.report = true;
    switch (type) {
    case TLayerType::Homog: break;
    case TLayerType::Sphere:
        l.ShiftZ = 0.125, l.X0 = -1.5, l.Y0 = 2.5, l.Radius = 0.3;
        l.deltaN = {0.01, -0.001}, l.shape = TXSectShape::circ, l.smooth = true;
        break;
    case TLayerType::Wguide:
        l.X0 = 1, l.Y0 = -2, l.DiamIn = l.DiamOut = 6;
        l.deltaN = {0.02, 0}, l.shape = TXSectShape::circ;
        break;
    case TLayerType::LinSymSplitter:
        l.X0 = 1, l.Y0 = 2, l.gradientX = 0.1, l.gradientY = -0.2, l.DiamIn = 3, l.DiamOut = 4;
        l.deltaN = {0.03, 0.004}, l.smooth = true;
        break;
    case TLayerType::ExpSymSplitter:
        l.Xin = 1, l.Yin = 2, l.Xout = l.Yout = 7, l.DiamIn = 3, l.DiamOut = 5;
        l.deltaN = {0.5, 0}, l.shape = TXSectShape::circ, l.smooth = true;
        break;
    case TLayerType::ExpTaper:
        l.X0 = 3, l.Y0 = 4, l.DiamIn = 8, l.DiamOut = 2, l.expHalfWidth = 0.35;
        l.deltaN = {0, 0.25};
        break;
    case TLayerType::Grating:
        l.PitchX = 2, l.PitchY = 3, l.WidthX = 1, l.WidthY = 1.5, l.ShiftX = 0.1, l.ShiftY = 0.2;
        l.XSep = 4, l.YSep = 5, l.height = 0.6, l.shape = TXSectShape::circ, l.smooth = true;
        break;
    case TLayerType::Prism:
        l.WidthX = 10, l.WidthY = 12, l.gradientX = 0.05, l.gradientY = 0.07, l.smooth = true;
        break;
    case TLayerType::Slope:
        l.ShiftZ = 0.2, l.X0 = 1, l.Y0 = 2, l.WidthX = 3, l.WidthY = 4, l.height = 0.5;
        l.gradientX = 0.3, l.gradientY = 0.4, l.smooth = true;
        break;
    default: // None: only the thickness and vacuum
        l.nSubject = {1, 0}, l.nSpace = {}, l.report = false;
        break;
    }
    return l;
}

TFieldOptions FullWave(TBeamShape shape)
{
    TFieldOptions w;
    w.shape = shape;
    w.angular = TAngular::rad;
    w.lambda = 0.532, w.theta = 0.1, w.rho = 0.2, w.delta = 0.3, w.psi = 0.4, w.amplitude = 2.5;
    w.shiftX = 1, w.shiftY = -1, w.shiftZ = 0.5;
    if (shape == TBeamShape::gaussian)
        w.sigmaX = 3, w.sigmaY = 4.5;
    return w;
}

TConfiguration BaseRecords()
{
    TConfiguration c;
    c.global.simMethod = TSimMethod::vwpmh;
    c.global.moduloTracking = true;
    c.global.modulus = 3;
    c.global.reflections = 2;
    c.global.extraModes = 1;
    c.global.largeScene = true;
    c.global.bidirectional = true;
    c.global.multithreaded = true;
    c.global.scale = TScale::nm;
    c.global.allComplex = true;
    c.independent = true;
    c.grid.evanescent = true;
    c.grid.nx = 32, c.grid.ny = 16, c.grid.nz = 59;
    c.grid.X = 64, c.grid.Y = 48;
    return c;
}

// Puts the layers into the records as a load would leave them: stacked from 0, Z the
// stack's length (so that the slice count survives the refit), dz = Z/nz.
void SetLayers(TConfiguration& c, const TLayerParmsVec& layers)
{
    c.layers = layers;
    double z = 0;
    for (auto& l : c.layers) {
        l.zStart = z;
        z += l.thickness;
    }
    c.global.layerNum = int(c.layers.size());
    c.grid.Z = z;
}

// Saves, loads back and saves again; checks records and bytes.
void ExpectRoundTrip(const TConfiguration& records, const std::string& what)
{
    TScratchDir dir;
    TRecordingSink sink;
    const std::string first = dir.File("first.ini");
    const std::string second = dir.File("second.ini");
    ASSERT_TRUE(SaveConfiguration(first, records)) << what;
    TConfiguration loaded;
    loaded.global.threadCount = records.global.threadCount;
    ASSERT_TRUE(LoadConfiguration(first, loaded)) << what << ": " << (sink.messages.empty() ? "" : sink.messages[0]);
    EXPECT_TRUE(sink.messages.empty()) << what << ": " << sink.messages[0];

    EXPECT_EQ(loaded.global.simMethod, records.global.simMethod) << what;
    EXPECT_EQ(loaded.global.moduloTracking, records.global.moduloTracking) << what;
    EXPECT_EQ(loaded.global.modulus, records.global.modulus) << what;
    EXPECT_EQ(loaded.global.reflections, records.global.reflections) << what;
    EXPECT_EQ(loaded.global.extraModes, records.global.extraModes) << what;
    EXPECT_EQ(loaded.global.largeScene, records.global.largeScene) << what;
    EXPECT_EQ(loaded.global.bidirectional, records.global.bidirectional) << what;
    EXPECT_EQ(loaded.global.multithreaded, records.global.multithreaded) << what;
    EXPECT_EQ(loaded.global.layerNum, records.global.layerNum) << what;
    EXPECT_EQ(loaded.global.waveNum, records.global.waveNum) << what;
    EXPECT_EQ(loaded.global.scale, records.global.scale) << what;
    EXPECT_EQ(loaded.global.allComplex, records.global.allComplex) << what;
    EXPECT_EQ(loaded.global.parmVariation, records.global.parmVariation) << what;
    EXPECT_EQ(loaded.numOfParms, records.numOfParms) << what;
    EXPECT_EQ(loaded.independent, records.independent) << what;
    EXPECT_EQ(loaded.grid.nx, records.grid.nx) << what;
    EXPECT_EQ(loaded.grid.nz, records.grid.nz) << what;
    EXPECT_EQ(loaded.grid.X, records.grid.X) << what;
    EXPECT_EQ(loaded.grid.Z, records.grid.Z) << what;
    EXPECT_EQ(loaded.grid.evanescent, records.grid.evanescent) << what;
    ASSERT_EQ(loaded.layers.size(), records.layers.size()) << what;
    for (size_t i = 0; i < records.layers.size(); ++i)
        EXPECT_TRUE(loaded.layers[i] == records.layers[i]) << what << ": layer " << i << "\n"
                                                           << LayerSectionText(int(i), loaded.layers[i]) << "vs\n"
                                                           << LayerSectionText(int(i), records.layers[i]);
    ASSERT_EQ(loaded.waves.size(), records.waves.size()) << what;
    for (size_t i = 0; i < records.waves.size(); ++i)
        EXPECT_TRUE(loaded.waves[i] == records.waves[i]) << what << ": wave " << i;
    EXPECT_EQ(loaded.parms.size(), records.parms.size()) << what;
    for (size_t i = 0; i < std::min(loaded.parms.size(), records.parms.size()); ++i) {
        EXPECT_TRUE(loaded.parms[i] == records.parms[i]) << what << ": parm " << i;
        EXPECT_EQ(loaded.parmTypes[i], records.parmTypes[i]) << what << ": parm " << i;
    }

    ASSERT_TRUE(SaveConfiguration(second, loaded)) << what;
    EXPECT_EQ(ReadFileText(first), ReadFileText(second)) << what;
}

TEST(SaveRoundTripTest, EveryLayerTypeLoadsBackToTheSameRecords)
{
    for (int t = 0; t <= static_cast<int>(TLayerType::None); ++t) {
        const auto type = static_cast<TLayerType>(t);
        EXPECT_EQ(LayerTable(type).type, type);
        if (type == TLayerType::Asphere)
            continue; // read as a None layer: see AsphereIsSavedAsItsTypeAndReadsBackAsNone
        TConfiguration c = BaseRecords();
        SetLayers(c, {TableLayer(TLayerType::Homog), TableLayer(type)});
        c.waves = {FullWave(TBeamShape::plane)};
        c.global.waveNum = 1;
        ExpectRoundTrip(c, LayerTypeName(type));
    }
}

TEST(SaveRoundTripTest, EveryKeyOfALayerTableIsRequiredByTheReader)
{
    // Each line Save writes for a layer is one the reader asks for: without it the load
    // stops and names it as written.
    for (int t = 0; t <= static_cast<int>(TLayerType::None); ++t) {
        const auto type = static_cast<TLayerType>(t);
        TConfiguration c = BaseRecords();
        SetLayers(c, {TableLayer(TLayerType::Homog), TableLayer(type)});
        const std::string text = ConfigurationText(c);
        const size_t layer1 = text.find("[layer1]");
        ASSERT_NE(layer1, std::string::npos);
        std::vector<std::string> keys;
        for (const TLayerKey& key : LayerTable(type).keys) {
            keys.push_back(key.key);
            if (key.imKey)
                keys.push_back(key.imKey);
        }
        for (const std::string& key : keys) {
            SCOPED_TRACE(std::string(LayerTypeName(type)) + "/" + key);
            const size_t line = text.find("\n" + key + "=", layer1);
            ASSERT_NE(line, std::string::npos);
            std::string without = text;
            without.erase(line + 1, text.find('\n', line + 1) - line);
            TScratchDir dir;
            TRecordingSink sink;
            TConfiguration loaded;
            EXPECT_FALSE(LoadConfiguration(dir.Write("a.ini", without), loaded));
            EXPECT_EQ(sink.messages.at(0), "Parameter required: layer1/" + key);
        }
    }
}

TEST(SaveRoundTripTest, EveryBeamShapeLoadsBackToTheSameRecords)
{
    TConfiguration c = BaseRecords();
    SetLayers(c, {FullLayer(TLayerType::Homog)});
    for (int s = 0; s <= static_cast<int>(TBeamShape::dirac); ++s)
        c.waves.push_back(FullWave(static_cast<TBeamShape>(s)));
    c.waves[1].angular = TAngular::deg;
    c.global.waveNum = int(c.waves.size());
    ExpectRoundTrip(c, "beam shapes");
}

TEST(SaveRoundTripTest, ParmSectionsAreWrittenWithParmvariation)
{
    TConfiguration c = BaseRecords();
    SetLayers(c, {FullLayer(TLayerType::Sphere), FullLayer(TLayerType::Slope)});
    c.waves = {FullWave(TBeamShape::gaussian)};
    c.global.waveNum = 1;
    c.global.parmVariation = true;
    c.numOfParms = 2;
    c.parmTypes = {TParmsType::layer, TParmsType::wave};
    c.parms.resize(2);
    c.parms[0].num = 1, c.parms[0].steps = 5, c.parms[0].parm = TParms::nSpace;
    c.parms[0].first = {1.1, 0.01}, c.parms[0].delta = {0.05, -0.001};
    c.parms[1].num = 0, c.parms[1].steps = 3, c.parms[1].parm = TParms::sigmaY;
    c.parms[1].first = {2, 0}, c.parms[1].delta = {0.5, 0};
    ExpectRoundTrip(c, "parameter variation");

    // Without parmvariation no [parm] section is written.
    c.global.parmVariation = false;
    EXPECT_EQ(ConfigurationText(c).find("[parm"), std::string::npos);
}

TEST(SaveRoundTripTest, AsphereIsSavedAsItsTypeAndReadsBackAsNone)
{
    TConfiguration c = BaseRecords();
    SetLayers(c, {FullLayer(TLayerType::Asphere)});
    c.layers[0].X0 = 5;
    EXPECT_NE(LayerSectionText(0, c.layers[0]).find("type=Asphere\r\nZ=0.75\r\n"), std::string::npos);
    TScratchDir dir;
    TRecordingSink sink;
    ASSERT_TRUE(SaveConfiguration(dir.File("a.ini"), c));
    TConfiguration loaded;
    ASSERT_TRUE(LoadConfiguration(dir.File("a.ini"), loaded));
    EXPECT_EQ(loaded.layers.at(0).type, TLayerType::None);
    EXPECT_EQ(loaded.layers.at(0).thickness, 0.75);
}

TEST(ConfigurationTextTest, HeaderGlobalOrderFlagsAndLayerSpacing)
{
    TConfiguration c = BaseRecords();
    SetLayers(c, {FullLayer(TLayerType::Homog), FullLayer(TLayerType::None)});
    c.waves = {FullWave(TBeamShape::plane)};
    c.global.waveNum = 1;
    const std::string text = ConfigurationText(c);
    const std::string expectedStart = "// Kestrin (KSN) V0.1beta\r\n//";
    EXPECT_EQ(text.compare(0, expectedStart.size(), expectedStart), 0) << text;
    const std::string global = "\r\n\r\n[global]\r\nsimmethod=vwpmh\r\nallcomplex=-1\r\nlargescene=-1\r\n"
                               "parmvariation=0\r\nnumofparms=0\r\nextramodes=1\r\nbidirectional=1\r\n"
                               "reflections=2\r\nmultithreaded=-1\r\nmodulotracking=-1\r\nmodulus=3\r\n"
                               "layernum=2\r\nwavenum=1\r\nindependent=-1\r\nevanescent=-1\r\nscale=nm\r\n"
                               "nx=32\r\nny=16\r\nnz=59\r\nX=64\r\nY=48\r\nZ=1.5\r\n";
    EXPECT_NE(text.find(global), std::string::npos) << text;
    // The layer part begins with an empty line; blocks are separated by two.
    EXPECT_NE(text.find("Z=1.5\r\n\r\n[layer0]\r\ntype=Homog\r\nZ=0.75\r\nnSubject=1.5\r\nkappaSubject=0.002\r\n"
                        "nSpace=1.25\r\nkappaSpace=0\r\nreport=-1\r\n\r\n\r\n[layer1]\r\ntype=None\r\nZ=0.75\r\n"
                        "\r\n[wave0]\r\nangular=rad\r\nlambda=0.532\r\namplitude=2.5\r\nshape=plane\r\n"
                        "sigmax=0\r\nsigmay=0\r\ntheta=0.1\r\nrho=0.2\r\ndelta=0.3\r\npsi=0.4\r\nshiftx=1\r\n"
                        "shifty=-1\r\nshiftz=0.5\r\n"),
              std::string::npos)
        << text;
    // No bare LF anywhere: every line ends in CR LF.
    for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
        ASSERT_EQ(text[i - 1], '\r') << "at " << i;
}

TEST(ConfigurationTextTest, SavedLayerLinesKeepTheirOrderAndAppendMissingKeys)
{
    // The listed lines come first, in order; keys the reader also needs follow.
    EXPECT_NE(LayerSectionText(0, FullLayer(TLayerType::Sphere))
                  .find("type=Sphere\r\nZ=0.75\r\nshape=circ\r\nsmooth=-1\r\nX0=-1.5\r\nY0=2.5\r\n"
                        "nsubject=1.5\r\nkappasubject=0.002\r\nnSpace=1.25\r\nkappaSpace=0\r\ndeltan=0.01\r\n"
                        "deltakappa=-0.001\r\nreport=-1\r\nshiftz=0.125\r\nRadius=0.3\r\n"),
              std::string::npos);
    EXPECT_NE(LayerSectionText(0, FullLayer(TLayerType::Wguide))
                  .find("type=wguide\r\nZ=0.75\r\nX0=1\r\nY0=-2\r\nDiam=6\r\n"),
              std::string::npos);
    EXPECT_NE(LayerSectionText(0, FullLayer(TLayerType::Grating))
                  .find("type=Grating\r\nZ=0.75\r\nheight=0.6\r\npitchx=2\r\npitchy=3\r\nwidthx=1\r\n"
                        "widthy=1.5\r\nshiftx=0.1\r\nshifty=0.2\r\nxseparation=4\r\nyseparation=5\r\n"),
              std::string::npos);
}

TEST(FormatRealTest, ShortestFormUpToFifteenDigits)
{
    EXPECT_EQ(FormatReal(40), "40");
    EXPECT_EQ(FormatReal(1500), "1500");
    EXPECT_EQ(FormatReal(0.1), "0.1");
    EXPECT_EQ(FormatReal(-2.5), "-2.5");
    EXPECT_EQ(FormatReal(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FormatReal(1e-9), "1e-09");
    EXPECT_EQ(FormatReal(0.1 + 0.2), "0.3");
    double back = 0;
    ASSERT_TRUE(TryParseReal(FormatReal(1e-9), back));
    EXPECT_EQ(back, 1e-9);
}

TEST(SaveConfigurationTest, FailureKeepsTheOldFileAndSaysSo)
{
    TScratchDir dir;
    TRecordingSink sink;
    TConfiguration c = BaseRecords();
    EXPECT_FALSE(SaveConfiguration((dir.Path() / "missing" / "x.ini").string(), c));
    EXPECT_FALSE(SaveConfiguration("", c));
    // A folder in the way of the name: nothing is replaced.
    std::filesystem::create_directory(dir.File("busy.ini"));
    EXPECT_FALSE(SaveConfiguration(dir.File("busy.ini"), c));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("busy.ini")));
    EXPECT_EQ(sink.messages, (std::vector<std::string>(3, "Error. Cannot save file!")));
    EXPECT_TRUE(sink.logLines.empty());
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(SaveConfigurationTest, ReplacesAnExistingFileKeepingItsPermissionsAndLogs)
{
    TScratchDir dir;
    TRecordingSink sink;
    const std::string path = dir.Write("old.ini", "old contents");
    ::chmod(path.c_str(), 0640);
    TConfiguration c = BaseRecords();
    ASSERT_TRUE(SaveConfiguration(path, c));
    EXPECT_EQ(ReadFileText(path), ConfigurationText(c));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_EQ(sink.logLines.size(), 1u);
    const std::string& line = sink.logLines[0];
    EXPECT_EQ(line.substr(line.find(' ') + 1), "Saved file " + path);
}

} // namespace
} // namespace ksn
