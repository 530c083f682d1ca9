// What a series keeps of each run: the three reductions of the stored slices, the three
// curves over the variation index and the maps of the two-parameter analysis.
#include "control/VariationSeries.h"

#include "config/Messages.h"
#include "control/SimulationDriver.h"

#include <algorithm>

namespace ksn {

// Over the forward store (entry k holds slice z = k*m, reported when z's layer reports):
//   intensity          = sum over reported entries of the total intensity,
//   absorption         = sum over all entries of the total absorption,
//   energy-flux change = (F_in - F_out) / F_0,
// F_0 the total energy flux of entry 0 (1 when it is 0), F_in that of the last entry
// k >= 1 that reports after one that does not (the flux entering the reported region),
// F_out that of the last entry k >= 1 that does not report after one that does (the
// flux leaving it); either is 0 when there is no such entry. For an absorbing reported
// region the change is the fraction of the entering power that stayed there.
TRunReduction ReduceRun(TSimulationDriver& driver)
{
    TRunReduction r;
    const std::vector<TFieldRef>& store = driver.ForwardStore();
    TBrelScenes* scene = driver.Scene();
    if (store.empty() || !scene)
        return r;
    const int m = driver.StoreModulus();
    const auto reported = [&](size_t k) { return scene->GetLevelReport(int(k) * m); };
    const auto flux = [&](size_t k) { return store[k] ? store[k]->GetEnergyFlux() : 0.0; };
    for (size_t k = 0; k < store.size(); ++k) {
        if (!store[k])
            continue;
        if (reported(k))
            r.intensity += store[k]->GetIntensity();
        r.absorption += store[k]->GetAbsorption();
    }
    double f0 = flux(0);
    if (f0 == 0)
        f0 = 1;
    double fIn = 0, fOut = 0;
    bool before = reported(0);
    for (size_t k = 1; k < store.size(); ++k) {
        const bool now = reported(k);
        if (now && !before)
            fIn = flux(k);
        if (before && !now)
            fOut = flux(k);
        before = now;
    }
    r.energyFluxChange = (fIn - fOut) / f0;
    return r;
}

// ---------------------------------------------------------------------------------------
// The three curves over the variation index

void TVariationSeries::PrepareGraphs(int total)
{
    struct TCaptions {
        TSeriesGraph* graph;
        const char* title;
        const char* yCaption;
    };
    for (const TCaptions& c : {TCaptions{&myIntensityGraph, "Irradiance over index of parameter variation", "Irradiance [%]"},
             TCaptions{&myAbsorptionGraph, "Absorption over index of parameter variation", "Absorption [%]"},
             TCaptions{&myEnergyFluxGraph, "Energy flux over index of parameter variation", "Energy flux [%]"}}) {
        TSeriesGraph& g = *c.graph;
        g = TSeriesGraph{};
        g.title = c.title;
        g.xCaption = "Index of parameter variation [-]";
        g.yCaption = c.yCaption;
        g.xFormat = "%.0f";
        g.yFormat = myNumberFormat;
        g.xLo = 0;
        g.xHi = total;
        g.x.resize(size_t(total));
        for (int i = 0; i < total; ++i)
            g.x[size_t(i)] = i;
        g.y.assign(size_t(total), 0.0);
        g.entered.assign(size_t(total), 0);
    }
}

bool TVariationSeries::EnterPoint(
    TSeriesGraph& graph, const char* name, int j, int maxVariation, double value, bool floorAtZero)
{
    if (j < 0 || j >= maxVariation) {
        ShowMessage(std::string("Error in procedure TForm1.") + name +
                    "(const j, maxVariation : Integer). Index out of range.");
        return false;
    }
    // The point count follows maxVariation; points already entered keep their values.
    const size_t count = size_t(maxVariation);
    if (graph.y.size() != count) {
        const size_t old = graph.x.size();
        graph.x.resize(count);
        for (size_t i = old; i < count; ++i)
            graph.x[i] = double(i);
        graph.y.resize(count, 0.0);
        graph.entered.resize(count, 0);
        graph.xHi = maxVariation;
    }
    graph.y[size_t(j)] = value;
    graph.entered[size_t(j)] = 1;
    const auto first = graph.y.begin(), last = graph.y.begin() + j + 1;
    graph.yHi = *std::max_element(first, last);
    if (floorAtZero)
        graph.yHi = std::max(graph.yHi, 0.0);
    graph.yLo = std::min(0.0, *std::min_element(first, last));
    graph.yFormat = myNumberFormat;
    return true;
}

void TVariationSeries::drawParmVarIntensity(int j, int maxVariation)
{
    const double value = j >= 0 && j < maxVariation ? ReduceRun(myDriver).intensity : 0.0;
    EnterPoint(myIntensityGraph, "drawParmVarIntensity", j, maxVariation, value, false);
}

void TVariationSeries::drawParmVarAbsorption(int j, int maxVariation)
{
    const double value = j >= 0 && j < maxVariation ? ReduceRun(myDriver).absorption : 0.0;
    if (EnterPoint(myAbsorptionGraph, "drawParmVarAbsorption", j, maxVariation, value, true))
        myLastAbsorptionSum = value;
}

void TVariationSeries::drawParmVarEnergyFlux(int j, int maxVariation)
{
    const double value = j >= 0 && j < maxVariation ? ReduceRun(myDriver).energyFluxChange : 0.0;
    EnterPoint(myEnergyFluxGraph, "drawParmVarEnergyFlux", j, maxVariation, value, true);
}

// ---------------------------------------------------------------------------------------
// The two-parameter analysis

namespace {

// An axis over the varied value: the real part when it has an increment, else the
// imaginary part; cell k of n shows first + k*delta, so the axis spans first ... first +
// n*delta. Without any increment the axis keeps its range (false).
bool VariationAxis(const TParmsVariation& v, int n, bool& usesRe, double& lo, double& hi)
{
    if (v.delta.re != 0) {
        usesRe = true;
        lo = v.first.re;
        hi = v.first.re + v.delta.re * n;
        return true;
    }
    if (v.delta.im != 0) {
        usesRe = false;
        lo = v.first.im;
        hi = v.first.im + v.delta.im * n;
        return true;
    }
    return false;
}

// Cells beyond this are no analysis anybody can look at (and might not fit in memory).
constexpr long long kMaxMapCells = 1 << 24;

} // namespace

void TVariationSeries::SetUp2D()
{
    myMaps.on = false;
    myMaps.xSection = myXSection;
    myMaps.ySection = myYSection;
    if (myXSection < 0 || myYSection < 0)
        return;
    const TConfiguration& config = myDriver.Configuration();
    myMaps.xVariation = config.parms[size_t(myXSection)];
    myMaps.yVariation = config.parms[size_t(myYSection)];
    // A wheel of s < 1 steps still takes its first value.
    const int nX = std::max(1, myMaps.xVariation.steps);
    const int nY = std::max(1, myMaps.yVariation.steps);
    if ((long long)nX * nY > kMaxMapCells) {
        ShowMessage("Cannot set up the 2D plot of " + std::to_string(nX) + " x " + std::to_string(nY) +
                    " parameter values. The analysis stays off.");
        return;
    }
    myMaps.nX = nX;
    myMaps.nY = nY;
    for (TRealArray* map : {&myMaps.intensity, &myMaps.absorption, &myMaps.energyFlux}) {
        *map = TRealArray(nX, nY);
        map->Fill(0.0);
    }
    myMaps.entered.assign(size_t(nX) * size_t(nY), 0);
    if (!VariationAxis(myMaps.xVariation, nX, myMaps.xUsesRe, myMaps.xLo, myMaps.xHi))
        ShowMessage("Cannot generate axis for 2D plot. No increment found for [parm0].");
    if (!VariationAxis(myMaps.yVariation, nY, myMaps.yUsesRe, myMaps.yLo, myMaps.yHi))
        ShowMessage("Cannot generate axis for 2D plot. No increment found for [parm1].");
    myMaps.numberFormat = myNumberFormat;
    myMaps.on = true;
}

// The run enters the cell of its x and y wheel positions. With further active
// variations only the runs at their first values enter, so that every cell shows the
// x and y values its axes say; a single variation on both axes fills the diagonal.
void TVariationSeries::EnterMaps(const TRunReduction& r)
{
    if (!myMaps.on)
        return;
    const TField* field = myDriver.IncidentField();
    const TBrelScenes* scene = myDriver.Scene();
    const TConfiguration& config = myDriver.Configuration();
    const auto odometer = [&](int section) -> const TVariationOdometer& {
        return config.parmTypes[size_t(section)] == TParmsType::wave ? field->VariationOdometer()
                                                                      : scene->VariationOdometer();
    };
    const TVariationOdometer& xSide = odometer(myXSection);
    const TVariationOdometer& ySide = odometer(myYSection);
    const int xAt = PositionOf(myXSection), yAt = PositionOf(myYSection);
    if (xAt < 0 || yAt < 0)
        return;
    for (const TVariationOdometer* side : {&field->VariationOdometer(), &scene->VariationOdometer()})
        for (int i = 0; i < side->Size(); ++i) {
            const bool axis = (side == &xSide && i == xAt) || (side == &ySide && i == yAt);
            if (!axis && TVariationOdometer::IsActive(side->Entry(i)) && side->Position(i) != 0)
                return;
        }
    const int column = xSide.Position(xAt), row = ySide.Position(yAt);
    if (column >= myMaps.nX || row >= myMaps.nY)
        return;
    myMaps.intensity.At(column, row) = r.intensity;
    myMaps.absorption.At(column, row) = r.absorption;
    myMaps.energyFlux.At(column, row) = r.energyFluxChange;
    myMaps.entered[size_t(column) + size_t(row) * size_t(myMaps.nX)] = 1;
}

} // namespace ksn
