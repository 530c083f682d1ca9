#include "FieldWindow.h"

#include <QBoxLayout>
#include <QCheckBox>

namespace ksn::gui {

TFieldWindow::TFieldWindow(QWidget* parent)
    : TComponentWindow({"Real and imaginary part of the E-field", "Real and imaginary part of the E-field",
                           "Error. Cannot convert String to Integer (Zoom of NGrid-Display).", false, "Number Format",
                           "Layer Analysis"},
          "Error in TForm3.display(). Invalid axes.", "Error in TForm3.display(). Invalid axes.", parent)
{
    myRealCheck = new QCheckBox("real");
    myImagCheck = new QCheckBox("imag");
    myRealCheck->setObjectName("realCheck");
    myImagCheck->setObjectName("imagCheck");
    myRealCheck->setChecked(true);
    myImagCheck->setChecked(true);
    OptionRow()->addWidget(myRealCheck);
    OptionRow()->addWidget(myImagCheck);
    OptionRow()->addStretch(1);
    for (int k = 0; k < 3; ++k)
        myDiagram[size_t(k)] = AddDiagram(TReadOut::realE, 0, k);
    for (int k = 0; k < 3; ++k)
        myDiagram[size_t(k + 3)] = AddDiagram(TReadOut::imagE, 1, k);
    myRealGraph = AddGraph();
    myImagGraph = AddGraph();
    connect(myRealCheck, &QCheckBox::toggled, this, &TFieldWindow::Redraw);
    connect(myImagCheck, &QCheckBox::toggled, this, &TFieldWindow::Redraw);
}

void TFieldWindow::Rebuild()
{
    PrepareViews();
    const TMapAxes axes = Axes();
    const std::string suffix = FourierSuffix();
    const bool real = myRealCheck->isChecked(), imag = myImagCheck->isChecked();

    if (StringGridShown() || LayerAnalysisOn()) {
        TComplexArray* selected = SelectedView();
        const std::string name = ComponentName(SelectedComponent() - 1);
        TProfile profile;
        if (!selected) {
            ShowGridText({}, true);
        } else if (LayerAnalysisOn() && CurrentProfile(*selected, axes, profile)) {
            if (StringGridShown()) {
                ShowGridOf(profile.values);
            } else {
                const TMapAxis& along = LayerAxis() == 0 ? axes.horizontal : axes.vertical;
                if (real)
                    ShowProfile(myRealGraph, profile, TRealView::real, along,
                        "Re(" + name + ")" + suffix + " " + CurrentLineText(axes), "Re(" + name + ")");
                else
                    myRealGraph->hide();
                if (imag)
                    ShowProfile(myImagGraph, profile, TRealView::imag, along,
                        "Im(" + name + ")" + suffix + " " + CurrentLineText(axes), "Im(" + name + ")");
                else
                    myImagGraph->hide();
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
    for (size_t k = 0; k < 3; ++k) {
        const std::string name = ComponentName(int(k));
        if (myArrays[k] && real)
            ShowMap(myDiagram[k], axes, myViews[k], TRealView::real, "Re(" + name + ")" + suffix);
        else
            myDiagram[k]->hide();
        if (myArrays[k] && imag)
            ShowMap(myDiagram[k + 3], axes, myViews[k], TRealView::imag, "Im(" + name + ")" + suffix);
        else
            myDiagram[k + 3]->hide();
    }
}

TDiagramWidget* TFieldWindow::DiagramToCopy() const
{
    const size_t k = size_t(SelectedComponent() - 1);
    return myRealCheck->isChecked() ? myDiagram[k] : myDiagram[k + 3];
}

} // namespace ksn::gui
