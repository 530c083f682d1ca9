#include "AnalysisPanel.h"

#include "EditReaders.h"
#include "PictureViews.h"

#include "config/Messages.h"
#include "display/NumberFormat.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ksn::gui {

namespace {

constexpr int kLogPage = 0;
constexpr int kGraphPage = 1;   // + quantity
constexpr int kDiagramPage = 4; // + quantity

// The user's number format when it tells the ticks of `step` apart, else a fixed-point
// format with as many decimals as they need, else three significant digits.
std::string TickFormat(const std::string& preferred, double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return preferred;
    const std::string a = FormatNumber(preferred, 0.0);
    const std::string b = FormatNumber(preferred, step);
    if (a != b && std::fabs(step) < 1e6)
        return preferred;
    for (int d = 0; d <= 6; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * scaled)
            return "%." + std::to_string(d) + "f";
    }
    return "%.3g";
}

// Limits of a curve's y axis: from 0 (or the lowest value when negative) up to the
// largest value; a flat curve gets SetLimits' unit margin.
void FitYAxis(vellgrafx::TVellGrafX& graph, const std::string& format, bool floorAtZero)
{
    const auto& pts = graph.Plot().Points();
    double lo = 0, hi = 0;
    bool first = true;
    for (const TPointD& p : pts)
        if (std::isfinite(p.y)) {
            hi = first ? p.y : std::max(hi, p.y);
            lo = first ? std::min(0.0, p.y) : std::min(lo, p.y);
            first = false;
        }
    if (floorAtZero)
        hi = std::max(hi, 0.0);
    graph.YAxis().SetLimits(lo, hi);
    // Up to the first major tick above the largest value, so that a flat curve does not
    // vanish in the frame.
    const double step = graph.YAxis().Ticks().major;
    if (step > 0 && hi > lo)
        graph.YAxis().SetLimits(lo, (std::floor(hi / step + 1e-9) + 1) * step);
    graph.YAxis().SetAxisFormat(TickFormat(format, graph.YAxis().Ticks().major));
}

} // namespace

TAnalysisPanel::TAnalysisPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* top = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    const char* captions[4] = {"Intensity plot", "Absorption", "Energy flux", "Status messages"};
    for (int i = 0; i < 4; ++i) {
        myShow[size_t(i)] = new QRadioButton(QLatin1String(captions[i]), this);
        group->addButton(myShow[size_t(i)]);
        top->addWidget(myShow[size_t(i)]);
        connect(myShow[size_t(i)], &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                UpdateVisibility();
        });
    }
    top->addStretch(1);
    myGraphDraw = new QPushButton(QStringLiteral("Draw"), this);
    myGraphSave = new QPushButton(QStringLiteral("Save"), this);
    myGraphCopy = new QPushButton(QStringLiteral("Copy"), this);
    myGraphDraw->setObjectName(QStringLiteral("graphDraw"));
    myGraphSave->setObjectName(QStringLiteral("graphSave"));
    myGraphCopy->setObjectName(QStringLiteral("graphCopy"));
    top->addWidget(myGraphDraw);
    top->addWidget(myGraphSave);
    top->addWidget(myGraphCopy);
    layout->addLayout(top);

    myStack = new QStackedWidget(this);
    myLog = new QPlainTextEdit(this);
    myLog->setReadOnly(true);
    myLog->setObjectName(QStringLiteral("log"));
    myLog->setMaximumBlockCount(20000);
    // The report's columns line up in a fixed-width font.
    myLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    myStack->addWidget(myLog);
    for (int q = 0; q < 3; ++q) {
        myGraphs[size_t(q)] = new TGraphView(this);
        myStack->addWidget(myGraphs[size_t(q)]);
    }
    for (int q = 0; q < 3; ++q) {
        myDiagrams[size_t(q)] = new TDiagramView(this);
        myStack->addWidget(myDiagrams[size_t(q)]);
    }
    layout->addWidget(myStack, 1);

    auto* variation = new QGridLayout;
    myXParm = new QComboBox(this);
    myYParm = new QComboBox(this);
    myXParm->setObjectName(QStringLiteral("xParm"));
    for (QComboBox* box : {myXParm, myYParm})
        box->setMinimumContentsLength(11); // "parm10 [lay]"
    myYParm->setObjectName(QStringLiteral("yParm"));
    myPlot2D = new QCheckBox(QStringLiteral("2D-Plot"), this);
    mySaveIni = new QCheckBox(QStringLiteral("Save inifiles on parmvariation"), this);
    myZoom = new QLineEdit(QStringLiteral("1"), this);
    myPalette = new QLineEdit(QStringLiteral("0"), this);
    myFormat = new QLineEdit(QStringLiteral("%.2f"), this);
    myZoom->setObjectName(QStringLiteral("zoom"));
    myPalette->setObjectName(QStringLiteral("palette"));
    myFormat->setObjectName(QStringLiteral("format"));
    for (QLineEdit* e : {myZoom, myPalette, myFormat})
        e->setMaximumWidth(56);
    myDiagramDraw = new QPushButton(QStringLiteral("Draw"), this);
    myDiagramSave = new QPushButton(QStringLiteral("Save"), this);
    myDiagramCopy = new QPushButton(QStringLiteral("Copy"), this);
    myDiagramDraw->setObjectName(QStringLiteral("diagramDraw"));
    myDiagramSave->setObjectName(QStringLiteral("diagramSave"));
    myDiagramCopy->setObjectName(QStringLiteral("diagramCopy"));
    variation->addWidget(new QLabel(QStringLiteral("X-Parm"), this), 0, 0);
    variation->addWidget(myXParm, 0, 1);
    variation->addWidget(new QLabel(QStringLiteral("Y-Parm"), this), 0, 2);
    variation->addWidget(myYParm, 0, 3);
    variation->addWidget(myPlot2D, 0, 4);
    variation->addWidget(mySaveIni, 0, 5, 1, 3);
    variation->addWidget(new QLabel(QStringLiteral("Zoom"), this), 1, 0);
    variation->addWidget(myZoom, 1, 1);
    variation->addWidget(new QLabel(QStringLiteral("Palette"), this), 1, 2);
    variation->addWidget(myPalette, 1, 3);
    variation->addWidget(new QLabel(QStringLiteral("Format"), this), 1, 4);
    variation->addWidget(myFormat, 1, 5);
    variation->addWidget(myDiagramDraw, 1, 6);
    variation->addWidget(myDiagramSave, 1, 7);
    variation->addWidget(myDiagramCopy, 1, 8);
    variation->setColumnStretch(1, 1);
    variation->setColumnStretch(3, 1);
    layout->addLayout(variation);

    connect(myGraphCopy, &QPushButton::clicked, this, [this] {
        if (Chosen() >= 0)
            myGraphs[size_t(Chosen())]->CopyToClipboard();
    });
    connect(myDiagramDraw, &QPushButton::clicked, this, [this] {
        if (!myMapsOn)
            return;
        for (int q = 0; q < 3; ++q)
            myDiagrams[size_t(q)]->Diagram().SetData(myMaps[size_t(q)]);
        ApplyDiagramSettings();
    });
    connect(myDiagramCopy, &QPushButton::clicked, this, [this] {
        if (myMapsOn && Chosen() >= 0)
            myDiagrams[size_t(Chosen())]->CopyToClipboard();
    });
    connect(myPlot2D, &QCheckBox::toggled, this, [this](bool on) {
        for (QWidget* w : std::initializer_list<QWidget*>{myXParm, myYParm, myZoom, myPalette, myDiagramDraw,
                 myDiagramSave, myDiagramCopy})
            w->setEnabled(on);
        UpdateVisibility();
    });
    connect(myXParm, &QComboBox::activated, this, &TAnalysisPanel::XParmChosen);
    connect(myYParm, &QComboBox::activated, this, &TAnalysisPanel::YParmChosen);
    const auto integerEdit = [this](QLineEdit* edit, int& target) {
        int v = 0;
        if (!ParseInt(edit->text(), v)) {
            ShowMessage("Please check input. Inappropriate type!");
            return;
        }
        target = v;
        if (myMapsOn)
            ApplyDiagramSettings();
    };
    connect(myZoom, &QLineEdit::editingFinished, this, [this, integerEdit] { integerEdit(myZoom, myZoomValue); });
    connect(myPalette, &QLineEdit::editingFinished, this, [this, integerEdit] { integerEdit(myPalette, myPaletteValue); });
    connect(myFormat, &QLineEdit::editingFinished, this, [this] {
        myNumberFormat = myFormat->text().toStdString();
        for (TDiagramView* d : myDiagrams) {
            d->Diagram().XAxis().SetNumberFmt(myNumberFormat);
            d->Diagram().YAxis().SetNumberFmt(myNumberFormat);
            d->Redraw();
        }
    });

    myPlot2D->setChecked(true);
    myPlot2D->setChecked(false);
    SetVariationEnabled(false);
    myShow[3]->setChecked(true);
}

void TAnalysisPanel::AppendLog(const QString& line)
{
    myLog->appendPlainText(line);
}

int TAnalysisPanel::Chosen() const
{
    for (int q = 0; q < 3; ++q)
        if (myShow[size_t(q)]->isChecked())
            return q;
    return -1;
}

void TAnalysisPanel::ShowQuantity(int i) { myShow[size_t(std::clamp(i, 0, 3))]->setChecked(true); }

void TAnalysisPanel::UpdateVisibility()
{
    const int q = Chosen();
    if (q < 0)
        myStack->setCurrentIndex(kLogPage);
    else
        myStack->setCurrentIndex((myPlot2D->isChecked() ? kDiagramPage : kGraphPage) + q);
    // The graph buttons serve a chosen quantity only.
    for (QPushButton* b : {myGraphDraw, myGraphSave, myGraphCopy})
        b->setVisible(q >= 0);
}

void TAnalysisPanel::SetVariationEnabled(bool on)
{
    if (!on)
        myPlot2D->setChecked(false);
    myPlot2D->setEnabled(on);
}

void TAnalysisPanel::SetParmItems(const QStringList& items)
{
    for (QComboBox* box : {myXParm, myYParm}) {
        const QSignalBlocker block(box);
        box->clear();
        box->addItems(items);
    }
    myMapsOn = false;
}

void TAnalysisPanel::ShowZCurves(const std::vector<TZCurvePoint>& points, const TGridParms& grid)
{
    myZPoints = points;
    myZEnd = (grid.nz - 1) * grid.dz;
    mySeriesGraphs = false;
    for (TGraphView* view : myGraphs)
        view->Graph().XAxis().SetCaption("Z");
    DrawGraphs(false);
}

void TAnalysisPanel::ShowSeries(int total, const std::array<std::vector<double>, 3>& y, const std::vector<char>& entered)
{
    mySeriesGraphs = true;
    for (int q = 0; q < 3; ++q) {
        auto& g = myGraphs[size_t(q)]->Graph();
        const std::vector<double>& values = y[size_t(q)];
        const int count = std::min(total, int(values.size()));
        const auto isEntered = [&](int i) { return i >= int(entered.size()) || entered[size_t(i)]; };
        // The curve runs through the points entered so far (SetCount clears the points).
        int last = -1;
        for (int i = 0; i < count; ++i)
            if (isEntered(i))
                last = i;
        g.Plot().SetCount(last + 1);
        double lo = 0, hi = 0;
        bool first = true;
        for (int i = 0; i <= last; ++i) {
            g.Plot().SetX(i, i);
            if (!isEntered(i))
                continue;
            const double v = values[size_t(i)];
            g.Plot().SetY(i, v);
            hi = first ? v : std::max(hi, v);
            lo = std::min(lo, v);
            first = false;
        }
        if (q != kIrradiance)
            hi = std::max(hi, 0.0);
        g.XAxis().SetLimits(0, total);
        g.XAxis().SetAxisFormat(TickFormat("%.0f", g.XAxis().Ticks().major));
        g.YAxis().SetLimits(lo, hi);
        // Up to the first major tick above the largest value, as the z-plots.
        const double step = g.YAxis().Ticks().major;
        if (step > 0 && hi > lo)
            g.YAxis().SetLimits(lo, (std::floor(hi / step + 1e-9) + 1) * step);
        g.YAxis().SetAxisFormat(TickFormat(myNumberFormat, g.YAxis().Ticks().major));
    }
    DrawGraphs(true);
}

void TAnalysisPanel::DrawGraphs(bool variation)
{
    static const char* const zTitles[3][3] = {{"Irradiance over propagation dist.", "Z", "Irradiance [%]"},
        {"Absorption over propagation dist.", "Z", "Absorption [%]"},
        {"Energy flux over propagation dist.", "Z", "Energy Flux [%]"}};
    static const char* const vTitles[3][3] = {
        {"Irradiance over index of parameter variation", "Index of parameter variation [-]", "Irradiance [%]"},
        {"Absorption over index of parameter variation", "Index of parameter variation [-]", "Absorption [%]"},
        {"Energy flux over index of parameter variation", "Index of parameter variation [-]", "Energy flux [%]"}};
    static const char* const zFormats[3] = {"%.1f", "%.1f", "%.2f"};
    const bool series = variation && mySeriesGraphs;
    for (int q = 0; q < 3; ++q) {
        auto& g = myGraphs[size_t(q)]->Graph();
        const auto& t = series ? vTitles[q] : zTitles[q];
        g.SetBackgroundTitle(t[0]);
        g.XAxis().SetCaption(t[1]);
        g.YAxis().SetCaption(t[2]);
        if (!series && !myZPoints.empty()) {
            g.Plot().SetCount(int(myZPoints.size()));
            for (size_t i = 0; i < myZPoints.size(); ++i) {
                const TZCurvePoint& p = myZPoints[i];
                g.Plot().SetX(int(i), p.z);
                g.Plot().SetY(int(i), q == kIrradiance ? p.intensity : q == kAbsorption ? p.absorption : p.energyFlux);
            }
            g.XAxis().SetLimits(0, myZEnd);
            g.XAxis().SetAxisFormat(TickFormat(zFormats[q], g.XAxis().Ticks().major));
        }
        if (!series && myZPoints.empty())
            continue;
        if (!series)
            FitYAxis(g, myNumberFormat, q != kIrradiance);
        myGraphs[size_t(q)]->Redraw();
    }
}

bool TAnalysisPanel::SaveGraphs(const std::string& fileName)
{
    bool ok = myGraphs[kAbsorption]->SaveFiles(fileName + "_absn");
    ok = myGraphs[kIrradiance]->SaveFiles(fileName + "_inty") && ok;
    ok = myGraphs[kEnergyFlux]->SaveFiles(fileName + "_eflx") && ok;
    return ok;
}

bool TAnalysisPanel::SaveDiagrams(const std::string& fileName)
{
    if (!myMapsOn)
        return false;
    bool ok = myDiagrams[kAbsorption]->SavePng(fileName + "_absn_2d.png");
    ok = myDiagrams[kIrradiance]->SavePng(fileName + "_inty_2d.png") && ok;
    ok = myDiagrams[kEnergyFlux]->SavePng(fileName + "_eflx_2d.png") && ok;
    return ok;
}

void TAnalysisPanel::ShowMaps(
    int nX, int nY, const std::array<std::vector<double>, 3>& maps, const TMapAxis& x, const TMapAxis& y)
{
    myMapsOn = nX > 0 && nY > 0 && nX <= 65535 && nY <= 65535;
    if (!myMapsOn)
        return;
    myNX = nX;
    myNY = nY;
    myMaps = maps;
    static const char* const titles[3] = {"Irradiance", "Absorption", "Energy flux change"};
    for (int q = 0; q < 3; ++q) {
        TVellDiagram& d = myDiagrams[size_t(q)]->Diagram();
        d.SetBmpSize(std::uint16_t(nX), std::uint16_t(nY));
        // Without an increment the axis keeps its previous range.
        if (x.valid)
            d.XAxis().SetLimits(x.lo, x.hi);
        if (y.valid)
            d.YAxis().SetLimits(y.lo, y.hi);
        d.XAxis().SetCaption(x.caption);
        d.YAxis().SetCaption(y.caption);
        d.SetTitle(titles[q]);
        d.SetData(myMaps[size_t(q)]);
        d.SetBarFormat(q == kAbsorption ? "%.5f" : myNumberFormat);
    }
    ApplyDiagramSettings();
}

void TAnalysisPanel::ApplyDiagramSettings()
{
    for (TDiagramView* view : myDiagrams) {
        TVellDiagram& d = view->Diagram();
        // A map of a few cells is drawn at least about 360 pixels wide.
        const int autoZoom = std::max(1, 360 / std::max<int>(1, std::max(d.GetBmpWidth(), d.GetBmpHeight())));
        d.SetZoom(std::uint16_t(std::clamp(myZoomValue * autoZoom, 1, 160)));
        d.SetPalette(std::clamp(myPaletteValue, 0, 9));
        d.XAxis().SetNumberFmt(TickFormat(myNumberFormat, d.XAxis().Ticks().major));
        d.YAxis().SetNumberFmt(TickFormat(myNumberFormat, d.YAxis().Ticks().major));
        d.RebuildImage();
        view->Redraw();
    }
}

} // namespace ksn::gui
