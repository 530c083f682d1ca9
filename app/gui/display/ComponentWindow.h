#pragma once
// The part the amplitude window and the real-and-imaginary-part window share: one
// array per field component (Ex, Ey, Ez) as handed over, the component buttons that
// choose what the string grid, the layer analysis and the clipboard take, and the
// Fourier view ("None", "FFT", "IFFT") applied to every component.
#include "DisplayWindow.h"

#include <array>
#include <optional>

namespace ksn::gui {

class TComponentWindow : public TDisplayWindow {
    Q_OBJECT
public:
    // Component 1, 2, 3 = Ex, Ey, Ez; the window keeps the array until the next one of
    // that component arrives, or one of another orientation or size replaces the cut.
    // A component outside 1 … 3 or an unknown orientation shows the window's message
    // and stores nothing.
    bool Display(int orientation, const TGridParms& grid, TComplexArray array, int component);
    void Clear() override;
    bool HasComponent(int component) const;
    // The component the buttons choose (1 … 3).
    int SelectedComponent() const;
    TFourierView FourierView() const;

protected:
    TComponentWindow(const TWindowTexts& texts, std::string componentMessage, std::string orientationMessage,
        QWidget* parent);

    // The stored components as the Fourier view shows them, into myViews. A view that
    // cannot be transformed (a side not a power of two) shows why and falls back to
    // "None".
    void PrepareViews();
    TMapAxes Axes() const;
    // The view of the chosen component, or of the first one held when it has none.
    TComplexArray* SelectedView();
    static const char* ComponentName(int k) { return k == 0 ? "Ex" : k == 1 ? "Ey" : "Ez"; }
    std::string FourierSuffix() const;

    std::array<std::optional<TComplexArray>, 3> myArrays; // as handed over
    std::array<TComplexArray, 3> myViews;
    int myOrientation = kXY;
    TGridParms myGrid;

private:
    void UpdateComponentButtons();

    std::string myComponentMessage;
    std::string myOrientationMessage;
    QButtonGroup* myComponentGroup = nullptr;
    QButtonGroup* myFourierGroup = nullptr;
};

} // namespace ksn::gui
