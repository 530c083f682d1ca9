#pragma once
// The amplitude window ("Amplitude"): the modulus of Ex, Ey and Ez in three diagrams,
// or with "full amplitude" the modulus of sqrt(Ex*Ex + Ey*Ey + Ez*Ez) in the first one.
// Its layer analysis plots the modulus of the chosen component (or of the full
// amplitude) along the line.
#include "ComponentWindow.h"

class QCheckBox;

namespace ksn::gui {

class TAmplitudeWindow : public TComponentWindow {
    Q_OBJECT
public:
    explicit TAmplitudeWindow(QWidget* parent = nullptr);
    bool FullAmplitudeOn() const;

protected:
    void Rebuild() override;
    TDiagramWidget* DiagramToCopy() const override;

private:
    void FullAmplitudeToggled(bool on);
    bool PrepareFullAmplitude();

    QCheckBox* myFullCheck = nullptr;
    std::array<TDiagramWidget*, 3> myDiagram{};
    TGraphWidget* myGraph = nullptr;
    TComplexArray myFull;
};

} // namespace ksn::gui
