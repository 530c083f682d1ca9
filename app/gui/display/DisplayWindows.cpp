#include "DisplayWindows.h"

#include "AmplitudeWindow.h"
#include "FieldWindow.h"
#include "IntensityWindow.h"
#include "SceneWindow.h"

#include <QWidget>

namespace ksn::gui {

namespace {

constexpr TDisplayKind kKinds[] = {
    TDisplayKind::amplitude, TDisplayKind::field, TDisplayKind::scene, TDisplayKind::intensity};

} // namespace

struct TDisplayWindows::TImpl {
    TAmplitudeWindow* amplitude = nullptr;
    TFieldWindow* field = nullptr;
    TSceneWindow* scene = nullptr;
    TIntensityWindow* intensity = nullptr;

    TDisplayWindow* Window(TDisplayKind kind) const
    {
        switch (kind) {
        case TDisplayKind::amplitude:
            return amplitude;
        case TDisplayKind::field:
            return field;
        case TDisplayKind::scene:
            return scene;
        default:
            return intensity;
        }
    }
};

// The windows are top-level windows; with a parent they close and die with it.
TDisplayWindows::TDisplayWindows(QWidget* parent) : QObject(parent), myImpl(new TImpl)
{
    myImpl->amplitude = new TAmplitudeWindow(parent);
    myImpl->field = new TFieldWindow(parent);
    myImpl->scene = new TSceneWindow(parent);
    myImpl->intensity = new TIntensityWindow(parent);
    const auto costs = std::make_shared<TRefreshCosts>();
    for (TDisplayKind kind : kKinds) {
        myImpl->Window(kind)->SetRefreshCosts(costs);
        connect(myImpl->Window(kind), &TDisplayWindow::Closed, this, [this, kind] { emit Closed(kind); });
    }
}

TDisplayWindows::~TDisplayWindows()
{
    // Without a parent the windows are this object's to delete.
    for (TDisplayKind kind : kKinds)
        if (TDisplayWindow* w = myImpl->Window(kind); w && !w->parent())
            delete w;
    delete myImpl;
}

void TDisplayWindows::SetShown(TDisplayKind kind, bool shown) { myImpl->Window(kind)->setVisible(shown); }

bool TDisplayWindows::IsShown(TDisplayKind kind) const { return myImpl->Window(kind)->isVisible(); }

void TDisplayWindows::DisplayAmplitude(
    int orientation, const TGridParms& grid, const TComplexArray& array, int component)
{
    myImpl->amplitude->Display(orientation, grid, array, component);
}

void TDisplayWindows::DisplayField(int orientation, const TGridParms& grid, const TComplexArray& array, int component)
{
    myImpl->field->Display(orientation, grid, array, component);
}

void TDisplayWindows::DisplayScene(int orientation, const TGridParms& grid, const TComplexArray& index)
{
    myImpl->scene->Display(orientation, grid, index);
}

void TDisplayWindows::DisplayIntensity(int orientation, const TGridParms& grid, const TRealArray& intensity)
{
    myImpl->intensity->Display(orientation, grid, intensity);
}

void TDisplayWindows::DisplayAmplitude(int orientation, const TGridParms& grid, TComplexArray&& array, int component)
{
    myImpl->amplitude->Display(orientation, grid, std::move(array), component);
}

void TDisplayWindows::DisplayField(int orientation, const TGridParms& grid, TComplexArray&& array, int component)
{
    myImpl->field->Display(orientation, grid, std::move(array), component);
}

void TDisplayWindows::DisplayScene(int orientation, const TGridParms& grid, TComplexArray&& index)
{
    myImpl->scene->Display(orientation, grid, std::move(index));
}

void TDisplayWindows::SetIntensityCaption(const std::string& text)
{
    myImpl->intensity->SetCaptionText(QString::fromStdString(text));
}

void TDisplayWindows::SetClipLevel(double level)
{
    myImpl->amplitude->SetClipLevel(level);
    myImpl->field->SetClipLevel(level);
    myImpl->intensity->SetClipLevel(level);
}

void TDisplayWindows::Clear()
{
    for (TDisplayKind kind : kKinds)
        myImpl->Window(kind)->Clear();
}

void TDisplayWindows::SetMessageHandler(std::function<void(const std::string&)> handler)
{
    for (TDisplayKind kind : kKinds)
        myImpl->Window(kind)->SetMessageHandler(handler);
}

void TDisplayWindows::RefreshNow()
{
    for (TDisplayKind kind : kKinds)
        myImpl->Window(kind)->Refresh();
}

TAmplitudeWindow* TDisplayWindows::Amplitude() const { return myImpl->amplitude; }
TFieldWindow* TDisplayWindows::Field() const { return myImpl->field; }
TSceneWindow* TDisplayWindows::Scene() const { return myImpl->scene; }
TIntensityWindow* TDisplayWindows::Intensity() const { return myImpl->intensity; }

} // namespace ksn::gui
