#pragma once
// The Start button: one run, or with parmVariation the series over every combination of
// the varied wave and layer parameters. After each run of a series the stored slices are
// reduced to intensity, absorption and energy-flux change, entered as point j of three
// curves over the variation index and, for a two-parameter analysis, into three maps
// over the x and y variation; then the odometer advances (variation 0 fastest: its
// owner, field or scene, steps first and the other side each time it wraps).
//
// The series reports through the driver's observer: RunProgress(j, total) before run j,
// VariationDone(j, total) after its point is entered (the driver then still holds run
// j's slices, the scene and field its records). A stop request to the driver ends the
// run in progress after its step and the series with it; the runs done keep their points.
//
// Everything here runs on the thread that calls Start; read the results from
// VariationDone or after Start has returned.
#include "config/Records.h"
#include "numerics/RealArray.h"

#include <string>
#include <vector>

namespace ksn {

class TSimulationDriver;

// The three reductions of one run over the forward store. Entry k of the store holds
// slice k*modulus; its report flag is that slice's.
struct TRunReduction {
    double intensity = 0;        // total intensity of the reported stored slices
    double absorption = 0;       // total absorption of all stored slices
    double energyFluxChange = 0; // (F_in - F_out) / F_0
};
TRunReduction ReduceRun(TSimulationDriver& driver);

// One of the three curves over the variation index: point i at x = i.
struct TSeriesGraph {
    std::string title, xCaption, yCaption;
    std::string xFormat = "%.0f";
    std::string yFormat = "%.2f";
    double xLo = 0, xHi = 0;
    // yHi: the largest y entered so far (at least 0 for absorption and energy flux);
    // yLo: 0, or the smallest y when that is negative.
    double yLo = 0, yHi = 0;
    std::vector<double> x, y;
    std::vector<char> entered; // per point: whether a run has set it
};

// The two-parameter analysis: three nX x nY maps over the x and y variation.
struct TSeriesMaps {
    bool on = false;
    int xSection = -1, ySection = -1; // the [parm<N>] sections on the axes
    TParmsVariation xVariation, yVariation;
    int nX = 0, nY = 0;
    TRealArray intensity, absorption, energyFlux; // cell (column, row)
    std::vector<char> entered;                    // per cell, column + row*nX
    // The axes run over the real (or, without a real increment, the imaginary) part
    // of the varied value: cell k of nX shows first + k*delta, the axis spans
    // first ... first + nX*delta.
    bool xUsesRe = true, yUsesRe = true;
    double xLo = 0, xHi = 1, yLo = 0, yHi = 1;
    std::string numberFormat = "%.2f";
    std::string absorptionBarFormat = "%.5f";
};

// One active variation as a column of the series' table.
struct TSeriesColumn {
    std::string name; // "wave<num>.<parm>" or "layer<num>.<parm>" (+ ".re"/".im" when complex)
    int section = 0;
    TParmsType type = TParmsType::wave;
    int num = 0;
    TParms parm = TParms::unknown;
    int part = 0; // 0 real value, 1 real part, 2 imaginary part of a complex parameter
};

struct TSeriesRow {
    int run = 0;
    std::vector<double> values; // per column, the value the run used
    TRunReduction reduction;
};

class TVariationSeries {
public:
    explicit TVariationSeries(TSimulationDriver& driver);

    // "Save inifiles on parmvariation": parmvar<j>.txt into `folder` (empty: the working
    // directory) before run j.
    void SetSaveIniFiles(bool on, const std::string& folder = "");
    // The number format of the graphs' y axes and the maps' axes ("%.2f").
    void SetNumberFormat(const std::string& format);
    // Whether Start ends with the message box "Simulation Finished." (on by default; a
    // front end that shows the log line may turn it off).
    void SetFinishedMessage(bool on) { myFinishedMessage = on; }

    // "X-Parm" and "Y-Parm": make [parm<section>] the x (variation 0) or y (variation 1)
    // variation of its side, field or scene, which decides the odometer order and the
    // 2-D analysis. -1 chooses none and turns the analysis off. False, after the
    // message, for a section that names no usable variation. Call after each load (a
    // load starts the variations afresh and clears both choices).
    bool SetXParm(int section);
    bool SetYParm(int section);
    int XParm() const { return myXSection; }
    int YParm() const { return myYSection; }

    // Start: without parmVariation one run; with it the series. Returns false when the
    // run or the series is refused (the message has been shown); a series stopped on
    // request returns true with WasStopped(). Raises the run's EGeneralError.
    bool Start();

    // Point j of the three graphs from the run the driver holds; j outside
    // 0 ... maxVariation-1 shows the index message and changes nothing.
    void drawParmVarIntensity(int j, int maxVariation);
    void drawParmVarAbsorption(int j, int maxVariation);
    void drawParmVarEnergyFlux(int j, int maxVariation);

    int Total() const { return myTotal; }
    int RunsDone() const { return int(myRows.size()); }
    bool WasStopped() const { return myStopped; }
    // The run that a stop request interrupted inside (its point was not entered), or -1.
    int InterruptedRun() const { return myInterruptedRun; }
    double LastAbsorptionSum() const { return myLastAbsorptionSum; }
    const TSeriesGraph& IntensityGraph() const { return myIntensityGraph; }
    const TSeriesGraph& AbsorptionGraph() const { return myAbsorptionGraph; }
    const TSeriesGraph& EnergyFluxGraph() const { return myEnergyFluxGraph; }
    const TSeriesMaps& Maps() const { return myMaps; }
    const std::vector<TSeriesColumn>& Columns() const { return myColumns; }
    const std::vector<TSeriesRow>& Rows() const { return myRows; }

    // The text of parmvar<j>.txt for the records the scene and field hold now.
    std::string IniFileText(int j, int total) const;

private:
    bool RunSeries();
    bool Prepare();
    bool CheckVariations();
    void RegenerateField();
    void Advance();
    bool WriteIniFile(int j);
    void PrepareGraphs(int total);
    void SetUp2D();
    void EnterMaps(const TRunReduction& r);
    void MakeColumns();
    TSeriesRow CurrentRow(int j, const TRunReduction& r) const;
    void ApplyChoice(int section, int slot);
    // Kind of variation 0 (slot 0) or 1 (slot 1): the chosen section's type, or the
    // type of section 0 or 1 as loaded.
    int Kind(int slot) const;
    bool IsUsable(int section) const;
    int UsableCount() const;
    // Current position (entry index) of a section on its side after the choices' swaps.
    int PositionOf(int section) const;
    bool EnterPoint(TSeriesGraph& graph, const char* name, int j, int maxVariation, double value, bool floorAtZero);

    TSimulationDriver& myDriver;
    bool mySaveIniFiles = false;
    std::string myIniFolder;
    std::string myNumberFormat = "%.2f";
    bool myFinishedMessage = true;
    int myXSection = -1, myYSection = -1;

    int myTotal = 0;
    bool myStopped = false;
    int myInterruptedRun = -1;
    double myLastAbsorptionSum = 0;
    TSeriesGraph myIntensityGraph, myAbsorptionGraph, myEnergyFluxGraph;
    TSeriesMaps myMaps;
    std::vector<TSeriesColumn> myColumns;
    std::vector<TSeriesRow> myRows;
};

} // namespace ksn
