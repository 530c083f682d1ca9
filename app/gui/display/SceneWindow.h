#pragma once
// The scene window ("Scene"): the complex refractive index n + i*kappa of the
// cross-section, its real part in the first diagram ("real(n)") and its imaginary
// part in the second ("imag(n)"); the buttons choose which one is shown, profiled and
// copied. The string grid writes every index as "<n>+<kappa>i".
#include "DisplayWindow.h"

#include <optional>

namespace ksn::gui {

class TSceneWindow : public TDisplayWindow {
    Q_OBJECT
public:
    explicit TSceneWindow(QWidget* parent = nullptr);

    // An unknown orientation shows "TForm2.display() : Error in XSect. Unknown
    // orientation." and stores nothing.
    bool Display(int orientation, const TGridParms& grid, TComplexArray index);
    void Clear() override;
    bool HasIndex() const { return myIndex.has_value(); }
    // True while "imag(n)" is chosen.
    bool ShowsImaginaryPart() const;

protected:
    void Rebuild() override;
    TDiagramWidget* DiagramToCopy() const override;

private:
    QButtonGroup* myPartGroup = nullptr;
    std::array<TDiagramWidget*, 2> myDiagram{};
    TGraphWidget* myGraph = nullptr;
    std::optional<TComplexArray> myIndex;
    int myOrientation = kXY;
    TGridParms myGrid;
};

} // namespace ksn::gui
