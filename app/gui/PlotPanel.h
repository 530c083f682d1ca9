#pragma once
// Groups "Plot Options", "Plot Options - XSect", "Plot XSect" and "Clipping": which
// display windows the run feeds per slice, which cross-sections "Redraw" builds, the
// plane and level of the cross-section, and the clipping level.
#include "GuiObserver.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSlider;

namespace ksn::gui {

// Cross-section orientations as the display windows number them.
enum TOrientation { kXZ = 0, kXY = 1, kYZ = 2 };

class TPlotPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPlotPanel(QWidget* parent = nullptr);

    TPlotFlags Flags() const;
    QCheckBox* Amplitude() const { return myAmplitude; }
    QCheckBox* Field() const { return myField; }
    QCheckBox* Intensity() const { return myIntensity; }
    QCheckBox* Absorption() const { return myAbsorption; }
    QCheckBox* EnergyFlux() const { return myEnergyFlux; }
    QCheckBox* Scene() const { return myScene; }
    QCheckBox* XSectAmplitude() const { return myXAmplitude; }
    QCheckBox* XSectComponents() const { return myXComponents; }
    QCheckBox* XSectIntensity() const { return myXIntensity; }
    QRadioButton* OrientationButton(TOrientation o) const;
    QLineEdit* LevelEdit() const { return myLevelEdit; }
    QSlider* LevelBar() const { return myLevelBar; }
    QLineEdit* ClipEdit() const { return myClipEdit; }

    TOrientation Orientation() const;
    void SelectOrientation(TOrientation o);
    int Level() const;
    void SetLevelRange(int maximum);
    // -1: off.
    double ClipLevel() const { return myClipLevel; }
    void ResetClipping();

    // Unchecks the per-slice options that need a transverse plane (a 2-D configuration).
    void UncheckTransverseOptions();
    // The cross-section options "|E| …", "Re(Ex) …" and " I/Abs/EFlux/CEff".
    void SetXSectOptionsEnabled(bool on);
    void UncheckXSectOptions();
    // Load step: "xz" usable only with X != 0, "yz" only with Y != 0, the track bar only
    // with both.
    void SetOrientationsAvailable(bool xz, bool yz);

signals:
    void FlagsChanged();
    // The orientation or the level changed (the track bar redraws).
    void XSectChanged();
    void LevelMoved();
    // The clipping level (-1: off).
    void ClipChanged(double level);

private:
    QCheckBox* Box(const QString& caption, const char* onText, const char* offText);
    void Exclude(QCheckBox* checked);

    QCheckBox* myAmplitude;
    QCheckBox* myField;
    QCheckBox* myIntensity;
    QCheckBox* myAbsorption;
    QCheckBox* myEnergyFlux;
    QCheckBox* myScene;
    QCheckBox* myXAmplitude;
    QCheckBox* myXComponents;
    QCheckBox* myXIntensity;
    QRadioButton* myXY;
    QRadioButton* myXZ;
    QRadioButton* myYZ;
    QLineEdit* myLevelEdit;
    QSlider* myLevelBar;
    QLineEdit* myClipEdit;
    double myClipLevel = -1;
};

} // namespace ksn::gui
