#pragma once
// The intensity window ("Intensity"): one diagram of a real map (the intensity, the
// local absorption or the energy flux, as the label says), optionally its spectrum
// ("Show Spectrum"); the layer analysis plots the modulus along the line.
#include "DisplayWindow.h"

#include <optional>

class QCheckBox;

namespace ksn::gui {

class TIntensityWindow : public TDisplayWindow {
    Q_OBJECT
public:
    explicit TIntensityWindow(QWidget* parent = nullptr);

    // Copies the map into a complex array with zero imaginary part. An unknown
    // orientation shows "TForm5.Display(). Invalid axis." and stores nothing.
    bool Display(int orientation, const TGridParms& grid, const TRealArray& intensity);
    void Clear() override;
    bool HasMap() const { return myMap.has_value(); }
    // Replaces the label text ("Wave intensity", "Local absorption", "Energy flux"),
    // which also titles the diagram.
    void SetCaptionText(const QString& text);
    QString CaptionText() const { return myCaption; }
    bool SpectrumShown() const;

protected:
    void Rebuild() override;
    TDiagramWidget* DiagramToCopy() const override { return myDiagram; }

private:
    QCheckBox* mySpectrumCheck = nullptr;
    TDiagramWidget* myDiagram = nullptr;
    TGraphWidget* myGraph = nullptr;
    QString myCaption = "Wave Intensity";
    std::optional<TComplexArray> myMap;
    TComplexArray myView;
    int myOrientation = kXY;
    TGridParms myGrid;
};

} // namespace ksn::gui
