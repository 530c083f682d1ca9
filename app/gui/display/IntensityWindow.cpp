#include "IntensityWindow.h"

#include <QBoxLayout>
#include <QCheckBox>

#include <algorithm>

namespace ksn::gui {

TIntensityWindow::TIntensityWindow(QWidget* parent)
    : TDisplayWindow({"Intensity", "Wave Intensity", "Error. Cannot convert String to Integer (Zoom of IDisp).", true,
                         "Number Format", "Enable"},
          parent)
{
    mySpectrumCheck = new QCheckBox("Show Spectrum");
    mySpectrumCheck->setObjectName("spectrumCheck");
    OptionRow()->addWidget(mySpectrumCheck);
    OptionRow()->addStretch(1);
    myDiagram = AddDiagram(TReadOut::intensity, 0, 0);
    myGraph = AddGraph();
    connect(mySpectrumCheck, &QCheckBox::toggled, this, &TIntensityWindow::Redraw);
}

bool TIntensityWindow::Display(int orientation, const TGridParms& grid, const TRealArray& intensity)
{
    if (!IsOrientation(orientation)) {
        ShowMessage("TForm5.Display(). Invalid axis.");
        return false;
    }
    if (!myMap)
        myMap.emplace();
    TComplexArray& map = *myMap;
    map.SetSize(0, intensity.Nx());
    map.SetSize(1, intensity.Ny());
    map.SetBase(intensity.Base());
    map.ToCartesian();
    std::copy(intensity.Data(), intensity.Data() + intensity.Count(), map.Re());
    std::fill(map.Im(), map.Im() + map.Count(), 0.0);
    map.XAxis().SetSpectral(false);
    map.YAxis().SetSpectral(false);
    myOrientation = orientation;
    myGrid = grid;
    Changed();
    return true;
}

void TIntensityWindow::Clear()
{
    myMap.reset();
    Redraw();
}

void TIntensityWindow::SetCaptionText(const QString& text)
{
    myCaption = text;
    SetLabel(text);
    Redraw();
}

bool TIntensityWindow::SpectrumShown() const { return mySpectrumCheck->isChecked(); }

void TIntensityWindow::Rebuild()
{
    if (!myMap) {
        myDiagram->hide();
        return;
    }
    myView = *myMap;
    ClipParts(myView, ClipLevel());
    bool spectrum = SpectrumShown();
    if (spectrum && !ApplyFourierView(myView, TFourierView::fft)) {
        {
            const QSignalBlocker block(mySpectrumCheck);
            mySpectrumCheck->setChecked(false);
        }
        spectrum = false;
        ShowMessage("The spectrum needs sides that are powers of two; this map has " + std::to_string(myView.Nx()) +
                    " x " + std::to_string(myView.Ny()) + " cells.");
    }
    const TMapAxes axes = MapAxes(myOrientation, myGrid, spectrum);
    const std::string title = (spectrum ? "Spectrum: " : "") + myCaption.toStdString();

    if (StringGridShown() || LayerAnalysisOn()) {
        TProfile profile;
        if (LayerAnalysisOn() && CurrentProfile(myView, axes, profile)) {
            if (StringGridShown()) {
                ShowGridOf(profile.values);
            } else {
                const TMapAxis& along = LayerAxis() == 0 ? axes.horizontal : axes.vertical;
                ShowProfile(myGraph, profile, TRealView::modulus, along, title + " " + CurrentLineText(axes),
                    myCaption.toStdString());
            }
        } else if (!LayerAnalysisOn()) {
            ShowGridOf(myView);
        }
        if (StringGridShown())
            ShowGridPage();
        else
            ShowProfilePage();
        return;
    }
    ShowMapsPage();
    ShowMap(myDiagram, axes, myView, TRealView::modulus, title);
}

} // namespace ksn::gui
