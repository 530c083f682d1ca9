// The section readers and the load procedure: what each key becomes, the values that
// follow from the file, and the messages of every failure.
#include "ConfigFixtures.h"

#include "config/ConfigReaders.h"
#include "config/Configuration.h"
#include "numerics/GeneralError.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

namespace ksn {
namespace {

using test::BaseConfig;
using test::Edit;
using test::TRecordingSink;
using test::TScratchDir;

// Loads `text` from a scratch file; the sink keeps the messages.
struct TLoad {
    TScratchDir dir;
    TRecordingSink sink;
    TConfiguration config;
    std::string path;
    bool ok = false;

    explicit TLoad(const std::string& text)
    {
        path = dir.Write("scene.ini", text);
        ok = LoadConfiguration(path, config);
    }
};

const char* kLayer1Homog = "[layer1]\n"
                           "type=Homog\n"
                           "Z=1\n"
                           "nSubject=1.25\n"
                           "kappaSubject=0\n"
                           "nSpace=1\n"
                           "kappaSpace=0\n"
                           "report=0\n";

std::string WithLayer1(const std::string& layer) { return Edit(BaseConfig(), kLayer1Homog, layer); }

TEST(LoadConfigurationTest, BaseFileFillsEveryRecord)
{
    TLoad load(BaseConfig());
    ASSERT_TRUE(load.ok) << (load.sink.messages.empty() ? "" : load.sink.messages[0]);
    EXPECT_TRUE(load.sink.messages.empty());
    const TConfiguration& c = load.config;
    EXPECT_TRUE(c.global.loaded);
    EXPECT_EQ(c.global.fileName, load.path);
    EXPECT_FALSE(c.global.multithreaded);
    EXPECT_TRUE(c.global.moduloTracking);
    EXPECT_EQ(c.global.modulus, 2);
    EXPECT_EQ(c.global.simMethod, TSimMethod::vwpm);
    EXPECT_EQ(c.global.layerNum, 2);
    EXPECT_EQ(c.global.waveNum, 1);
    EXPECT_EQ(c.global.scale, TScale::um);
    EXPECT_TRUE(c.global.bidirectional);
    EXPECT_EQ(c.global.reflections, 3);
    EXPECT_EQ(c.global.extraModes, 4);
    EXPECT_TRUE(c.independent);
    EXPECT_EQ(c.numOfParms, 0);
    EXPECT_DOUBLE_EQ(c.grid.scaleFactor, 1e-6);
    EXPECT_EQ(c.grid.nx, 64);
    EXPECT_EQ(c.grid.ny, 16);
    EXPECT_DOUBLE_EQ(c.grid.dx, 1.0);
    EXPECT_DOUBLE_EQ(c.grid.dy, 2.0);
    // The stack adds up to Z exactly: nz survives the refit although 1.5 / (1.5/59)
    // rounds to 58.99999999999999.
    EXPECT_EQ(c.grid.nz, 59);
    EXPECT_DOUBLE_EQ(c.grid.dz, 1.5 / 59);

    ASSERT_EQ(c.layers.size(), 2u);
    EXPECT_EQ(c.layers[0].type, TLayerType::Homog);
    EXPECT_EQ(c.layers[0].zStart, 0.0);
    EXPECT_EQ(c.layers[0].thickness, 0.5);
    EXPECT_EQ(c.layers[0].nSubject, (TComplex{1.5, 0.01}));
    EXPECT_EQ(c.layers[0].nSpace, (TComplex{1.0, 0.0}));
    EXPECT_TRUE(c.layers[0].report);
    EXPECT_EQ(c.layers[1].zStart, 0.5);
    EXPECT_FALSE(c.layers[1].report);

    ASSERT_EQ(c.waves.size(), 1u);
    EXPECT_EQ(c.waves[0].shape, TBeamShape::plane);
    EXPECT_EQ(c.waves[0].angular, TAngular::deg);
    EXPECT_EQ(c.waves[0].lambda, 0.633);
    EXPECT_EQ(c.waves[0].theta, 10.0);
    EXPECT_EQ(c.waves[0].rho, 45.0);
    EXPECT_EQ(c.waves[0].amplitude, 1.0);
    EXPECT_TRUE(c.parms.empty());
}

TEST(LoadConfigurationTest, SlicesFollowTheLayerStackAtTheSpacingOfTheFile)
{
    // Layers of 0.5 + 2 = 2.5 in a window of Z = 1.5 with 59 slices: dz stays 1.5/59 and
    // the stack holds floor(98.33) = 98 of them.
    TLoad load(Edit(BaseConfig(), "[layer1]\ntype=Homog\nZ=1\n", "[layer1]\ntype=Homog\nZ=2\n"));
    ASSERT_TRUE(load.ok);
    EXPECT_EQ(load.config.grid.nz, 98);
    EXPECT_EQ(load.config.grid.dz, 1.5 / 59);
    EXPECT_EQ(load.config.grid.Z, 98 * (1.5 / 59));
    EXPECT_EQ(load.config.layers[1].zStart, 0.5);
}

TEST(LoadConfigurationTest, GridWithoutPointsOrSlicesIsRefused)
{
    {
        TLoad load(Edit(BaseConfig(), "nx=64\n", "nx=0\n"));
        EXPECT_FALSE(load.ok);
        EXPECT_EQ(load.sink.messages, (std::vector<std::string>{"The grid has no points (nx = 0, ny = 16); nx and "
                                                                "ny must be at least 1.",
                                          "Error. Cannot load file!"}));
    }
    {
        TLoad load(Edit(BaseConfig(), "nz=59\n", "nz=0\n"));
        EXPECT_FALSE(load.ok);
        EXPECT_EQ(load.sink.messages.at(0), "The grid has no spacing along z (nz = 0, Z = 1.5); nz and Z must be "
                                            "positive.");
    }
}

TEST(LoadConfigurationTest, NegativeLayerStackIsRefusedInsteadOfANegativeSliceCount)
{
    TLoad load(Edit(BaseConfig(), "[layer1]\ntype=Homog\nZ=1\n", "[layer1]\ntype=Homog\nZ=-3\n"));
    EXPECT_FALSE(load.ok);
    EXPECT_FALSE(load.config.global.loaded);
    EXPECT_TRUE(load.sink.HasMessage("Error. Cannot load file!"));
}

TEST(LoadConfigurationTest, ModulusOfZeroOrLessBecomesOne)
{
    for (const char* value : {"modulus=0\n", "modulus=-5\n"}) {
        TLoad load(Edit(BaseConfig(), "modulus=2\n", value));
        ASSERT_TRUE(load.ok);
        EXPECT_EQ(load.config.global.modulus, 1) << value;
    }
}

TEST(LoadConfigurationTest, UnknownMethodOrScaleIsReportedButLoads)
{
    {
        TLoad load(Edit(BaseConfig(), "simmethod=vwpm\n", "simmethod=fdtd\n"));
        EXPECT_TRUE(load.ok);
        EXPECT_EQ(load.sink.messages, (std::vector<std::string>{"Unknown simType in " + load.path}));
        EXPECT_EQ(static_cast<int>(load.config.global.simMethod), 255);
    }
    {
        // vwpmhh has no method of its own: reported, but kept.
        TLoad load(Edit(BaseConfig(), "simmethod=vwpm\n", "simmethod=VWPMHH\n"));
        EXPECT_TRUE(load.ok);
        EXPECT_EQ(load.sink.messages, (std::vector<std::string>{"Unknown simType in " + load.path}));
        EXPECT_EQ(load.config.global.simMethod, TSimMethod::vwpmhh);
    }
    {
        TLoad load(Edit(BaseConfig(), "scale=um\n", "scale=inch\n"));
        EXPECT_TRUE(load.ok);
        EXPECT_EQ(load.sink.messages, (std::vector<std::string>{"Unknown simScale in " + load.path}));
        EXPECT_DOUBLE_EQ(load.config.grid.scaleFactor, 1.0);
    }
    {
        TLoad load(Edit(BaseConfig(), "scale=um\n", "scale=NM\n"));
        EXPECT_TRUE(load.sink.messages.empty());
        EXPECT_DOUBLE_EQ(load.config.grid.scaleFactor, 1e-9);
    }
}

TEST(LoadConfigurationTest, StoppingErrorsShowTheirMessageThenCannotLoad)
{
    struct TCase {
        std::string from, to, message;
    };
    const TCase cases[] = {
        {"nx=64\n", "", "Parameter required: global/nx"},
        {"allcomplex=0\n", "allcomplex=yes\n", "Boolean: global/allcomplex not 0 or 1"},
        {"numofparms=0\n", "", "Parameter required: global/numofparms"},
        {"independent=1\n", "", "Parameter required: global/independent"},
        {"X=64\n", "X=6,4\n", "Conversion error in global/X: '6,4' is not a valid floating point value"},
        {"[layer1]\n", "[layer7]\n", "Parameter required: layer1/type"},
        {"kappaSubject=0.01\n", "", "Parameter required: layer0/kappaSubject"},
        {"report=1\n", "report=on\n", "Boolean: layer0/report not 0 or 1"},
        {"lambda=0.633\n", "lambda=red\n",
         "Conversion error in wave0/lambda: 'red' is not a valid floating point value"},
        {"shiftz=0\n", "", "Parameter required: wave0/shiftz"},
    };
    for (const auto& c : cases) {
        TLoad load(Edit(BaseConfig(), c.from, c.to));
        EXPECT_FALSE(load.ok) << c.message;
        EXPECT_FALSE(load.config.global.loaded) << c.message;
        EXPECT_EQ(load.sink.messages, (std::vector<std::string>{c.message, "Error. Cannot load file!"}));
    }
}

TEST(LoadConfigurationTest, FailedLoadKeepsWhatWasReadBeforeTheError)
{
    TLoad load(Edit(BaseConfig(), "report=0\n", "report=maybe\n")); // layer1 fails
    EXPECT_FALSE(load.ok);
    EXPECT_EQ(load.config.grid.nx, 64);
    ASSERT_EQ(load.config.layers.size(), 1u);
    EXPECT_EQ(load.config.layers[0].thickness, 0.5);
    EXPECT_TRUE(load.config.waves.empty());
}

TEST(LoadConfigurationTest, MissingFileReadsAsEmpty)
{
    TScratchDir dir;
    TRecordingSink sink;
    TConfiguration config;
    EXPECT_FALSE(LoadConfiguration(dir.File("nothing-here.ini"), config));
    EXPECT_EQ(sink.messages,
              (std::vector<std::string>{"Parameter required: global/multithreaded", "Error. Cannot load file!"}));
}

TEST(LoadConfigurationTest, NameWithoutIniIsOpenedWithIniAppended)
{
    TScratchDir dir;
    dir.Write("scene.ini", BaseConfig());
    TRecordingSink sink;
    TConfiguration config;
    EXPECT_TRUE(LoadConfiguration(dir.File("scene"), config));
    // The name as given is the one kept and shown.
    EXPECT_EQ(config.global.fileName, dir.File("scene"));
}

TEST(LoadConfigurationTest, SectionOrderAndExtraKeysDoNotMatter)
{
    std::string text = BaseConfig();
    const size_t wave = text.find("[wave0]");
    text = "; comment\n" + text.substr(wave) + "\nextra=1\n[unused]\na=b\n" + text.substr(0, wave);
    TLoad load(Edit(text, "[global]\n", "[GLOBAL]\nfuture=42\n"));
    ASSERT_TRUE(load.ok);
    EXPECT_EQ(load.config.waves.size(), 1u);
    EXPECT_EQ(load.config.waves[0].lambda, 0.633);
}

TEST(ReadWaveTest, SigmaIsReadForGaussianBeamsOnly)
{
    {
        // plane: no sigma keys needed, and stray ones are ignored.
        TLoad load(BaseConfig() + "sigmax=5\nsigmay=6\n");
        ASSERT_TRUE(load.ok);
        EXPECT_EQ(load.config.waves[0].sigmaX, 0.0);
        EXPECT_EQ(load.config.waves[0].sigmaY, 0.0);
    }
    {
        TLoad load(Edit(BaseConfig(), "shape=plane\n", "shape=Gaussian\n"));
        EXPECT_FALSE(load.ok);
        EXPECT_EQ(load.sink.messages.at(0), "Parameter required: wave0/sigmax");
    }
    {
        TLoad load(Edit(BaseConfig(), "shape=plane\n", "shape=gaussian\n") + "sigmax=5\nsigmay=6\n");
        ASSERT_TRUE(load.ok);
        EXPECT_EQ(load.config.waves[0].sigmaX, 5.0);
        EXPECT_EQ(load.config.waves[0].sigmaY, 6.0);
    }
    {
        // Unknown names become 255 without a message.
        TLoad load(Edit(Edit(BaseConfig(), "shape=plane\n", "shape=bessel\n"), "angular=deg\n", "angular=grad\n"));
        ASSERT_TRUE(load.ok);
        EXPECT_TRUE(load.sink.messages.empty());
        EXPECT_EQ(static_cast<int>(load.config.waves[0].shape), 255);
        EXPECT_EQ(static_cast<int>(load.config.waves[0].angular), 255);
    }
}

TEST(ReadLayerTest, AsphereNoneAndUnknownTypesBecomeNoneLayers)
{
    for (const char* type : {"Asphere", "None", "Cylinder"}) {
        TLoad load(WithLayer1(std::string("[layer1]\ntype=") + type + "\nZ=1\nnSubject=3\nreport=1\nX0=4\n"));
        ASSERT_TRUE(load.ok) << type;
        const TLayerParms& l = load.config.layers[1];
        EXPECT_EQ(l.type, TLayerType::None) << type;
        EXPECT_EQ(l.zStart, 0.5);
        EXPECT_EQ(l.thickness, 1.0);
        EXPECT_EQ(l.nSubject, (TComplex{1.0, 0.0}));
        EXPECT_FALSE(l.report);
        EXPECT_EQ(l.X0, 0.0);
    }
}

TEST(ReadLayerTest, PrismIsAlwaysSmoothButNeedsTheKey)
{
    const std::string prism = "[layer1]\ntype=Prism\nZ=1\nwidthx=3\nwidthy=4\ngradientx=0.1\ngradienty=0.2\n"
                              "nSubject=1.5\nkappaSubject=0\nnSpace=1\nkappaSpace=0\nsmooth=0\nreport=1\n";
    {
        TLoad load(WithLayer1(prism));
        ASSERT_TRUE(load.ok);
        const TLayerParms& l = load.config.layers[1];
        EXPECT_EQ(l.type, TLayerType::Prism);
        EXPECT_TRUE(l.smooth);
        EXPECT_EQ(l.WidthX, 3.0);
        EXPECT_EQ(l.gradientY, 0.2);
    }
    {
        TLoad load(WithLayer1(Edit(prism, "smooth=0\n", "")));
        EXPECT_FALSE(load.ok);
        EXPECT_EQ(load.sink.messages.at(0), "Parameter required: layer1/smooth");
    }
}

TEST(ReadLayerTest, ExpSymSplitterXoutIsAlsoYout)
{
    TLoad load(WithLayer1("[layer1]\ntype=ExpSymSplitter\nZ=1\nXin=1\nYin=2\nXout=3\nDiamIn=4\nDiamOut=5\n"
                          "nSubject=1.5\nkappaSubject=0\nnSpace=1\nkappaSpace=0\ndeltaN=0.1\ndeltaKappa=0\n"
                          "shape=circ\nsmooth=1\nreport=0\n"));
    ASSERT_TRUE(load.ok);
    const TLayerParms& l = load.config.layers[1];
    EXPECT_EQ(l.Xin, 1.0);
    EXPECT_EQ(l.Yin, 2.0);
    EXPECT_EQ(l.Xout, 3.0);
    EXPECT_EQ(l.Yout, 3.0);
    EXPECT_EQ(l.shape, TXSectShape::circ);
    EXPECT_EQ(l.deltaN, (TComplex{0.1, 0.0}));
}

TEST(ReadLayerTest, WguideDiameterFillsBothEndsAndShapeMayBeUnknown)
{
    TLoad load(WithLayer1("[layer1]\ntype=wguide\nZ=1\nX0=1\nY0=2\nDiam=6\nnSubject=1.46\nkappaSubject=0\n"
                          "nSpace=1.45\nkappaSpace=0\ndeltaN=0\ndeltaKappa=0\nshape=hex\nsmooth=0\nreport=1\n"));
    ASSERT_TRUE(load.ok);
    const TLayerParms& l = load.config.layers[1];
    EXPECT_EQ(l.type, TLayerType::Wguide);
    EXPECT_EQ(l.DiamIn, 6.0);
    EXPECT_EQ(l.DiamOut, 6.0);
    EXPECT_EQ(static_cast<int>(l.shape), 255);
    EXPECT_TRUE(load.sink.messages.empty());
}

TEST(ReadLayerTest, SphereRequiresRadiusAndShiftz)
{
    const std::string sphere = "[layer1]\ntype=Sphere\nZ=1\nshiftz=0.25\nX0=1\nY0=2\nRadius=0.4\nnSubject=2\n"
                               "kappaSubject=0\nnSpace=1\nkappaSpace=0\ndeltaN=0\ndeltaKappa=0\nshape=rect\n"
                               "smooth=1\nreport=1\n";
    TLoad load(WithLayer1(sphere));
    ASSERT_TRUE(load.ok);
    EXPECT_EQ(load.config.layers[1].ShiftZ, 0.25);
    EXPECT_EQ(load.config.layers[1].Radius, 0.4);
    TLoad missing(WithLayer1(Edit(sphere, "Radius=0.4\n", "")));
    EXPECT_EQ(missing.sink.messages.at(0), "Parameter required: layer1/Radius");
}

const char* kParm0 = "[parm0]\ntype=wave\nnum=0\nparm=lambda\nfirstRe=0.5\nfirstIm=0\ndeltaRe=0.01\ndeltaIm=0\n"
                     "steps=10\n";
const char* kParm1 = "[parm1]\ntype=Layer\nnum=1\nparm=nsubject\nfirstRe=1.3\nfirstIm=0.1\ndeltaRe=0.05\n"
                     "deltaIm=0\nsteps=0x4\n";

TEST(ReadParmTest, ParmsAreReadOnlyWithParmvariation)
{
    const std::string withParms = BaseConfig() + kParm0 + kParm1;
    {
        TLoad load(Edit(withParms, "numofparms=0\n", "numofparms=2\n"));
        ASSERT_TRUE(load.ok);
        EXPECT_TRUE(load.config.parms.empty());
    }
    {
        TLoad load(Edit(Edit(withParms, "numofparms=0\n", "numofparms=2\n"), "parmvariation=0\n",
                        "parmvariation=1\n"));
        ASSERT_TRUE(load.ok);
        ASSERT_EQ(load.config.parms.size(), 2u);
        EXPECT_EQ(load.config.parmTypes, (std::vector<TParmsType>{TParmsType::wave, TParmsType::layer}));
        const TParmsVariation& v = load.config.parms[1];
        EXPECT_EQ(v.num, 1);
        EXPECT_EQ(v.parm, TParms::nSubject);
        EXPECT_EQ(v.first, (TComplex{1.3, 0.1}));
        EXPECT_EQ(v.delta, (TComplex{0.05, 0.0}));
        EXPECT_EQ(v.steps, 4);
    }
    {
        // numofparms asks for a section that is not there.
        TLoad load(Edit(Edit(withParms, "numofparms=0\n", "numofparms=3\n"), "parmvariation=0\n",
                        "parmvariation=1\n"));
        EXPECT_FALSE(load.ok);
        EXPECT_EQ(load.sink.messages.at(0), "Parameter required: parm2/type");
    }
}

TEST(ReadParmTest, UnknownParmTypeIsReportedAndLoadGoesOn)
{
    TLoad load(Edit(Edit(Edit(BaseConfig() + kParm0 + kParm1, "numofparms=0\n", "numofparms=2\n"),
                         "parmvariation=0\n", "parmvariation=1\n"),
                    "type=wave\n", "type=scene\n"));
    ASSERT_TRUE(load.ok);
    EXPECT_EQ(load.sink.messages, (std::vector<std::string>{"Error in TForm1.readParm(0). Unknown parmType."}));
    ASSERT_EQ(load.config.parmTypes.size(), 2u);
    EXPECT_EQ(static_cast<int>(load.config.parmTypes[0]), 255);
    EXPECT_EQ(load.config.parmTypes[1], TParmsType::layer);
}

} // namespace
} // namespace ksn
