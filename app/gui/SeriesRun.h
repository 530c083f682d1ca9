#pragma once
// The window side of a parameter-variation series: the "X-Parm"/"Y-Parm" choices, the
// start of the series on the run thread, and the graphs and 2-D maps it leaves.
#include <QString>

#include <memory>
#include <string>

namespace ksn {
class TSimulationDriver;
}

namespace ksn::gui {

class TAnalysisPanel;

class TSeriesRun {
public:
    explicit TSeriesRun(TSimulationDriver& driver);
    ~TSeriesRun();

    // Whether this build runs series.
    static bool Available();
    // A load has started the variations afresh.
    void Loaded();
    // "X-Parm" (x) or "Y-Parm": item `index` reading "parm<N> [wav]" or "parm<N> [lay]";
    // false when the variation could not be chosen.
    bool Choose(bool x, int index, const QString& item);
    // Window thread, before Start.
    void Prepare(bool saveIniFiles, const std::string& numberFormat);
    // Run thread: the whole series.
    bool Start();
    bool WasStopped() const;
    // Window thread, after Start: graphs and maps into the analysis area.
    void Finished(TAnalysisPanel& analysis);
    void LogSummary() const;

private:
    struct TImpl;
    TSimulationDriver& myDriver;
    std::unique_ptr<TImpl> myImpl;
};

} // namespace ksn::gui
