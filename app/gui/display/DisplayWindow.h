#pragma once
// What the four display windows share: the zoom, palette and format edits, "Show String
// Grid", the layer analysis (axis "X" or "Y", the track bar and its edit), "Copy to
// Clipboard", the three pages (maps, string grid, profiles), the read-outs, and the
// refresh that turns the arrays handed over into pictures at most once a screen frame.
#include "DiagramWidget.h"
#include "DisplayViews.h"
#include "GraphWidget.h"
#include "StringGrid.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSlider;
class QStackedWidget;

namespace ksn::gui {

using TMessageHandler = std::function<void(const std::string&)>;

// What the latest refresh of each window cost (drawing and painting, milliseconds). The
// windows of one TDisplayWindows share it, so that together they keep to their share of
// the window thread.
struct TRefreshCosts {
    std::map<const void*, double> ms;
    double Total() const;
};

// The texts that tell the four windows apart.
struct TWindowTexts {
    QString caption;         // window title
    QString label;           // heading above the controls
    std::string zoomMessage; // a zoom text that is not an integer
    bool zoomFallsBackToOne = false; // after a bad zoom text: zoom 1 instead of the last one
    QString formatLabel;     // label of the number-format edit
    QString layerLabel;      // label of the layer-analysis check box
};

class TDisplayWindow : public QWidget {
    Q_OBJECT
public:
    ~TDisplayWindow() override;

    // Messages go to the handler; without one they show in a message box.
    void SetMessageHandler(TMessageHandler handler) { myMessage = std::move(handler); }

    // Works off what was handed over or changed since the last refresh: views, pictures,
    // repaint. A hidden window keeps it pending until it is shown. The refresh timer
    // calls it at most once a screen frame however often arrays arrive.
    void Refresh();
    bool RefreshPending() const { return myPending; }
    void SetRefreshCosts(std::shared_ptr<TRefreshCosts> costs);
    int RefreshCount() const { return myRefreshCount; }
    // Drops every array handed over so far.
    virtual void Clear() = 0;

    // The main window's clipping level (-1: off), applied to the field and intensity
    // values a window shows; the scene's index is never clipped.
    void SetClipLevel(double level);
    double ClipLevel() const { return myClipLevel; }

    int Zoom() const { return myZoom; }
    int Palette() const { return myPalette; }
    const std::string& NumberFormat() const { return myFormat; }
    bool StringGridShown() const;
    bool LayerAnalysisOn() const;
    // 0 = "X" (a row, along the horizontal map axis), 1 = "Y" (a column).
    int LayerAxis() const;
    int LayerIndex() const;

    // "Copy to Clipboard": the diagram shown (the chosen component's), or in layer
    // analysis the graph, as a bitmap; nothing while the string grid is shown.
    void CopyToClipboard();

    const std::vector<TDiagramWidget*>& Diagrams() const { return myDiagrams; }
    const std::vector<TGraphWidget*>& Graphs() const { return myGraphs; }
    TStringGrid* StringGrid() const { return myGrid; }
    // The page shown: the maps, the string grid or the profiles.
    QWidget* CurrentPage() const;
    QWidget* MapsPage() const;
    QWidget* GridPage() const;
    QWidget* ProfilePage() const;
    // The mouse-move read-out under the pages.
    QString MoveText() const;

signals:
    // The user closed the window (the main window unchecks its plot option).
    void Closed();

protected:
    TDisplayWindow(const TWindowTexts& texts, QWidget* parent);

    // The row for the window's own controls, under the common edits.
    QBoxLayout* OptionRow() const { return myOptionRow; }
    TDiagramWidget* AddDiagram(TReadOut readOut, int row, int column);
    TGraphWidget* AddGraph();
    void SetLabel(const QString& text);
    // An array arrived: refresh within a frame. A setting changed: refresh now.
    void Changed();
    void Redraw();
    void ShowMessage(const std::string& text);

    // Draws the pages from the stored arrays; called by Refresh only.
    virtual void Rebuild() = 0;
    virtual TDiagramWidget* DiagramToCopy() const = 0;

    // Page contents. ShowMap hands one real view of the array to the diagram with the
    // axes of the map, the palette, zoom and number format of the edits.
    void ShowMap(TDiagramWidget* diagram, const TMapAxes& axes, const TComplexArray& array, TRealView view,
        const std::string& title);
    void ShowGridOf(const TComplexArray& array);
    void ShowGridOf(const TComplexVector& profile);
    void ShowGridText(TGridText grid, bool headerRow);
    void ShowProfile(TGraphWidget* graph, const TProfile& profile, TRealView view, const TMapAxis& axis,
        const std::string& title, const std::string& yCaption);
    void ShowMapsPage();
    void ShowGridPage();
    void ShowProfilePage();
    // The profile of the array at the track bar's line along the chosen axis (the track
    // bar's range follows the array). False after "Illegal axis in display().".
    bool CurrentProfile(TComplexArray& array, const TMapAxes& axes, TProfile& out);
    // "along z at x = -2 µm" for the current line of the layer analysis.
    std::string CurrentLineText(const TMapAxes& axes) const;

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ZoomEdited();
    void PaletteEdited();
    void FormatEdited();
    void LayerEdited();
    void LayerMoved(int value);
    void StartTimer();
    void SetLayerLines(int lines);
    void EnableLayerControls(bool on);
    void FitToContent();
    int EffectiveZoom(int columns, int rows) const;

    TWindowTexts myTexts;
    TMessageHandler myMessage;
    double myClipLevel = -1;
    int myZoom = 1;
    int myPalette = 0;
    std::string myFormat = "%.2f";
    std::vector<double> myValues; // the real view handed to a diagram

    QLabel* myLabel = nullptr;
    QLineEdit* myZoomEdit = nullptr;
    QLineEdit* myPaletteEdit = nullptr;
    QLineEdit* myFormatEdit = nullptr;
    QCheckBox* myGridCheck = nullptr;
    QPushButton* myCopyButton = nullptr;
    QBoxLayout* myOptionRow = nullptr;
    QCheckBox* myLayerCheck = nullptr;
    QButtonGroup* myLayerAxis = nullptr;
    QSlider* myLayerSlider = nullptr;
    QLineEdit* myLayerEdit = nullptr;
    QStackedWidget* myPages = nullptr;
    QScrollArea* myMapsScroll = nullptr;
    QWidget* myMapsArea = nullptr;
    QGridLayout* myMapsLayout = nullptr;
    QScrollArea* myProfileScroll = nullptr;
    QWidget* myProfileArea = nullptr;
    QBoxLayout* myProfileLayout = nullptr;
    TStringGrid* myGrid = nullptr;
    QLabel* myMoveLabel = nullptr;
    std::vector<TDiagramWidget*> myDiagrams;
    std::vector<TGraphWidget*> myGraphs;

    QTimer myTimer;
    bool myPending = false;
    bool myRefreshing = false;
    int myRefreshCount = 0;
    std::shared_ptr<TRefreshCosts> myCosts = std::make_shared<TRefreshCosts>();
    int myLayerLines = -1;
    QSize myFittedContent;
};

} // namespace ksn::gui
