#pragma once
// The four display windows (amplitude, real and imaginary part of the field, scene,
// intensity) as the main window sees them. Each window is passive: it is handed an
// orientation (0 = xz, 1 = xy, 2 = yz), the grid and an array, keeps its own copy and
// redraws from that copy when its own controls change. All calls on the window thread.
#include "config/Records.h"
#include "numerics/ComplexArray.h"
#include "numerics/RealArray.h"

#include <QObject>

#include <functional>
#include <string>

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

    // The same with an array the caller gives up (a copy made for the hand-over): moved,
    // not copied again.
    void DisplayAmplitude(int orientation, const TGridParms& grid, TComplexArray&& array, int component);
    void DisplayField(int orientation, const TGridParms& grid, TComplexArray&& array, int component);
    void DisplayScene(int orientation, const TGridParms& grid, TComplexArray&& index);

    // The intensity window's label and diagram title: "Wave intensity", "Local
    // absorption" or "Energy flux", as the plot option that feeds it.
    void SetIntensityCaption(const std::string& text);
    // The clipping level of the main window (-1: off): the amplitude, field and
    // intensity windows clip every real and imaginary part they show to +-level.
    void SetClipLevel(double level);
    // Drops every array the windows hold (a new load: nothing of the old grid stays).
    void Clear();
    // Where the windows' messages go (the main window's message box); without a
    // handler each window shows its own message box.
    void SetMessageHandler(std::function<void(const std::string&)> handler);
    // Each Display* call only stores its array; the windows turn what they hold into
    // pictures at most once a screen frame. This does it now (before a screenshot).
    void RefreshNow();

    TAmplitudeWindow* Amplitude() const;
    TFieldWindow* Field() const;
    TSceneWindow* Scene() const;
    TIntensityWindow* Intensity() const;

signals:
    // The user closed a window with its title-bar button: its plot option goes off.
    void Closed(ksn::gui::TDisplayKind kind);

private:
    struct TImpl;
    TImpl* myImpl;
};

} // namespace ksn::gui
