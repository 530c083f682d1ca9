// Pictures of ksn: the z-plots of a run through the x-y graph, and cuts through the
// intensity and the index through the false-colour diagram. Both models record a
// vector picture; the graphs are saved as WMF, SVG and PNG, the maps as PNG (SVG when
// the program is built without the Qt painter).
#include "RunPictures.h"

#include "config/Messages.h"
#include "control/SimulationDriver.h"
#include "control/VariationSeries.h"
#include "display/NumberFormat.h"
#include "config/MemoryBudget.h"
#include "display/SvgWriter.h"
#include "display/VellDiagram.h"
#include "display/VellGrafX.h"
#include "display/WmfWriter.h"
#ifdef KSN_WITH_RENDER
#include "render/PictureRender.h"
#endif

#include <algorithm>
#include <utility>
#include <cmath>
#include <cstdint>
#include <functional>

namespace ksn::cli {

namespace {

namespace fs = std::filesystem;
using vellgrafx::TVellGrafX;

const TFontSpec kGraphFont{"Times New Roman", 14, false, true, kBlack};
const TFontSpec kGraphTitleFont{"Times New Roman", 16, true, true, kBlack};

const char* UnitText(TScale scale)
{
    switch (scale) {
    case TScale::mm:
        return "mm";
    case TScale::um:
        return "\xC2\xB5m"; // µm
    case TScale::nm:
        return "nm";
    default:
        return "m";
    }
}

// The number of decimals that shows multiples of `step` exactly (at most four).
int StepDecimals(double step)
{
    for (int d = 0; d <= 4; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * scaled)
            return d;
    }
    return -1;
}

// `preferred` (a fixed-point format with `decimals` decimals) when it tells the ticks of
// `step` apart, else a fixed-point format that does, else three significant digits.
std::string LabelFormat(double step, const std::string& preferred = "", int decimals = 0)
{
    const int needed = StepDecimals(step);
    if (!preferred.empty() && needed >= 0 && needed <= decimals)
        return preferred;
    if (needed < 0 || std::fabs(step) >= 1e5)
        return "%.3g";
    return "%." + std::to_string(needed) + "f";
}

// Colour-bar labels, a quarter of the range apart: fixed point with at least two
// decimals and as many as tell them apart, or significant digits for large numbers and
// fine steps.
std::string BarFormat(double minValue, double maxValue)
{
    const double step = (maxValue - minValue) / 4;
    const double largest = std::max(std::fabs(minValue), std::fabs(maxValue));
    if (!(step > 0) || !std::isfinite(step))
        return "%.2f";
    const int decimals = std::max(2, int(std::ceil(-std::log10(step) - 1e-9)));
    if (decimals <= 5 && largest < 1e5)
        return "%." + std::to_string(decimals) + "f";
    const int digits = std::clamp(int(std::ceil(std::log10(largest / step))) + 1, 3, 10);
    return "%." + std::to_string(digits) + "g";
}

// The PNG file of a picture; empty without the Qt painter or when it cannot be encoded.
std::string PngBytes(const TPicture& picture)
{
#ifdef KSN_WITH_RENDER
    render::StartOffscreenApplication();
    return render::EncodePicturePng(picture);
#else
    (void)picture;
    return {};
#endif
}

#ifdef KSN_WITH_RENDER
constexpr bool kPng = true;
#else
constexpr bool kPng = false;
#endif

bool Written(TOutputFolder& out, bool ok)
{
    if (!ok)
        ShowMessage(out.Error());
    return ok;
}

bool WritePicture(TOutputFolder& out, const std::string& name, const std::string& bytes)
{
    if (bytes.empty()) {
        ShowMessage("Cannot write picture " + (out.Path() / name).string() + ": it could not be encoded.");
        return false;
    }
    return Written(out, out.WriteBytes(name, bytes));
}

// A map: columns x rows values, index column + row * columns, row 0 at the bottom.
struct TMap {
    std::string title;
    std::string xCaption, yCaption;
    int columns = 0, rows = 0;
    std::vector<double> values;
    double xLo = 0, xHi = 1, yLo = 0, yHi = 1;
};

bool WriteMap(const TMap& map, TOutputFolder& out, const std::string& baseName, const TPictureOptions& options)
{
    if (map.columns < 1 || map.rows < 1 || map.columns > 65535 || map.rows > 65535)
        return true; // nothing to show
    TVellDiagram diagram;
    diagram.SetBgColor(kWhite);
    diagram.SetBmpSize(std::uint16_t(map.columns), std::uint16_t(map.rows));
    const int shorter = std::min(map.columns, map.rows), longer = std::max(map.columns, map.rows);
    int zoom = options.zoom > 0 ? options.zoom : std::clamp((240 + shorter - 1) / shorter, 1, std::max(1, 640 / longer));
    // A picture wider than 16384 pixels helps nobody and may not fit in memory.
    zoom = std::min(zoom, std::max(1, 16384 / longer));
    diagram.SetZoom(std::uint16_t(zoom));
    diagram.XAxis().SetLimits(map.xLo, map.xHi);
    diagram.YAxis().SetLimits(map.yLo, map.yHi);
    diagram.XAxis().SetMinDivision(4);
    diagram.YAxis().SetMinDivision(4);
    diagram.XAxis().SetNumberFmt(LabelFormat(diagram.XAxis().Ticks().major));
    diagram.YAxis().SetNumberFmt(LabelFormat(diagram.YAxis().Ticks().major));
    diagram.XAxis().SetCaption(map.xCaption);
    diagram.YAxis().SetCaption(map.yCaption);
    diagram.SetPalette(options.palette);
    diagram.SetWithBar(true);
    diagram.SetTitle(map.title);
    diagram.SetData(map.values);
    diagram.SetBarFormat(BarFormat(diagram.GetMinValue(), diagram.GetMaxValue()));
    diagram.FitLayout();
    const TPicture picture = diagram.Draw();
    if (kPng)
        return WritePicture(out, baseName + ".png", PngBytes(picture));
    return WritePicture(out, baseName + ".svg", PictureToSvg(picture));
}

// x-z and y-z cuts: one column per sampled slice along z, one row per sampled transverse
// point with x = (i - n/2) * d, so the vertical axis runs from -n*d/2 to n*d/2.
TMap ZCut(const std::string& title, const std::string& unit, char across, int columns, double zExtent, int n,
    int rows, double d)
{
    TMap m;
    m.title = title;
    m.xCaption = "z [" + unit + "]";
    m.yCaption = std::string(1, across) + " [" + unit + "]";
    m.columns = columns;
    m.rows = rows;
    m.values.assign(size_t(columns) * size_t(rows), 0.0);
    m.xLo = 0;
    m.xHi = zExtent;
    m.yLo = -n * d / 2;
    m.yHi = n * d / 2;
    return m;
}

TMap XYCut(const std::string& title, const std::string& unit, const TGridParms& g, int columns, int rows)
{
    TMap m;
    m.title = title;
    m.xCaption = "x [" + unit + "]";
    m.yCaption = "y [" + unit + "]";
    m.columns = columns;
    m.rows = rows;
    m.values.assign(size_t(columns) * size_t(rows), 0.0);
    m.xLo = -g.nx * g.dx / 2;
    m.xHi = g.nx * g.dx / 2;
    m.yLo = -g.ny * g.dy / 2;
    m.yHi = g.ny * g.dy / 2;
    return m;
}

// One curve of the x-y graph: its points, the x range, the main window's title and
// captions; the x labels in `xFormat` (with `xDecimals` decimals) when that tells the
// ticks apart.
struct TCurve {
    double xLo = 0, xHi = 1;
    std::string title, xCaption, yCaption, xFormat;
    int xDecimals = 1;
    std::vector<double> x{}, y{};
};

// The y axis from 0 (or the smallest value, when negative) to just above the largest
// value.
bool WriteGraph(const TCurve& curve, TOutputFolder& out, const std::string& base)
{
    TVellGrafX graph;
    graph.SetMessageHandler([](const std::string& text) { ShowMessage(text); });
    graph.SetSize(640, 400);
    graph.SetFont(kGraphFont);
    graph.BackGnd().SetTitleFont(kGraphTitleFont);
    graph.BackGnd().SetRange(vellgrafx::TBackgndRange::bgAll);
    graph.BackGnd().SetColors(kWhite, kWhite);
    graph.SetBackgroundTitle(curve.title);
    double lo = 0, hi = 0;
    bool first = true;
    for (const double y : curve.y)
        if (std::isfinite(y)) {
            hi = first ? y : std::max(hi, y);
            lo = std::min(lo, y);
            first = false;
        }
    graph.XAxis().SetLimits(curve.xLo, curve.xHi);
    // Up to the first major tick above the largest value, so that a flat curve does not
    // vanish in the frame.
    graph.YAxis().SetLimits(std::min(lo, hi), hi);
    const double step = graph.YAxis().Ticks().major;
    if (step > 0 && hi > lo)
        graph.YAxis().SetLimits(lo, (std::floor(hi / step + 1e-9) + 1) * step);
    graph.XAxis().SetAxisFormat(LabelFormat(graph.XAxis().Ticks().major, curve.xFormat, curve.xDecimals));
    graph.YAxis().SetAxisFormat(LabelFormat(graph.YAxis().Ticks().major, "%.2f", 2));
    graph.XAxis().SetCaption(curve.xCaption);
    graph.YAxis().SetCaption(curve.yCaption);
    graph.XAxis().SetGrid(vellgrafx::TGridStyle::gsDotted);
    graph.YAxis().SetGrid(vellgrafx::TGridStyle::gsDotted);
    graph.Plot().SetCount(int(curve.x.size()));
    for (size_t i = 0; i < curve.x.size(); ++i) {
        graph.Plot().SetX(int(i), curve.x[i]);
        graph.Plot().SetY(int(i), curve.y[i]);
    }
    graph.FitLayout();
    graph.DrawBackground();
    graph.ClearForeground();
    graph.DrawPlot();
    const TPicture picture = graph.Compose();
    const std::vector<std::uint8_t> wmf = PictureToWmf(picture);
    bool ok = WritePicture(out, base + ".wmf", std::string(wmf.begin(), wmf.end()));
    ok = WritePicture(out, base + ".svg", PictureToSvg(picture)) && ok;
    if (kPng)
        ok = WritePicture(out, base + ".png", PngBytes(picture)) && ok;
    return ok;
}

// One z-plot: title, captions and formats of the main window's graphs; the x axis from
// 0 to (nz-1)*dz.
bool WriteZPlot(const std::vector<TZCurvePoint>& points, double zEnd, const std::string& title,
    const std::string& yCaption, const std::string& xFormat, double TZCurvePoint::*quantity, TOutputFolder& out,
    const std::string& base)
{
    TCurve curve{.xLo = 0, .xHi = zEnd, .title = title, .xCaption = "Z", .yCaption = yCaption, .xFormat = xFormat,
        .xDecimals = xFormat == "%.2f" ? 2 : 1};
    for (const TZCurvePoint& p : points) {
        curve.x.push_back(p.z);
        curve.y.push_back(p.*quantity);
    }
    return WriteGraph(curve, out, base);
}

// A graph over the variation index: the points of the runs done.
bool WriteSeriesGraph(const TSeriesGraph& g, TOutputFolder& out, const std::string& base)
{
    TCurve curve{.xLo = g.xLo, .xHi = g.xHi, .title = g.title, .xCaption = g.xCaption, .yCaption = g.yCaption,
        .xFormat = g.xFormat, .xDecimals = 0};
    for (size_t i = 0; i < g.y.size(); ++i)
        if (i < g.entered.size() && g.entered[i]) {
            curve.x.push_back(g.x[i]);
            curve.y.push_back(g.y[i]);
        }
    return WriteGraph(curve, out, base);
}

// The caption of a 2-D axis: the varied parameter's column name (the part the axis runs
// over for a complex one) and its unit.
std::string AxisCaption(const TVariationSeries& series, const TConfiguration& config, int section, bool usesRe)
{
    std::string name;
    for (const TSeriesColumn& c : series.Columns())
        if (c.section == section && (c.part == 0 || c.part == (usesRe ? 1 : 2)))
            name = c.name;
    if (name.empty() || section < 0 || size_t(section) >= config.parms.size())
        return name;
    const TParmsVariation& v = config.parms[size_t(section)];
    const bool wave = config.parmTypes[size_t(section)] == TParmsType::wave;
    const std::string unit = UnitText(config.global.scale);
    if (wave && (v.parm == TParms::lambda || v.parm == TParms::sigmaX || v.parm == TParms::sigmaY))
        return name + " [" + unit + "]";
    if (wave && v.parm >= TParms::theta && v.parm <= TParms::delta && v.num >= 0 && size_t(v.num) < config.waves.size())
        return name + (config.waves[size_t(v.num)].angular == TAngular::deg ? " [deg]" : " [rad]");
    if (!wave && v.parm <= TParms::height && v.parm != TParms::gradientX && v.parm != TParms::gradientY)
        return name + " [" + unit + "]";
    return name;
}

// One axis of a 2-D map ascending: a negative increment turns the columns (rows) round.
void Ascending(double& lo, double& hi, bool& reversed)
{
    reversed = hi < lo;
    if (reversed)
        std::swap(lo, hi);
}

} // namespace

std::vector<int> MapSamples(int n)
{
    std::vector<int> samples;
    if (n < 1)
        return samples;
    const int count = std::min(n, kMaxMapSide);
    samples.reserve(size_t(count));
    for (int c = 0; c < count; ++c)
        samples.push_back(count == 1 ? 0 : int((std::int64_t(c) * (n - 1)) / (count - 1)));
    return samples;
}

int ParsePictureOption(TArgReader& args, const std::string& option, TPictureOptions& options)
{
    if (option == "--no-plots") {
        options.plots = false;
        return 1;
    }
    if (option == "--palette")
        return args.Integer(option, 0, kPaletteCount - 1, options.palette) ? 1 : -1;
    if (option == "--zoom")
        return args.Integer(option, 1, 64, options.zoom) ? 1 : -1;
    return 0;
}

bool WriteRunPictures(TSimulationDriver& driver, TOutputFolder& out, const std::string& configFile,
    const TPictureOptions& options, const std::string& prefix)
{
    if (!options.plots)
        return true;
    const TConfiguration& config = driver.Configuration();
    const TGridParms& g = config.grid;
    const std::string unit = UnitText(config.global.scale);
    const std::string stem = fs::path(configFile).stem().string();

    // The z-plots: stored entry i at z = (slice of entry i) * dz.
    const std::vector<TZCurvePoint> curves = driver.ZCurves();
    const double zEnd = (g.nz - 1) * g.dz;
    bool ok = WriteZPlot(curves, zEnd, "Irradiance over propagation dist.", "Irradiance [%]", "%.1f",
        &TZCurvePoint::intensity, out, prefix + stem + "_inty");
    ok = WriteZPlot(curves, zEnd, "Absorption over propagation dist.", "Absorption [%]", "%.1f",
             &TZCurvePoint::absorption, out, prefix + stem + "_absn") && ok;
    ok = WriteZPlot(curves, zEnd, "Energy flux over propagation dist.", "Energy Flux [%]", "%.2f",
             &TZCurvePoint::energyFlux, out, prefix + stem + "_eflx") && ok;

    // Intensity cuts through the (sampled) stored slices; each column spans `modulus`
    // slices or more.
    const auto& store = driver.ForwardStore();
    const int stored = int(store.size());
    if (stored < 1 || g.nx < 1 || g.ny < 1)
        return ok;
    const std::vector<int> entries = MapSamples(stored), xs = MapSamples(g.nx), ys = MapSamples(g.ny);
    const int columns = int(entries.size()), nxs = int(xs.size()), nys = int(ys.size());
    const double zExtent = double(stored) * driver.StoreModulus() * g.dz;
    const int row = g.ny / 2, column = g.nx / 2;
    TMap xz = ZCut("Intensity, x-z cut at y = 0", unit, 'x', columns, zExtent, g.nx, nxs, g.dx);
    TMap yz = ZCut("Intensity, y-z cut at x = 0", unit, 'y', columns, zExtent, g.ny, nys, g.dy);
    TMap xy;
    for (int c = 0; c < columns; ++c) {
        TField* f = store[size_t(entries[size_t(c)])].get();
        if (!f)
            continue;
        const TRealArray& intensity = f->IntensityMap();
        for (int i = 0; i < nxs; ++i)
            xz.values[size_t(c) + size_t(i) * size_t(columns)] = intensity.At(xs[size_t(i)], row);
        for (int i = 0; i < nys; ++i)
            yz.values[size_t(c) + size_t(i) * size_t(columns)] = intensity.At(column, ys[size_t(i)]);
        if (c == columns - 1) {
            const double z = double(entries[size_t(c)]) * driver.StoreModulus() * g.dz;
            xy = XYCut("Intensity, x-y cut at z = " + FormatNumber(LabelFormat(g.dz), z) + " " + unit, unit, g, nxs,
                nys);
            for (int iy = 0; iy < nys; ++iy)
                for (int ix = 0; ix < nxs; ++ix)
                    xy.values[size_t(ix) + size_t(iy) * size_t(nxs)] = intensity.At(xs[size_t(ix)], ys[size_t(iy)]);
        }
    }
    ok = WriteMap(xz, out, prefix + "maps/intensity_xz", options) && ok;
    ok = WriteMap(yz, out, prefix + "maps/intensity_yz", options) && ok;
    ok = WriteMap(xy, out, prefix + "maps/intensity_xy", options) && ok;

    // The real index along the centre row over the sampled levels, asked as the run
    // loop asks.
    TBrelScenes* scene = driver.Scene();
    if (scene && g.nz >= 1) {
        const std::vector<int> levels = MapSamples(g.nz);
        const int count = int(levels.size());
        TMap index = ZCut("Real index n, x-z cut at y = 0", unit, 'x', count, g.nz * g.dz, g.nx, nxs, g.dx);
        for (int c = 0; c < count; ++c) {
            const int iz = levels[size_t(c)];
            scene->GetLevelReport(iz);
            scene->GetLevelMeanN(iz);
            scene->IsHomogLevel(iz);
            const TComplexArray* slice = scene->GetLevel(iz);
            if (!slice || slice->Nx() != g.nx || slice->Ny() != g.ny)
                continue;
            for (int i = 0; i < nxs; ++i)
                index.values[size_t(c) + size_t(i) * size_t(count)] = slice->At(xs[size_t(i)], row).re;
        }
        ok = WriteMap(index, out, prefix + "maps/index_xz", options) && ok;
    }
    return ok;
}

bool WriteScenePictures(const TConfiguration& config, const TIndexCuts& cuts, TOutputFolder& out,
    const TPictureOptions& options)
{
    if (!options.plots)
        return true;
    const TGridParms& g = config.grid;
    const std::string unit = UnitText(config.global.scale);
    const int columns = int(cuts.columns.size());
    const int nxs = int(MapSamples(g.nx).size()), nys = int(MapSamples(g.ny).size());
    if (cuts.xz.size() != size_t(columns) * size_t(nxs) || cuts.yz.size() != size_t(columns) * size_t(nys))
        return true; // nothing to show
    TMap xz = ZCut("Real index n, x-z cut at y = 0", unit, 'x', columns, cuts.levels * g.dz, g.nx, nxs, g.dx);
    TMap yz = ZCut("Real index n, y-z cut at x = 0", unit, 'y', columns, cuts.levels * g.dz, g.ny, nys, g.dy);
    // The cuts come column by column (cut[c * n + i]); the maps want z across.
    for (int c = 0; c < columns; ++c) {
        for (int i = 0; i < nxs; ++i)
            xz.values[size_t(c) + size_t(i) * size_t(columns)] = cuts.xz[size_t(c) * size_t(nxs) + size_t(i)];
        for (int i = 0; i < nys; ++i)
            yz.values[size_t(c) + size_t(i) * size_t(columns)] = cuts.yz[size_t(c) * size_t(nys) + size_t(i)];
    }
    TMap xy = XYCut("Real index n, x-y cut at z = " + FormatNumber(LabelFormat(g.dz), cuts.xyLevel * g.dz) + " " + unit,
        unit, g, nxs, nys);
    if (cuts.xy.size() == xy.values.size())
        xy.values = cuts.xy;
    bool ok = WriteMap(xz, out, "n_xz", options);
    ok = WriteMap(yz, out, "n_yz", options) && ok;
    ok = WriteMap(xy, out, "n_xy", options) && ok;
    return ok;
}

bool WriteSeriesPictures(const TVariationSeries& series, const TConfiguration& config, TOutputFolder& out,
    const std::string& configFile, const TPictureOptions& options)
{
    if (!options.plots || series.RunsDone() == 0)
        return true;
    const std::string stem = fs::path(configFile).stem().string();
    bool ok = WriteSeriesGraph(series.IntensityGraph(), out, stem + "_inty");
    ok = WriteSeriesGraph(series.AbsorptionGraph(), out, stem + "_absn") && ok;
    ok = WriteSeriesGraph(series.EnergyFluxGraph(), out, stem + "_eflx") && ok;

    const TSeriesMaps& maps = series.Maps();
    if (!maps.on)
        return ok;
    TMap base;
    base.columns = maps.nX;
    base.rows = maps.nY;
    base.xLo = maps.xLo;
    base.xHi = maps.xHi;
    base.yLo = maps.yLo;
    base.yHi = maps.yHi;
    bool xReversed = false, yReversed = false;
    Ascending(base.xLo, base.xHi, xReversed);
    Ascending(base.yLo, base.yHi, yReversed);
    base.xCaption = AxisCaption(series, config, maps.xSection, maps.xUsesRe);
    base.yCaption = AxisCaption(series, config, maps.ySection, maps.yUsesRe);
    const std::pair<const TRealArray*, const char*> quantities[] = {{&maps.intensity, "intensity"},
        {&maps.absorption, "absorption"}, {&maps.energyFlux, "energy_flux"}};
    const char* titles[] = {"Irradiance over the parameter variation", "Absorption over the parameter variation",
        "Energy-flux change over the parameter variation"};
    for (size_t q = 0; q < 3; ++q) {
        TMap map = base;
        map.title = titles[q];
        map.values.assign(size_t(maps.nX) * size_t(maps.nY), 0.0);
        // Cells no run reached show the lowest value entered.
        double lowest = 0;
        bool any = false;
        for (size_t i = 0; i < maps.entered.size(); ++i)
            if (maps.entered[i]) {
                const double v = quantities[q].first->Data()[i];
                lowest = any ? std::min(lowest, v) : v;
                any = true;
            }
        for (int r = 0; r < maps.nY; ++r)
            for (int c = 0; c < maps.nX; ++c) {
                const size_t from = size_t(c) + size_t(r) * size_t(maps.nX);
                const int tc = xReversed ? maps.nX - 1 - c : c, tr = yReversed ? maps.nY - 1 - r : r;
                map.values[size_t(tc) + size_t(tr) * size_t(maps.nX)] =
                    maps.entered[from] ? quantities[q].first->Data()[from] : lowest;
            }
        ok = WriteMap(map, out, std::string("map2d_") + quantities[q].second, options) && ok;
    }
    return ok;
}

} // namespace ksn::cli
