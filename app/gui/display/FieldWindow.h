#pragma once
// The window "Real and imaginary part of the E-field": the real parts of Ex, Ey, Ez in
// the upper row of diagrams and their imaginary parts in the lower one ("real" and
// "imag" show or hide a row). Its layer analysis plots the real and the imaginary part
// of the chosen component along the line, one graph each.
#include "ComponentWindow.h"

class QCheckBox;

namespace ksn::gui {

class TFieldWindow : public TComponentWindow {
    Q_OBJECT
public:
    explicit TFieldWindow(QWidget* parent = nullptr);

protected:
    void Rebuild() override;
    TDiagramWidget* DiagramToCopy() const override;

private:
    QCheckBox* myRealCheck = nullptr;
    QCheckBox* myImagCheck = nullptr;
    std::array<TDiagramWidget*, 6> myDiagram{};
    TGraphWidget* myRealGraph = nullptr;
    TGraphWidget* myImagGraph = nullptr;
};

} // namespace ksn::gui
