#include "DisplayWindow.h"

#include "display/NumberFormat.h"
#include "numerics/GeneralError.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ksn::gui {

namespace {

constexpr int kMaxZoom = 32;
// A zoomed image larger than this along a side helps nobody and may not fit in memory.
constexpr int kMaxImagePixels = 8192;

QLineEdit* SmallEdit(const QString& text, const char* name, int characters)
{
    auto* edit = new QLineEdit(text);
    edit->setObjectName(name);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * characters + 12);
    return edit;
}

bool ParseInt(const QString& text, int& value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

// Ticks far enough apart for their labels: about one per 70 pixels across and one per
// 36 pixels upwards.
std::uint16_t Divisions(int pixels, int per) { return std::uint16_t(std::clamp(pixels / per, 1, 5)); }

} // namespace

TDisplayWindow::TDisplayWindow(const TWindowTexts& texts, QWidget* parent) : QWidget(parent, Qt::Window), myTexts(texts)
{
    setWindowTitle(texts.caption);
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(8, 6, 8, 4);
    main->setSpacing(4);

    myLabel = new QLabel(texts.label);
    myLabel->setObjectName("heading");
    QFont headingFont = myLabel->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.15);
    myLabel->setFont(headingFont);
    main->addWidget(myLabel);

    auto* edits = new QHBoxLayout;
    edits->setSpacing(6);
    myZoomEdit = SmallEdit("1", "zoomEdit", 4);
    myPaletteEdit = SmallEdit("0", "paletteEdit", 3);
    myFormatEdit = SmallEdit("%.2f", "formatEdit", 7);
    edits->addWidget(new QLabel("Zoom factor"));
    edits->addWidget(myZoomEdit);
    edits->addSpacing(6);
    edits->addWidget(new QLabel("Palette [0-8]"));
    edits->addWidget(myPaletteEdit);
    edits->addSpacing(6);
    edits->addWidget(new QLabel(texts.formatLabel));
    edits->addWidget(myFormatEdit);
    edits->addSpacing(10);
    myGridCheck = new QCheckBox("Show String Grid");
    myGridCheck->setObjectName("stringGridCheck");
    edits->addWidget(myGridCheck);
    edits->addStretch(1);
    myCopyButton = new QPushButton("Copy to Clipboard");
    myCopyButton->setObjectName("copyButton");
    edits->addWidget(myCopyButton);
    main->addLayout(edits);

    myOptionRow = new QHBoxLayout;
    myOptionRow->setSpacing(6);
    main->addLayout(myOptionRow);

    auto* layer = new QHBoxLayout;
    layer->setSpacing(6);
    // A check box that only says "Enable" needs to say what it enables.
    if (texts.layerLabel == "Enable")
        layer->addWidget(new QLabel("Layer analysis:"));
    myLayerCheck = new QCheckBox(texts.layerLabel);
    myLayerCheck->setObjectName("layerCheck");
    layer->addWidget(myLayerCheck);
    myLayerAxis = new QButtonGroup(this);
    auto* axisX = new QRadioButton("X");
    auto* axisY = new QRadioButton("Y");
    axisX->setObjectName("layerAxisX");
    axisY->setObjectName("layerAxisY");
    axisX->setChecked(true);
    myLayerAxis->addButton(axisX, 0);
    myLayerAxis->addButton(axisY, 1);
    layer->addWidget(axisX);
    layer->addWidget(axisY);
    myLayerSlider = new QSlider(Qt::Horizontal);
    myLayerSlider->setObjectName("layerSlider");
    myLayerSlider->setRange(0, 0);
    myLayerSlider->setMinimumWidth(160);
    layer->addWidget(myLayerSlider, 1);
    myLayerEdit = SmallEdit("0", "layerEdit", 5);
    layer->addWidget(myLayerEdit);
    main->addLayout(layer);

    myPages = new QStackedWidget;
    myMapsScroll = new QScrollArea;
    myMapsArea = new QWidget;
    myMapsLayout = new QGridLayout(myMapsArea);
    myMapsLayout->setContentsMargins(4, 4, 4, 4);
    myMapsLayout->setSpacing(8);
    myMapsLayout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    myMapsScroll->setWidget(myMapsArea);
    myMapsScroll->setWidgetResizable(true);
    myGrid = new TStringGrid;
    myProfileScroll = new QScrollArea;
    myProfileArea = new QWidget;
    myProfileLayout = new QVBoxLayout(myProfileArea);
    myProfileLayout->setContentsMargins(4, 4, 4, 4);
    myProfileLayout->setSpacing(8);
    myProfileLayout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    myProfileScroll->setWidget(myProfileArea);
    myProfileScroll->setWidgetResizable(true);
    myPages->addWidget(myMapsScroll);
    myPages->addWidget(myGrid);
    myPages->addWidget(myProfileScroll);
    main->addWidget(myPages, 1);

    myMoveLabel = new QLabel(" ");
    myMoveLabel->setObjectName("moveReadOut");
    main->addWidget(myMoveLabel);

    connect(myZoomEdit, &QLineEdit::editingFinished, this, &TDisplayWindow::ZoomEdited);
    connect(myPaletteEdit, &QLineEdit::editingFinished, this, &TDisplayWindow::PaletteEdited);
    connect(myFormatEdit, &QLineEdit::editingFinished, this, &TDisplayWindow::FormatEdited);
    connect(myGridCheck, &QCheckBox::toggled, this, &TDisplayWindow::Redraw);
    connect(myCopyButton, &QPushButton::clicked, this, &TDisplayWindow::CopyToClipboard);
    connect(myLayerCheck, &QCheckBox::toggled, this, [this](bool on) {
        EnableLayerControls(on);
        Redraw();
    });
    EnableLayerControls(false);
    connect(myLayerAxis, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            Redraw();
    });
    connect(myLayerSlider, &QSlider::valueChanged, this, &TDisplayWindow::LayerMoved);
    connect(myLayerEdit, &QLineEdit::editingFinished, this, &TDisplayWindow::LayerEdited);

    myTimer.setSingleShot(true);
    connect(&myTimer, &QTimer::timeout, this, &TDisplayWindow::Refresh);
}

TDisplayWindow::~TDisplayWindow() { myCosts->ms.erase(this); }

bool TDisplayWindow::StringGridShown() const { return myGridCheck->isChecked(); }
bool TDisplayWindow::LayerAnalysisOn() const { return myLayerCheck->isChecked(); }
int TDisplayWindow::LayerAxis() const { return myLayerAxis->checkedId(); }
int TDisplayWindow::LayerIndex() const { return myLayerSlider->value(); }
QWidget* TDisplayWindow::CurrentPage() const { return myPages->currentWidget(); }
QWidget* TDisplayWindow::MapsPage() const { return myMapsScroll; }
QWidget* TDisplayWindow::GridPage() const { return myGrid; }
QWidget* TDisplayWindow::ProfilePage() const { return myProfileScroll; }
QString TDisplayWindow::MoveText() const { return myMoveLabel->text().trimmed(); }

void TDisplayWindow::SetClipLevel(double level)
{
    if (level == myClipLevel)
        return;
    myClipLevel = level;
    Changed();
}

void TDisplayWindow::SetLabel(const QString& text) { myLabel->setText(text); }

void TDisplayWindow::EnableLayerControls(bool on)
{
    for (QAbstractButton* b : myLayerAxis->buttons())
        b->setEnabled(on);
    myLayerSlider->setEnabled(on);
    myLayerEdit->setEnabled(on);
}

TDiagramWidget* TDisplayWindow::AddDiagram(TReadOut readOut, int row, int column)
{
    auto* diagram = new TDiagramWidget(readOut);
    myMapsLayout->addWidget(diagram, row, column);
    diagram->hide();
    connect(diagram, &TDiagramWidget::ReadOut, this, [this](const QString& text) { setWindowTitle(text); });
    connect(diagram, &TDiagramWidget::MoveReadOut, this,
        [this](const QString& text) { myMoveLabel->setText(text.isEmpty() ? QStringLiteral(" ") : text); });
    myDiagrams.push_back(diagram);
    return diagram;
}

TGraphWidget* TDisplayWindow::AddGraph()
{
    auto* graph = new TGraphWidget;
    // The diagrams' fonts, so that maps and profiles read alike.
    const TFontSpec font = myDiagrams.empty() ? TFontSpec{"DejaVu Sans", 11, false, false, kBlack}
                                              : myDiagrams.front()->Model().GetFont();
    graph->Model().SetFont(font);
    TFontSpec titleFont = font;
    titleFont.pixelSize += 2;
    titleFont.bold = true;
    graph->Model().BackGnd().SetTitleFont(titleFont);
    graph->Model().SetMessageHandler([this](const std::string& text) { ShowMessage(text); });
    myProfileLayout->addWidget(graph);
    graph->hide();
    myGraphs.push_back(graph);
    return graph;
}

void TDisplayWindow::ShowMessage(const std::string& text)
{
    if (myMessage)
        myMessage(text);
    else
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(text));
}

double TRefreshCosts::Total() const
{
    double total = 0;
    for (const auto& entry : ms)
        total += entry.second;
    return total;
}

void TDisplayWindow::SetRefreshCosts(std::shared_ptr<TRefreshCosts> costs)
{
    myCosts->ms.erase(this);
    myCosts = std::move(costs);
}

// One refresh per screen frame at most (60 per second on any faster screen), and the
// windows together never more than a quarter of the window thread's time: the next
// refresh waits at least three times what the latest refreshes of all windows cost, so
// that the run keeps its pace where it shares a processor with the drawing.
void TDisplayWindow::Changed()
{
    myPending = true;
    StartTimer();
}

void TDisplayWindow::StartTimer()
{
    if (!isVisible() || myTimer.isActive())
        return;
    double hz = screen() ? screen()->refreshRate() : 60.0;
    if (!(hz > 0))
        hz = 60.0;
    const double frameMs = 1000.0 / std::min(hz, 60.0);
    myTimer.start(int(std::ceil(std::max(frameMs, 3 * myCosts->Total()))));
}

void TDisplayWindow::Redraw()
{
    myPending = true;
    Refresh();
}

void TDisplayWindow::Refresh()
{
    if (!myPending || myRefreshing || !isVisible())
        return;
    myTimer.stop();
    myPending = false;
    myRefreshing = true;
    QElapsedTimer clock;
    clock.start();
    Rebuild();
    FitToContent();
    // The paints follow this refresh; the last ones stand in for them.
    double paintMs = 0;
    for (const TDiagramWidget* d : myDiagrams)
        paintMs += d->isHidden() ? 0 : d->LastPaintMs();
    for (const TGraphWidget* g : myGraphs)
        paintMs += g->isHidden() ? 0 : g->LastPaintMs();
    myCosts->ms[this] = clock.nsecsElapsed() * 1e-6 + paintMs;
    myRefreshing = false;
    ++myRefreshCount;
    // A message box of this refresh runs its own event loop; what arrived meanwhile
    // waits for the next refresh.
    if (myPending)
        StartTimer();
}

void TDisplayWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (myPending)
        myTimer.start(0);
}

void TDisplayWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    myCosts->ms.erase(this); // a hidden window draws nothing
}

void TDisplayWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    emit Closed();
}

// The window grows or shrinks to its content when the content changes size (a new
// zoom, a new grid), within the screen; a page larger than that scrolls.
void TDisplayWindow::FitToContent()
{
    QWidget* content = myPages->currentWidget() == myMapsScroll ? myMapsArea
                     : myPages->currentWidget() == myProfileScroll ? myProfileArea
                                                                    : nullptr;
    if (!content)
        return;
    const QSize wanted = content->sizeHint();
    if (wanted == myFittedContent)
        return;
    myFittedContent = wanted;
    const QSize chrome = layout()->sizeHint() - myPages->sizeHint();
    const int frame = 2 * myMapsScroll->frameWidth() + 2;
    QSize size(std::max(layout()->sizeHint().width(), wanted.width() + frame + layout()->contentsMargins().left() +
                                                          layout()->contentsMargins().right()),
        chrome.height() + wanted.height() + frame);
    if (const QScreen* s = screen()) {
        const QSize room = s->availableGeometry().size() * 0.92;
        size = size.boundedTo(room);
    }
    resize(size);
}

int TDisplayWindow::EffectiveZoom(int columns, int rows) const
{
    const int longer = std::max({columns, rows, 1});
    return std::clamp(std::min(myZoom, kMaxImagePixels / longer), 1, kMaxZoom);
}

void TDisplayWindow::ShowMap(TDiagramWidget* diagram, const TMapAxes& axes, const TComplexArray& array, TRealView view,
    const std::string& title)
{
    const int columns = array.Nx(), rows = array.Ny();
    if (columns < 1 || rows < 1 || columns > std::numeric_limits<std::uint16_t>::max() ||
        rows > std::numeric_limits<std::uint16_t>::max()) {
        diagram->hide();
        return;
    }
    TVellDiagram& m = diagram->Model();
    if (m.GetBmpWidth() != columns || m.GetBmpHeight() != rows)
        m.SetBmpSize(std::uint16_t(columns), std::uint16_t(rows));
    const int zoom = EffectiveZoom(columns, rows);
    m.SetZoom(std::uint16_t(zoom));
    // White instead of no fill: the picture then covers every pixel of the control, so
    // the clipboard bitmap and a PNG look as the window does.
    m.SetBgColor(kWhite);
    m.SetWithBar(true);
    m.XAxis().SetLimits(axes.horizontal.lo, axes.horizontal.hi);
    m.YAxis().SetLimits(axes.vertical.lo, axes.vertical.hi);
    m.XAxis().SetMinDivision(Divisions(zoom * columns, 70));
    m.YAxis().SetMinDivision(Divisions(zoom * rows, 36));
    m.XAxis().SetNumberFmt(TickFormat(m.XAxis().Ticks().major));
    m.YAxis().SetNumberFmt(TickFormat(m.YAxis().Ticks().major));
    m.XAxis().SetCaption(axes.horizontal.caption);
    m.YAxis().SetCaption(axes.vertical.caption);
    m.SetPalette(myPalette);
    m.SetTitle(title);
    RealView(array, view, myValues);
    m.SetData(myValues);
    m.SetBarFormat(BarLabelFormat(myFormat, m.GetMinValue(), m.GetMaxValue()));
    m.FitLayout();
    diagram->ModelChanged();
    diagram->show();
}

void TDisplayWindow::ShowGridText(TGridText grid, bool headerRow) { myGrid->SetGrid(std::move(grid), headerRow); }

void TDisplayWindow::ShowGridOf(const TComplexArray& array)
{
    try {
        ShowGridText(ShowInGrid(array, myFormat.c_str()), true);
    } catch (const EGeneralError& e) {
        ShowMessage(e.what());
    }
}

void TDisplayWindow::ShowGridOf(const TComplexVector& profile)
{
    try {
        ShowGridText(ShowInGrid(profile, myFormat.c_str()), false);
    } catch (const EGeneralError& e) {
        ShowMessage(e.what());
    }
}

void TDisplayWindow::ShowProfile(TGraphWidget* graph, const TProfile& profile, TRealView view, const TMapAxis& axis,
    const std::string& title, const std::string& yCaption)
{
    vellgrafx::TVellGrafX& g = graph->Model();
    const int n = profile.values.Count();
    const double* re = profile.values.FirstPart().Data();
    const double* im = profile.values.SecondPart().Data();
    g.Plot().SetCount(n);
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (int i = 0; i < n; ++i) {
        const double v = view == TRealView::real ? re[i] : view == TRealView::imag ? im[i] : std::hypot(re[i], im[i]);
        g.Plot().SetX(i, profile.position[size_t(i)]);
        g.Plot().SetY(i, v);
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    if (!(lo <= hi))
        lo = hi = 0;
    g.SetSize(std::max(480, std::min(900, 4 * n + 160)), 300);
    g.XAxis().SetLimits(axis.lo, axis.hi);
    g.YAxis().SetLimits(lo, hi);
    g.XAxis().SetAxisFormat(TickFormat(g.XAxis().Ticks().major));
    g.YAxis().SetAxisFormat(myFormat);
    g.XAxis().SetCaption(axis.caption);
    g.YAxis().SetCaption(yCaption);
    g.SetBackgroundTitle(title);
    g.FitLayout();
    graph->ModelChanged();
    graph->show();
}

void TDisplayWindow::ShowMapsPage() { myPages->setCurrentWidget(myMapsScroll); }
void TDisplayWindow::ShowGridPage() { myPages->setCurrentWidget(myGrid); }
void TDisplayWindow::ShowProfilePage() { myPages->setCurrentWidget(myProfileScroll); }

bool TDisplayWindow::CurrentProfile(TComplexArray& array, const TMapAxes& axes, TProfile& out)
{
    const int axis = LayerAxis();
    if (axis != 0 && axis != 1) {
        ShowMessage("Illegal axis in display().");
        return false;
    }
    SetLayerLines(axis == 0 ? array.Ny() : array.Nx());
    return LayerProfile(array, axis, LayerIndex(), axes, out);
}

std::string TDisplayWindow::CurrentLineText(const TMapAxes& axes) const
{
    return LineText(axes, LayerAxis(), LayerIndex(), myLayerLines);
}

// The track bar runs over the lines of the chosen axis; a new range starts in the
// middle, where the beam usually is.
void TDisplayWindow::SetLayerLines(int lines)
{
    lines = std::max(lines, 1);
    if (lines == myLayerLines)
        return;
    const QSignalBlocker block(myLayerSlider);
    myLayerSlider->setRange(0, lines - 1);
    myLayerSlider->setValue(lines / 2);
    myLayerEdit->setText(QString::number(myLayerSlider->value()));
    myLayerLines = lines;
}

void TDisplayWindow::LayerMoved(int value)
{
    myLayerEdit->setText(QString::number(value));
    if (LayerAnalysisOn())
        Redraw();
}

void TDisplayWindow::LayerEdited()
{
    int value = 0;
    if (!ParseInt(myLayerEdit->text(), value)) {
        myLayerEdit->setText(QString::number(myLayerSlider->value()));
        ShowMessage("Please check input. Inappropriate type!");
        return;
    }
    value = std::clamp(value, myLayerSlider->minimum(), myLayerSlider->maximum());
    myLayerEdit->setText(QString::number(value));
    myLayerSlider->setValue(value);
}

// Each edit puts its valid value back before it shows a message: the message box takes
// the focus, and an edit that lost it with the bad text would report a second time.
void TDisplayWindow::ZoomEdited()
{
    int value = 0;
    if (!ParseInt(myZoomEdit->text(), value)) {
        if (myTexts.zoomFallsBackToOne)
            myZoom = 1;
        myZoomEdit->setText(QString::number(myZoom));
        ShowMessage(myTexts.zoomMessage);
        Redraw();
        return;
    }
    if (value < 1 || value > kMaxZoom) {
        myZoomEdit->setText(QString::number(myZoom));
        ShowMessage("Zoom factor must lie between 1 and " + std::to_string(kMaxZoom) + ".");
        return;
    }
    if (value == myZoom)
        return;
    myZoom = value;
    Redraw();
}

void TDisplayWindow::PaletteEdited()
{
    int value = 0;
    if (!ParseInt(myPaletteEdit->text(), value)) {
        myPaletteEdit->setText(QString::number(myPalette));
        ShowMessage("Please check input. Inappropriate type!");
        return;
    }
    if (value < 0 || value > 8) {
        myPaletteEdit->setText(QString::number(myPalette));
        ShowMessage("Palette must lie between 0 and 8.");
        return;
    }
    if (value == myPalette)
        return;
    myPalette = value;
    Redraw();
}

void TDisplayWindow::FormatEdited()
{
    const std::string text = myFormatEdit->text().trimmed().toStdString();
    if (!IsNumberFormat(text)) {
        myFormatEdit->setText(QString::fromStdString(myFormat));
        ShowMessage("Number format \"" + text + "\" must hold one conversion of a real number, such as %.2f or %.3e.");
        return;
    }
    if (text == myFormat)
        return;
    myFormat = text;
    Redraw();
}

void TDisplayWindow::CopyToClipboard()
{
    if (StringGridShown())
        return;
    if (LayerAnalysisOn()) {
        for (TGraphWidget* graph : myGraphs)
            if (!graph->isHidden()) {
                graph->CopyToClipboard();
                return;
            }
        return;
    }
    if (TDiagramWidget* diagram = DiagramToCopy(); diagram && !diagram->isHidden())
        diagram->CopyToClipboard();
}

} // namespace ksn::gui
