#pragma once
// The four display windows (amplitude, real and imaginary part of the field, scene,
// intensity) as the main window sees them. Each window is passive: it is handed an
// orientation (0 = xz, 1 = xy, 2 = yz), the grid and an array, keeps its own copy and
// redraws from that copy when its own controls change. All calls on the window thread.
#include "config/Records.h"
#include "numerics/ComplexArray.h"
#include "numerics/RealArray.h"

#include <QObject>

class QWidget;

namespace ksn::gui {

class TAmplitudeWindow;  // "Amplitude"
class TFieldWindow;      // "Real and imaginary part of the E-field"
class TSceneWindow;      // "Scene"
class TIntensityWindow;  // "Intensity"

enum class TDisplayKind { amplitude, field, scene, intensity };

class TDisplayWindows : public QObject {
    Q_OBJECT
public:
    explicit TDisplayWindows(QWidget* parent = nullptr);
    ~TDisplayWindows() override;

    // The main window's plot check boxes show and hide the windows.
    void SetShown(TDisplayKind kind, bool shown);
    bool IsShown(TDisplayKind kind) const;

    // Component 1, 2, 3 = Ex, Ey, Ez (a scalar field shows as component 1).
    void DisplayAmplitude(int orientation, const TGridParms& grid, const TComplexArray& array, int component);
    void DisplayField(int orientation, const TGridParms& grid, const TComplexArray& array, int component);
    // The complex refractive index n + i kappa of the cross-section.
    void DisplayScene(int orientation, const TGridParms& grid, const TComplexArray& index);
    void DisplayIntensity(int orientation, const TGridParms& grid, const TRealArray& intensity);

    TAmplitudeWindow* Amplitude() const;
    TFieldWindow* Field() const;
    TSceneWindow* Scene() const;
    TIntensityWindow* Intensity() const;

private:
    struct TImpl;
    TImpl* myImpl;
};

} // namespace ksn::gui
