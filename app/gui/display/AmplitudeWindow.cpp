#include "AmplitudeWindow.h"

#include <QBoxLayout>
#include <QCheckBox>

namespace ksn::gui {

namespace {

const char* kMissingComponents = "TForm2.display:: Please draw all vector components before you enable the \"full "
                                 "amplitude\" drawing to reserve the required memory.";

} // namespace

TAmplitudeWindow::TAmplitudeWindow(QWidget* parent)
    : TComponentWindow({"Amplitude", "E-field amplitude", "Error. Cannot convert String to Integer (Zoom of ADisp).",
                           false, "Format", "Layer Analysis"},
          "Error in TForm2.display(). Invalid axes.", "TForm2.display() : Error in XSect. Unknown orientation.", parent)
{
    myFullCheck = new QCheckBox("full amplitude");
    myFullCheck->setObjectName("fullAmplitudeCheck");
    OptionRow()->addWidget(myFullCheck);
    OptionRow()->addStretch(1);
    for (int k = 0; k < 3; ++k)
        myDiagram[size_t(k)] = AddDiagram(TReadOut::amplitude, 0, k);
    myGraph = AddGraph();
    connect(myFullCheck, &QCheckBox::toggled, this, &TAmplitudeWindow::FullAmplitudeToggled);
}

bool TAmplitudeWindow::FullAmplitudeOn() const { return myFullCheck->isChecked(); }

void TAmplitudeWindow::FullAmplitudeToggled(bool on)
{
    if (on && !(HasComponent(1) && HasComponent(2) && HasComponent(3))) {
        // The box goes back off so that the message comes once, not with every slice.
        const QSignalBlocker block(myFullCheck);
        myFullCheck->setChecked(false);
        ShowMessage(kMissingComponents);
        return;
    }
    Redraw();
}

// The full amplitude needs all three components on one grid; otherwise the message, and
// the box goes off.
bool TAmplitudeWindow::PrepareFullAmplitude()
{
    if (!FullAmplitudeOn())
        return false;
    if (HasComponent(1) && HasComponent(2) && HasComponent(3)
        && FullAmplitude(myViews[0], myViews[1], myViews[2], myFull))
        return true;
    const QSignalBlocker block(myFullCheck);
    myFullCheck->setChecked(false);
    ShowMessage(kMissingComponents);
    return false;
}

void TAmplitudeWindow::Rebuild()
{
    PrepareViews();
    const bool full = PrepareFullAmplitude();
    const TMapAxes axes = Axes();
    const std::string suffix = FourierSuffix();
    TComplexArray* selected = full ? &myFull : SelectedView();
    const std::string selectedName = full ? "|E|" : std::string("|") + ComponentName(SelectedComponent() - 1) + "|";

    if (StringGridShown() || LayerAnalysisOn()) {
        TProfile profile;
        if (!selected) {
            ShowGridText({}, true);
        } else if (LayerAnalysisOn() && CurrentProfile(*selected, axes, profile)) {
            if (StringGridShown()) {
                ShowGridOf(profile.values);
            } else {
                const TMapAxis& along = LayerAxis() == 0 ? axes.horizontal : axes.vertical;
                ShowProfile(myGraph, profile, TRealView::modulus, along,
                    selectedName + suffix + " " + CurrentLineText(axes), selectedName);
            }
        } else if (!LayerAnalysisOn()) {
            ShowGridOf(*selected);
        }
        if (StringGridShown())
            ShowGridPage();
        else
            ShowProfilePage();
        return;
    }

    ShowMapsPage();
    if (full) {
        ShowMap(myDiagram[0], axes, myFull, TRealView::modulus, "|E|" + suffix);
        myDiagram[1]->hide();
        myDiagram[2]->hide();
        return;
    }
    for (size_t k = 0; k < 3; ++k) {
        if (myArrays[k])
            ShowMap(myDiagram[k], axes, myViews[k], TRealView::modulus,
                std::string("|") + ComponentName(int(k)) + "|" + suffix);
        else
            myDiagram[k]->hide();
    }
}

TDiagramWidget* TAmplitudeWindow::DiagramToCopy() const
{
    if (FullAmplitudeOn())
        return myDiagram[0];
    return myDiagram[size_t(SelectedComponent() - 1)];
}

} // namespace ksn::gui
