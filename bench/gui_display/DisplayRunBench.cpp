// What the display windows cost a run. The run goes on a thread of its own, as the
// desktop program runs it; its observer copies each slice of the forward sweep (the
// field components, the intensity map and the index slice) and queues the copies to
// the window thread, where the four shown windows take them and repaint at most once a
// screen frame. Against it: the same run with no observer. Wall time from the start of
// the run until the windows show its last slice.
//
// Arguments: windows (0 none, 1 all four shown, 2 all four fed but hidden: the
// hand-over without the drawing), method (0 swpm, 1 vbpmf), grid side (the
// example's 32, or the same scene on a finer grid).
#include "control/SimulationDriver.h"
#include "display/DisplayWindows.h"
#include "field/ScalarEField.h"
#include "field/VectorEField.h"

#include <QApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>
#include <time.h>

namespace {

using namespace ksn;
using namespace ksn::gui;

QApplication& Application()
{
    static int argc = 1;
    static char name[] = "gui_display_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

// The example on an n x n grid of the same extent (n = 32 is the file as it is).
std::string ExampleFile(int n)
{
    const std::string source = KSN_SOURCE_DIR "/examples/waveguide.ini";
    if (n == 32)
        return source;
    std::ifstream in(source);
    std::stringstream text;
    text << in.rdbuf();
    std::string ini = std::regex_replace(text.str(), std::regex("\nnx=32"), "\nnx=" + std::to_string(n));
    ini = std::regex_replace(ini, std::regex("\nny=32"), "\nny=" + std::to_string(n));
    const auto path = std::filesystem::temp_directory_path() / ("ksn_display_bench_" + std::to_string(n) + ".ini");
    std::ofstream(path) << ini;
    return path.string();
}

struct TSliceCopy {
    std::array<std::optional<TComplexArray>, 3> e;
    TRealArray intensity;
    std::optional<TComplexArray> index;
};

// The desktop program's hand-over: copies on the run thread, drawing on the window thread.
class TQueuedFeed : public TRunObserver {
public:
    TQueuedFeed(TDisplayWindows& windows, TBrelScenes& scene, const TGridParms& grid)
        : myWindows(windows), myScene(scene), myGrid(grid)
    {
    }
    void ShowMessage(const std::string&) override {}
    void LogLine(const std::string&) override {}
    void SliceComputed(int z, int pass, const TField& field, const TBrelScenes&) override
    {
        if (pass != 0)
            return;
        auto slice = std::make_shared<TSliceCopy>();
        if (const auto* v = dynamic_cast<const TVectorEField*>(&field)) {
            slice->e[0] = v->EX();
            slice->e[1] = v->EY();
            slice->e[2] = v->EZ();
        } else if (const auto* s = dynamic_cast<const TScalarEField*>(&field)) {
            slice->e[0] = s->E();
        }
        slice->intensity = const_cast<TField&>(field).IntensityMap();
        if (const TComplexArray* n = myScene.GetLevel(z))
            slice->index = *n;
        TDisplayWindows* windows = &myWindows;
        const TGridParms grid = myGrid;
        QMetaObject::invokeMethod(
            windows,
            [windows, grid, slice] {
                for (int k = 0; k < 3; ++k)
                    if (slice->e[size_t(k)]) {
                        windows->DisplayAmplitude(1, grid, *slice->e[size_t(k)], k + 1);
                        windows->DisplayField(1, grid, std::move(*slice->e[size_t(k)]), k + 1);
                    }
                windows->DisplayIntensity(1, grid, slice->intensity);
                if (slice->index)
                    windows->DisplayScene(1, grid, std::move(*slice->index));
            },
            Qt::QueuedConnection);
    }

private:
    TDisplayWindows& myWindows;
    TBrelScenes& myScene;
    TGridParms myGrid;
};

class TQuietObserver : public TRunObserver {
public:
    void ShowMessage(const std::string&) override {}
    void LogLine(const std::string&) override {}
};

void BM_RunWithDisplays(benchmark::State& state)
{
    QApplication& app = Application();
    const bool fed = state.range(0) != 0;
    const bool shown = state.range(0) == 1;
    TSimulationDriver driver;
    TQuietObserver quiet;
    driver.SetObserver(&quiet);
    if (!driver.Open(ExampleFile(int(state.range(2))))) {
        state.SkipWithError("cannot load the example");
        return;
    }
    driver.Configuration().global.simMethod = state.range(1) ? TSimMethod::vbpmf : TSimMethod::swpm;
    driver.UpdateScene();
    TDisplayWindows windows;
    windows.SetMessageHandler([](const std::string&) {});
    for (TDisplayKind k : {TDisplayKind::amplitude, TDisplayKind::field, TDisplayKind::scene, TDisplayKind::intensity})
        windows.SetShown(k, shown);
    TQueuedFeed feed(windows, *driver.Scene(), driver.Configuration().grid);
    driver.SetObserver(fed ? static_cast<TRunObserver*>(&feed) : &quiet);
    app.processEvents();

    double runCpuMs = 0;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        const auto start = std::chrono::steady_clock::now();
        std::thread run([&] {
            driver.Run();
            timespec cpu{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
            runCpuMs += cpu.tv_sec * 1e3 + cpu.tv_nsec * 1e-6;
            done = true;
            QMetaObject::invokeMethod(&windows, [] {}, Qt::QueuedConnection); // wakes the loop
        });
        while (!done)
            app.processEvents(QEventLoop::WaitForMoreEvents);
        run.join();
        app.processEvents(); // the last slice's hand-over
        windows.RefreshNow();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    // The run thread's own processor time: what the run costs apart from waiting for a
    // processor (the machine's other load and the window thread).
    state.counters["run_cpu_ms"] = benchmark::Counter(runCpuMs, benchmark::Counter::kAvgIterations);
    state.SetLabel(shown ? "four windows" : fed ? "four hidden windows fed" : "no windows");
}

BENCHMARK(BM_RunWithDisplays)
    ->ArgNames({"windows", "vector", "n"})
    ->Args({0, 0, 32})
    ->Args({1, 0, 32})
    ->Args({0, 1, 32})
    ->Args({1, 1, 32})
    ->Args({0, 1, 64})
    ->Args({1, 1, 64})
    ->Args({2, 1, 64})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
