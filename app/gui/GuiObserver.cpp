#include "GuiObserver.h"

#include "field/ScalarEField.h"
#include "field/VectorEField.h"
#include "scene/BrelScenes.h"

#include <QMetaObject>
#include <QThread>

namespace ksn::gui {

TGuiObserver::TGuiObserver(QObject* parent) : QObject(parent) {}

void TGuiObserver::Enqueue(bool message, const std::string& text)
{
    // On the window thread (its own handlers) the entry is delivered at once, after
    // whatever a run has queued before it.
    const bool windowThread = QThread::currentThread() == thread();
    bool post = false;
    {
        const std::lock_guard lock(myMutex);
        // A message repeated back to back travels once, with its count.
        if (message && !myPending.empty() && myPending.back().message && myPending.back().text == text)
            ++myPending.back().count;
        else
            myPending.push_back({message, text, 1});
        post = !windowThread && !myDeliveryPosted;
        if (post)
            myDeliveryPosted = true;
    }
    if (windowThread)
        Deliver();
    else if (post)
        QMetaObject::invokeMethod(this, [this] { Deliver(); }, Qt::QueuedConnection);
}

void TGuiObserver::Deliver()
{
    std::vector<TEntry> batch;
    {
        const std::lock_guard lock(myMutex);
        batch.swap(myPending);
        myDeliveryPosted = false;
    }
    for (const TEntry& e : batch) {
        if (e.message)
            emit MessageArrived(QString::fromStdString(e.text), e.count);
        else
            emit LogArrived(QString::fromStdString(e.text));
    }
}

void TGuiObserver::ShowMessage(const std::string& text) { Enqueue(true, text); }

void TGuiObserver::LogLine(const std::string& line) { Enqueue(false, line); }

void TGuiObserver::SliceProgress(int slice, int slices)
{
    mySlice.store(slice);
    mySlices.store(slices);
    if (!myProgressPosted.exchange(true))
        QMetaObject::invokeMethod(this, [this] { DeliverProgress(); }, Qt::QueuedConnection);
}

void TGuiObserver::DeliverProgress()
{
    myProgressPosted.store(false);
    emit ProgressArrived(mySlice.load(), mySlices.load());
}

void TGuiObserver::RunProgress(int run, int runs)
{
    QMetaObject::invokeMethod(this, [this, run, runs] { emit RunProgressArrived(run, runs); }, Qt::QueuedConnection);
}

void TGuiObserver::VariationDone(int, int)
{
    if (myVariationHook)
        myVariationHook();
    if (!myVariationPosted.exchange(true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                myVariationPosted.store(false);
                emit VariationArrived();
            },
            Qt::QueuedConnection);
}

void TGuiObserver::SetPlotFlags(const TPlotFlags& flags)
{
    myAmplitude.store(flags.amplitude);
    myField.store(flags.field);
    myIntensity.store(flags.intensity);
    myAbsorption.store(flags.absorption);
    myEnergyFlux.store(flags.energyFlux);
    myScene.store(flags.scene);
}

TPlotFlags TGuiObserver::PlotFlags() const
{
    TPlotFlags f;
    f.amplitude = myAmplitude.load();
    f.field = myField.load();
    f.intensity = myIntensity.load();
    f.absorption = myAbsorption.load();
    f.energyFlux = myEnergyFlux.load();
    f.scene = myScene.load();
    return f;
}

namespace {

std::vector<TComplexArray> CopyComponents(const TField& field)
{
    if (const auto* v = dynamic_cast<const TVectorEField*>(&field))
        return {v->EX(), v->EY(), v->EZ()};
    if (const auto* s = dynamic_cast<const TScalarEField*>(&field))
        return {s->E()};
    return {};
}

// |E|^2 = |Ex|^2 + |Ey|^2 + |Ez|^2 per point, the squared magnitude the intensity
// window shows while the run goes on (the run's own intensity maps follow after the
// sweeps).
void SquaredMagnitude(const std::vector<TComplexArray>& components, TRealArray& out)
{
    if (components.empty())
        return;
    const int nx = components[0].Nx(), ny = components[0].Ny();
    out = TRealArray(nx, ny);
    double* o = out.Data();
    const size_t n = size_t(nx) * size_t(ny);
    for (const TComplexArray& c : components) {
        const double* re = c.Re();
        const double* im = c.Im();
        for (size_t i = 0; i < n; ++i)
            o[i] += re[i] * re[i] + im[i] * im[i];
    }
}

// The slice's local absorption, as the run computes it after the sweeps:
//   a = 4*pi*|E|^2*kappa/lambda * dz / (nx*ny)   (lambda and dz in metres)
void LocalAbsorption(const TRealArray& squared, const TComplexArray& index, const TGridParms& g, double lambda,
    TRealArray& out)
{
    out = TRealArray(squared.Nx(), squared.Ny());
    if (!(lambda > 0) || index.Nx() != squared.Nx() || index.Ny() != squared.Ny() || g.nx == 0 || g.ny == 0)
        return;
    const double pi = 3.14159265358979323846;
    const double scale = 4.0 * pi / lambda * double(g.ToMetres(g.dz)) / g.nx / g.ny;
    const double* kappa = index.Im();
    const double* s = squared.Data();
    double* o = out.Data();
    const size_t n = size_t(squared.Nx()) * size_t(squared.Ny());
    for (size_t i = 0; i < n; ++i)
        o[i] = scale * s[i] * kappa[i];
}

} // namespace

void TGuiObserver::SliceComputed(int z, int pass, const TField& field, const TBrelScenes& scene)
{
    if (!myTransverse.load())
        return;
    const TPlotFlags flags = PlotFlags();
    if (!flags.Any())
        return;
    TSliceSnapshot snap;
    snap.z = z;
    snap.pass = pass;
    snap.grid = field.Grid();
    std::vector<TComplexArray> components = CopyComponents(field);
    // The scene hands out its levels through non-const queries; the level of the slice
    // just computed is the one the run holds, so asking for it changes nothing.
    auto& sceneQuery = const_cast<TBrelScenes&>(scene);
    const TComplexArray* level = (flags.scene || flags.absorption) ? sceneQuery.GetLevel(z) : nullptr;
    if (flags.intensity || flags.absorption) {
        TRealArray squared;
        SquaredMagnitude(components, squared);
        if (flags.intensity) {
            snap.map = std::move(squared);
        } else if (level) {
            LocalAbsorption(squared, *level, snap.grid, field.GetLambda(), snap.map);
        }
        snap.hasMap = snap.map.Count() > 0;
    } else if (flags.energyFlux) {
        // The field's energy-flux map (the step fills it); its accessor is not const.
        const TComplexArray& flux = const_cast<TField&>(field).EnergyFluxMap();
        snap.map = TRealArray(flux.Nx(), flux.Ny());
        const size_t n = size_t(flux.Nx()) * size_t(flux.Ny());
        for (size_t i = 0; i < n; ++i)
            snap.map.Data()[i] = flux.Re()[i];
        snap.hasMap = true;
    }
    if (flags.scene && level) {
        snap.index = *level;
        snap.hasIndex = true;
    }
    if (flags.amplitude || flags.field)
        snap.components = std::move(components);
    mySlicesHandedOver.fetch_add(1);
    bool post = false;
    {
        const std::lock_guard lock(mySliceMutex);
        post = !myLatestSlice.has_value();
        myLatestSlice = std::move(snap);
    }
    if (post)
        QMetaObject::invokeMethod(this, [this] { emit SliceArrived(); }, Qt::QueuedConnection);
}

std::optional<TSliceSnapshot> TGuiObserver::TakeSlice()
{
    const std::lock_guard lock(mySliceMutex);
    std::optional<TSliceSnapshot> out;
    out.swap(myLatestSlice);
    return out;
}

} // namespace ksn::gui
