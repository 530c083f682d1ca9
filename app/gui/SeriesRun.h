#pragma once
// The window side of a parameter-variation series (TVariationSeries): the "X-Parm" and
// "Y-Parm" choices, the series on the run thread, and copies of its graphs and 2-D maps
// that the window draws while the series goes on and after it.
#include "AnalysisPanel.h"

#include "control/VariationSeries.h"

#include <QString>

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ksn {
class TSimulationDriver;
}

namespace ksn::gui {

// What the window draws of a series: the three curves' values and the maps, copied.
struct TSeriesSnapshot {
    int total = 0;
    std::array<std::vector<double>, 3> y; // irradiance, absorption, energy-flux change
    std::vector<char> entered;
    bool mapsOn = false;
    int nX = 0, nY = 0;
    std::array<std::vector<double>, 3> maps;
    TMapAxis xAxis, yAxis;
};

class TSeriesRun {
public:
    explicit TSeriesRun(TSimulationDriver& driver);

    // After a load: both choices start at the first variation ("Y-Parm" at the second
    // when there is one), as the selectors show.
    void Loaded(const QStringList& items);
    // "X-Parm" (x) or "Y-Parm": an item "parm<N> [wav]" or "parm<N> [lay]". False (after
    // the core's message) when the variation cannot be chosen.
    bool Choose(bool x, const QString& item);
    // Window thread, before Start.
    void Prepare(bool saveIniFiles, const std::string& numberFormat);
    // Run thread: the whole series (it logs "Simulation Finished." and its summary).
    bool Start();
    // Run thread, after each variation (the series holds that run's point): copies what
    // the window draws.
    void TakeSnapshot();
    bool WasStopped() const { return mySeries.WasStopped(); }
    // Window thread: the latest copy into the graphs and the diagrams.
    void Show(TAnalysisPanel& analysis);
    const TVariationSeries& Series() const { return mySeries; }

private:
    TVariationSeries mySeries;
    std::mutex myMutex;
    std::optional<TSeriesSnapshot> myLatest;
};

// "parm<N> …" -> N, or -1.
int SectionOf(const QString& item);

} // namespace ksn::gui
