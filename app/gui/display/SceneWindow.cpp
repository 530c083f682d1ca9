#include "SceneWindow.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QRadioButton>

namespace ksn::gui {

TSceneWindow::TSceneWindow(QWidget* parent)
    : TDisplayWindow({"Scene", "Real part of refractive index",
                         "Error. Cannot convert String to Integer (Zoom of NGrid-Display).", false, "Numer format",
                         "Layer analysis"},
          parent)
{
    myPartGroup = new QButtonGroup(this);
    auto* real = new QRadioButton("real(n)");
    auto* imag = new QRadioButton("imag(n)");
    real->setObjectName("realN");
    imag->setObjectName("imagN");
    real->setChecked(true);
    myPartGroup->addButton(real, 0);
    myPartGroup->addButton(imag, 1);
    OptionRow()->addWidget(real);
    OptionRow()->addWidget(imag);
    OptionRow()->addStretch(1);
    myDiagram[0] = AddDiagram(TReadOut::sceneIntensity, 0, 0);
    myDiagram[1] = AddDiagram(TReadOut::sceneIntensity, 0, 1);
    myGraph = AddGraph();
    connect(myPartGroup, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            Redraw();
    });
}

bool TSceneWindow::Display(int orientation, const TGridParms& grid, TComplexArray index)
{
    if (!IsOrientation(orientation)) {
        ShowMessage("TForm2.display() : Error in XSect. Unknown orientation.");
        return false;
    }
    index.ToCartesian();
    myIndex = std::move(index);
    myOrientation = orientation;
    myGrid = grid;
    Changed();
    return true;
}

void TSceneWindow::Clear()
{
    myIndex.reset();
    Redraw();
}

bool TSceneWindow::ShowsImaginaryPart() const { return myPartGroup->checkedId() == 1; }

void TSceneWindow::Rebuild()
{
    const bool imag = ShowsImaginaryPart();
    SetLabel(imag ? "Imaginary part of refractive index" : "Real part of refractive index");
    if (!myIndex) {
        myDiagram[0]->hide();
        myDiagram[1]->hide();
        return;
    }
    const TMapAxes axes = MapAxes(myOrientation, myGrid, false);
    const char* part = imag ? "\xCE\xBA" : "n"; // kappa

    if (StringGridShown() || LayerAnalysisOn()) {
        TProfile profile;
        if (LayerAnalysisOn() && CurrentProfile(*myIndex, axes, profile)) {
            if (StringGridShown()) {
                ShowGridText(SceneGridText(profile.values), false);
            } else {
                const TMapAxis& along = LayerAxis() == 0 ? axes.horizontal : axes.vertical;
                ShowProfile(myGraph, profile, imag ? TRealView::imag : TRealView::real, along,
                    std::string(imag ? "Extinction" : "Refractive index") + " " + CurrentLineText(axes), part);
            }
        } else if (!LayerAnalysisOn()) {
            ShowGridText(SceneGridText(*myIndex), true);
        }
        if (StringGridShown())
            ShowGridPage();
        else
            ShowProfilePage();
        return;
    }

    ShowMapsPage();
    TDiagramWidget* shown = myDiagram[imag ? 1 : 0];
    myDiagram[imag ? 0 : 1]->hide();
    ShowMap(shown, axes, *myIndex, imag ? TRealView::imag : TRealView::real,
        imag ? "Extinction coefficient \xCE\xBA" : "Refractive index n");
}

TDiagramWidget* TSceneWindow::DiagramToCopy() const { return myDiagram[ShowsImaginaryPart() ? 1 : 0]; }

} // namespace ksn::gui
