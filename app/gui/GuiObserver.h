#pragma once
// The run observer of the desktop program. The core calls it on the thread that runs
// the load or the run; everything it receives is handed to the window thread through
// queued calls, batched so that a fast run cannot flood the window's event queue:
//  - message boxes and log lines are collected and delivered in order, a message
//    repeated back to back travelling once with its count;
//  - progress is coalesced: the window sees the latest slice, never a backlog;
//  - the per-slice display hand-over copies what the plot options ask for before the
//    run goes on (the run reuses its working field), and keeps only the latest copy
//    the window has not yet taken.
#include "control/RunObserver.h"
#include "config/Records.h"
#include "numerics/ComplexArray.h"
#include "numerics/RealArray.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ksn::gui {

// Which display windows are fed per slice (the plot options).
struct TPlotFlags {
    bool amplitude = false;  // "Plot Amplitude"
    bool field = false;      // "Plot E-field [Re(), Im()]"
    bool intensity = false;  // "Plot Intensity"
    bool absorption = false; // "Plot Absorption"
    bool energyFlux = false; // "Plot Energy flux"
    bool scene = false;      // "Plot Scene"
    bool AnyField() const { return amplitude || field || intensity || absorption || energyFlux; }
    bool Any() const { return AnyField() || scene; }
};

// What the window shows of one slice: copies, owned by the snapshot.
struct TSliceSnapshot {
    int z = 0;
    int pass = 0;
    TGridParms grid;
    std::vector<TComplexArray> components; // Ex, Ey, Ez (one array for a scalar field)
    bool hasMap = false;                   // intensity, absorption or energy flux
    TRealArray map;
    bool hasIndex = false;
    TComplexArray index;
};

class TGuiObserver : public QObject, public TRunObserver {
    Q_OBJECT
public:
    explicit TGuiObserver(QObject* parent = nullptr);

    // Any thread.
    void ShowMessage(const std::string& text) override;
    void LogLine(const std::string& line) override;
    void SliceProgress(int slice, int slices) override;
    void RunProgress(int run, int runs) override;
    void SliceComputed(int z, int pass, const TField& field, const TBrelScenes& scene) override;
    // Calls the variation hook (on the run thread, while the series holds run j's
    // point), then tells the window; coalesced like the progress.
    void VariationDone(int run, int runs) override;
    void SetVariationHook(std::function<void()> hook) { myVariationHook = std::move(hook); }

    // Window thread, before and during a run: which copies the hand-over makes. The
    // hand-over runs only when both transverse extents are non-zero.
    void SetPlotFlags(const TPlotFlags& flags);
    TPlotFlags PlotFlags() const;
    void SetTransverse(bool on) { myTransverse.store(on); }

    // Window thread: the latest slice copy not yet taken.
    std::optional<TSliceSnapshot> TakeSlice();
    // Slices handed over since the counter was last reset (copies made, taken or not).
    int SlicesHandedOver() const { return mySlicesHandedOver.load(); }
    void ResetCounters() { mySlicesHandedOver.store(0); }

signals:
    // Delivered on the window thread, in the order the core reported.
    void MessageArrived(const QString& text, int count);
    void LogArrived(const QString& line);
    void ProgressArrived(int slice, int slices);
    void RunProgressArrived(int run, int runs);
    void SliceArrived();
    void VariationArrived();

private:
    // One entry of the ordered batch: a message (with repeat count) or a log line.
    struct TEntry {
        bool message = false;
        std::string text;
        int count = 1;
    };
    void Enqueue(bool message, const std::string& text);
    void Deliver();
    void DeliverProgress();

    std::mutex myMutex;
    std::vector<TEntry> myPending;
    bool myDeliveryPosted = false;

    std::atomic<int> mySlice{0};
    std::atomic<int> mySlices{0};
    std::atomic<bool> myProgressPosted{false};

    std::atomic<bool> myAmplitude{false}, myField{false}, myIntensity{false}, myAbsorption{false},
        myEnergyFlux{false}, myScene{false};
    std::atomic<bool> myTransverse{true};
    std::mutex mySliceMutex;
    std::optional<TSliceSnapshot> myLatestSlice;
    std::atomic<int> mySlicesHandedOver{0};
    std::function<void()> myVariationHook;
    std::atomic<bool> myVariationPosted{false};
};

} // namespace ksn::gui
