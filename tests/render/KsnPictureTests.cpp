// The pictures of `ksn run` and `ksn scene`, end to end: the graph files beside each
// other, the WMF read back by libwmf's wmf2svg with its curve where the stored slices
// lie (modulo tracking: entry i at z = slice(i) * dz), SVG that parses, PNG maps that
// load, and the picture options.
#include "driver/DriverTestSupport.h"
#include "render/PictureRender.h"

#include <QImage>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace ksn::test {
namespace {

namespace fs = std::filesystem;

fs::path UniqueDir()
{
    std::string pattern = (fs::temp_directory_path() / "ksn_pictures_XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int Shell(const std::string& command) { return WEXITSTATUS(std::system(command.c_str())); }

std::string Ksn() { return std::string(KSN_BINARY_DIR) + "/app/cli/ksn"; }

struct TPolyline {
    std::vector<double> x, y;
    std::string style;
};

std::vector<TPolyline> Polylines(const std::string& svg)
{
    std::vector<TPolyline> lines;
    const std::regex element(R"(<polyline([^>]*)/>)");
    const std::regex points(R"re(points="([^"]*)")re");
    const std::regex pair(R"((-?[0-9.]+),(-?[0-9.]+))");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), element); it != std::sregex_iterator(); ++it) {
        const std::string body = (*it)[1];
        std::smatch m;
        if (!std::regex_search(body, m, points))
            continue;
        TPolyline line;
        line.style = body;
        const std::string text = m[1];
        for (auto p = std::sregex_iterator(text.begin(), text.end(), pair); p != std::sregex_iterator(); ++p) {
            line.x.push_back(std::stod((*p)[1]));
            line.y.push_back(std::stod((*p)[2]));
        }
        lines.push_back(line);
    }
    return lines;
}

bool WellFormedXml(const std::string& text)
{
    QXmlStreamReader xml(QByteArray::fromStdString(text));
    while (!xml.atEnd())
        xml.readNext();
    return !xml.hasError();
}

class KsnPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        render::StartOffscreenApplication();
        myDir = UniqueDir();
        ASSERT_FALSE(myDir.empty());
        // z = 0 … 9 um, dz = 1: air, 4 um of absorbing glass (levels 3 … 6), air; every
        // third slice stored: entries at z = 0, 3, 6, 9.
        TIniSetup setup;
        setup.global["nx"] = setup.global["ny"] = "16";
        setup.global["X"] = setup.global["Y"] = "16";
        setup.global["modulotracking"] = "1";
        setup.global["modulus"] = "3";
        setup.layers = {{3, 1.0, 0.0}, {4, 1.5, 0.02}, {3, 1.0, 0.0}};
        setup.waveShape = "gaussian";
        myIni = WriteIni(myDir, "layer.stack.ini", setup);
    }
    void TearDown() override { fs::remove_all(myDir); }

    fs::path myDir;
    std::string myIni;
};

TEST_F(KsnPictures, RunWritesEveryGraphFormatAndTheMaps)
{
    const fs::path out = myDir / "out";
    ASSERT_EQ(Shell(Ksn() + " run " + myIni + " -o " + out.string() + " --quiet 2>" + (myDir / "err").string()), 0)
        << Slurp(myDir / "err");
    EXPECT_EQ(Slurp(myDir / "err"), ""); // no toolkit chatter on stderr
    for (const char* quantity : {"_inty", "_absn", "_eflx"}) {
        const std::string base = (out / ("layer.stack" + std::string(quantity))).string();
        EXPECT_TRUE(fs::is_regular_file(base + ".wmf")) << base;
        EXPECT_TRUE(WellFormedXml(Slurp(base + ".svg"))) << base;
        QImage png(QString::fromStdString(base + ".png"));
        EXPECT_EQ(png.width(), 640) << base;
    }
    for (const char* map : {"intensity_xz", "intensity_yz", "intensity_xy", "index_xz"}) {
        QImage png(QString::fromStdString((out / "maps" / (std::string(map) + ".png")).string()));
        EXPECT_FALSE(png.isNull()) << map;
        EXPECT_GT(png.width(), 200) << map;
    }
    // The index map shows the glass: the palette's top colour (palette 8: (127, 0, 0)).
    QImage index(QString::fromStdString((out / "maps" / "index_xz.png").string()));
    int glass = 0;
    for (int y = 0; y < index.height(); ++y)
        for (int x = 0; x < index.width(); ++x)
            glass += index.pixelColor(x, y) == QColor(127, 0, 0);
    EXPECT_GT(glass, 1000);
}

TEST_F(KsnPictures, WmfReadByLibwmfShowsTheCurveAtTheStoredSlices)
{
    if (Shell("command -v wmf2svg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "wmf2svg (libwmf-bin) not installed";
    const fs::path out = myDir / "out";
    ASSERT_EQ(Shell(Ksn() + " run " + myIni + " -o " + out.string() + " --quiet --no-plots"), 0);
    EXPECT_FALSE(fs::exists(out / "layer.stack_absn.wmf")); // --no-plots
    ASSERT_EQ(Shell(Ksn() + " run " + myIni + " -o " + out.string() + " --quiet"), 0);

    // libwmf looks for the standard PostScript faces by file name; DejaVu stands in.
    const fs::path fonts = myDir / "fonts";
    fs::create_directories(fonts);
    for (const char* face : {"NimbusRoman-Regular", "NimbusRoman-Bold", "NimbusRoman-Italic", "NimbusRoman-BoldItalic",
             "NimbusSans-Regular", "NimbusSans-Bold", "NimbusSans-Italic", "NimbusSans-BoldItalic",
             "NimbusMonoPS-Regular", "NimbusMonoPS-Bold", "NimbusMonoPS-Italic", "NimbusMonoPS-BoldItalic",
             "StandardSymbolsPS"})
        fs::create_symlink("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", fonts / (std::string(face) + ".t1"));
    const fs::path converted = myDir / "absn.svg";
    ASSERT_EQ(Shell("wmf2svg --wmf-fontdir=" + fonts.string() + " -o " + converted.string() + " " +
                  (out / "layer.stack_absn.wmf").string() + " 2>" + (myDir / "wmf.err").string()),
        0)
        << Slurp(myDir / "wmf.err");
    const std::string svg = Slurp(converted);
    ASSERT_NE(svg.find(">Absorption over propagation dist.<"), std::string::npos);

    // The curve: the one blue polyline, four points (stored slices 0, 3, 6, 9).
    const std::vector<TPolyline> lines = Polylines(svg);
    const TPolyline* curve = nullptr;
    const TPolyline* frame = nullptr;
    for (const TPolyline& l : lines) {
        if (l.style.find("stroke:blue") != std::string::npos)
            curve = &l;
        if (l.x.size() == 5 && (!frame || l.x[1] - l.x[0] > frame->x[1] - frame->x[0]))
            frame = &l;
    }
    ASSERT_NE(curve, nullptr);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(curve->x.size(), 4u);

    // x: the axis runs from 0 (left + 1) to (nz - 1) dz = 9 (right - 1) of the frame.
    const double left = frame->x[0], right = frame->x[1];
    const double pixelsPerUnit = (right - left - 2) / 9.0;
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(curve->x[size_t(i)], left + 1 + 3 * i * pixelsPerUnit, 1.5) << "point " << i;

    // y: the shape of the absorption over the stored slices, from curves.csv.
    std::istringstream csv(Slurp(out / "curves.csv"));
    std::string line;
    std::getline(csv, line);
    std::vector<double> absorption;
    while (std::getline(csv, line)) {
        std::istringstream fields(line);
        std::string z, intensity, a;
        std::getline(fields, z, ',');
        std::getline(fields, intensity, ',');
        std::getline(fields, a, ',');
        absorption.push_back(std::stod(a));
    }
    ASSERT_EQ(absorption.size(), 4u);
    const double aMax = *std::max_element(absorption.begin(), absorption.end());
    ASSERT_GT(aMax, 0);
    EXPECT_EQ(absorption[0], 0);
    const double y0 = curve->y[0]; // absorption 0 lies on the axis' low end
    const double yMax = *std::min_element(curve->y.begin(), curve->y.end());
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR((y0 - curve->y[size_t(i)]) / (y0 - yMax), absorption[size_t(i)] / aMax, 0.03) << "point " << i;
}

TEST_F(KsnPictures, SceneDrawsItsCutsAndOptionsAreChecked)
{
    const fs::path out = myDir / "scene";
    ASSERT_EQ(Shell(Ksn() + " scene " + myIni + " -o " + out.string() + " --palette 0 --zoom 4 >/dev/null"), 0);
    QImage xz(QString::fromStdString((out / "n_xz.png").string()));
    ASSERT_FALSE(xz.isNull());
    // Palette 0 is grey: the glass is white, the air black, both in the map.
    bool white = false, black = false;
    for (int y = 0; y < xz.height(); ++y)
        for (int x = 0; x < xz.width(); ++x) {
            white = white || xz.pixelColor(x, y) == QColor(255, 255, 255);
            black = black || xz.pixelColor(x, y) == QColor(0, 0, 0);
        }
    EXPECT_TRUE(white && black);
    EXPECT_TRUE(fs::is_regular_file(out / "n_yz.png"));
    EXPECT_TRUE(fs::is_regular_file(out / "n_xy.png"));

    EXPECT_EQ(Shell(Ksn() + " run " + myIni + " -o " + (myDir / "bad").string() + " --palette 10 2>/dev/null"), 2);
    EXPECT_EQ(Shell(Ksn() + " run " + myIni + " -o " + (myDir / "bad").string() + " --zoom 0 2>/dev/null"), 2);
    EXPECT_EQ(Shell(Ksn() + " scene " + myIni + " -o " + (myDir / "bad").string() + " --zoom x 2>/dev/null"), 2);
}

} // namespace
} // namespace ksn::test
