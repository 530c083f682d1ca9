#pragma once
// The analysis area: the log, the three x-y graphs (irradiance, absorption, energy
// flux) with "Draw", "Save" and "Copy", and the 2-D analysis of a parameter variation
// ("X-Parm", "Y-Parm", "2D-Plot", "Zoom", "Palette", "Format", "Save inifiles on
// parmvariation" and the diagram buttons). The radio buttons choose what the area
// shows: the log ("Status messages") or one quantity's graph, or its diagram while
// "2D-Plot" is checked.
#include "control/SimulationDriver.h"

#include <QWidget>

#include <array>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace ksn::gui {

class TGraphView;
class TDiagramView;

// The three quantities, in the order of the graphs and diagrams.
enum TQuantity { kIrradiance = 0, kAbsorption = 1, kEnergyFlux = 2 };

// The axes of the 2-D maps: the range of the varied value over nX (nY) steps.
struct TMapAxis {
    double lo = 0, hi = 1;
    bool valid = false;
    std::string caption;
};

class TAnalysisPanel : public QWidget {
    Q_OBJECT
public:
    explicit TAnalysisPanel(QWidget* parent = nullptr);

    void AppendLog(const QString& line);
    QPlainTextEdit* LogView() const { return myLog; }
    TGraphView* Graph(TQuantity q) const { return myGraphs[size_t(q)]; }
    TDiagramView* Diagram(TQuantity q) const { return myDiagrams[size_t(q)]; }
    QRadioButton* ShowButton(int i) const { return myShow[size_t(i)]; } // TQuantity, 3 = "Status messages"
    QPushButton* GraphDrawButton() const { return myGraphDraw; }
    QPushButton* GraphSaveButton() const { return myGraphSave; }
    QPushButton* GraphCopyButton() const { return myGraphCopy; }
    QPushButton* DiagramDrawButton() const { return myDiagramDraw; }
    QPushButton* DiagramSaveButton() const { return myDiagramSave; }
    QPushButton* DiagramCopyButton() const { return myDiagramCopy; }
    QComboBox* XParm() const { return myXParm; }
    QComboBox* YParm() const { return myYParm; }
    QCheckBox* Plot2D() const { return myPlot2D; }
    QCheckBox* SaveIniFiles() const { return mySaveIni; }
    QLineEdit* ZoomEdit() const { return myZoom; }
    QLineEdit* PaletteEdit() const { return myPalette; }
    QLineEdit* FormatEdit() const { return myFormat; }
    const std::string& NumberFormat() const { return myNumberFormat; }
    // The chosen quantity (-1 while the log is shown).
    int Chosen() const;
    void ShowQuantity(int i);

    // The z-plots after a single run, one point per stored slice.
    void ShowZCurves(const std::vector<TZCurvePoint>& points, const TGridParms& grid);
    // A series: the three graphs over the variation index, `total` points at x = i,
    // those entered so far with their values; each y axis reaches the largest value
    // entered (never below 0 for absorption and energy flux).
    void ShowSeries(int total, const std::array<std::vector<double>, 3>& y, const std::vector<char>& entered);
    // The three 2-D maps (nX x nY values each, index column + row * nX) with their axes.
    void ShowMaps(int nX, int nY, const std::array<std::vector<double>, 3>& maps, const TMapAxis& x, const TMapAxis& y);
    bool MapsOn() const { return myMapsOn; }
    // Titles and captions of the graphs (variation or z-plots), then repaints them.
    void DrawGraphs(bool variation);
    // <fileName>_absn, _inty, _eflx as .wmf, .svg and .png.
    bool SaveGraphs(const std::string& fileName);
    // <fileName>_absn_2d.png, _inty_2d.png, _eflx_2d.png.
    bool SaveDiagrams(const std::string& fileName);
    // Fills "X-Parm" and "Y-Parm" with "parm<N> [wav]" / "parm<N> [lay]".
    void SetParmItems(const QStringList& items);
    void SetVariationEnabled(bool on);

signals:
    void XParmChosen(int index);
    void YParmChosen(int index);

private:
    void ApplyDiagramSettings();
    void UpdateVisibility();

    QPlainTextEdit* myLog;
    QStackedWidget* myStack;
    std::array<TGraphView*, 3> myGraphs{};
    std::array<TDiagramView*, 3> myDiagrams{};
    std::array<QRadioButton*, 4> myShow{};
    QPushButton* myGraphDraw;
    QPushButton* myGraphSave;
    QPushButton* myGraphCopy;
    QPushButton* myDiagramDraw;
    QPushButton* myDiagramSave;
    QPushButton* myDiagramCopy;
    QComboBox* myXParm;
    QComboBox* myYParm;
    QCheckBox* myPlot2D;
    QCheckBox* mySaveIni;
    QLineEdit* myZoom;
    QLineEdit* myPalette;
    QLineEdit* myFormat;
    std::string myNumberFormat = "%.2f";
    int myZoomValue = 1;
    int myPaletteValue = 0;
    bool myMapsOn = false;
    bool mySeriesGraphs = false;
    std::vector<TZCurvePoint> myZPoints;
    double myZEnd = 0;
    std::array<std::vector<double>, 3> myMaps;
    int myNX = 0, myNY = 0;
};

} // namespace ksn::gui
