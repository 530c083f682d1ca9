#include "ComponentWindow.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>

namespace ksn::gui {

TComponentWindow::TComponentWindow(const TWindowTexts& texts, std::string componentMessage,
    std::string orientationMessage, QWidget* parent)
    : TDisplayWindow(texts, parent), myComponentMessage(std::move(componentMessage)),
      myOrientationMessage(std::move(orientationMessage))
{
    OptionRow()->addWidget(new QLabel("Component:"));
    myComponentGroup = new QButtonGroup(this);
    for (int k = 0; k < 3; ++k) {
        auto* button = new QRadioButton(ComponentName(k));
        button->setObjectName(QString("component") + ComponentName(k));
        button->setChecked(k == 0);
        myComponentGroup->addButton(button, k + 1);
        OptionRow()->addWidget(button);
    }
    OptionRow()->addSpacing(14);
    OptionRow()->addWidget(new QLabel("Fourier:"));
    myFourierGroup = new QButtonGroup(this);
    const char* names[] = {"None", "FFT", "IFFT"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(names[i]);
        button->setObjectName(QString("fourier") + names[i]);
        button->setChecked(i == 0);
        myFourierGroup->addButton(button, i);
        OptionRow()->addWidget(button);
    }
    OptionRow()->addSpacing(14);
    const auto redrawOnCheck = [this](int, bool checked) {
        if (checked)
            Redraw();
    };
    connect(myComponentGroup, &QButtonGroup::idToggled, this, redrawOnCheck);
    connect(myFourierGroup, &QButtonGroup::idToggled, this, redrawOnCheck);
    UpdateComponentButtons();
}

bool TComponentWindow::Display(int orientation, const TGridParms& grid, TComplexArray array, int component)
{
    if (component < 1 || component > 3) {
        ShowMessage(myComponentMessage);
        return false;
    }
    if (!IsOrientation(orientation)) {
        ShowMessage(myOrientationMessage);
        return false;
    }
    array.ToCartesian();
    // The window shows one cross-section: components of another orientation or size
    // (a previous cut, a previous load) go when the first of a new one arrives.
    for (auto& other : myArrays)
        if (other && (orientation != myOrientation || other->Nx() != array.Nx() || other->Ny() != array.Ny()))
            other.reset();
    myArrays[size_t(component - 1)] = std::move(array);
    myOrientation = orientation;
    myGrid = grid;
    UpdateComponentButtons();
    Changed();
    return true;
}

void TComponentWindow::Clear()
{
    for (auto& a : myArrays)
        a.reset();
    UpdateComponentButtons();
    Redraw();
}

bool TComponentWindow::HasComponent(int component) const
{
    return component >= 1 && component <= 3 && myArrays[size_t(component - 1)].has_value();
}

int TComponentWindow::SelectedComponent() const { return myComponentGroup->checkedId(); }

TFourierView TComponentWindow::FourierView() const
{
    switch (myFourierGroup->checkedId()) {
    case 1:
        return TFourierView::fft;
    case 2:
        return TFourierView::ifft;
    default:
        return TFourierView::none;
    }
}

std::string TComponentWindow::FourierSuffix() const
{
    switch (FourierView()) {
    case TFourierView::fft:
        return " (FFT)";
    case TFourierView::ifft:
        return " (IFFT)";
    default:
        return "";
    }
}

// Only components that have arrived can be chosen; a scalar field offers Ex alone.
void TComponentWindow::UpdateComponentButtons()
{
    for (int k = 1; k <= 3; ++k)
        myComponentGroup->button(k)->setEnabled(HasComponent(k) || k == 1);
    if (!HasComponent(SelectedComponent()))
        for (int k = 1; k <= 3; ++k)
            if (HasComponent(k)) {
                const QSignalBlocker block(myComponentGroup);
                myComponentGroup->button(k)->setChecked(true);
                break;
            }
}

void TComponentWindow::PrepareViews()
{
    const TFourierView view = FourierView();
    for (size_t k = 0; k < 3; ++k) {
        if (!myArrays[k])
            continue;
        myViews[k] = *myArrays[k];
        ClipParts(myViews[k], ClipLevel());
        if (!ApplyFourierView(myViews[k], view)) {
            {
                const QSignalBlocker block(myFourierGroup);
                myFourierGroup->button(0)->setChecked(true);
            }
            ShowMessage("The Fourier view needs sides that are powers of two; this map has " +
                        std::to_string(myViews[k].Nx()) + " x " + std::to_string(myViews[k].Ny()) + " cells.");
            PrepareViews();
            return;
        }
    }
}

TMapAxes TComponentWindow::Axes() const { return MapAxes(myOrientation, myGrid, FourierView() == TFourierView::fft); }

TComplexArray* TComponentWindow::SelectedView()
{
    const int k = SelectedComponent();
    if (HasComponent(k))
        return &myViews[size_t(k - 1)];
    for (size_t i = 0; i < 3; ++i)
        if (myArrays[i])
            return &myViews[i];
    return nullptr;
}

} // namespace ksn::gui
