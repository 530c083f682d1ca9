// The grouped steps against their transform floor, in one run.
//
// Scenes of two materials: a disc of index 1.52 (a slab on the 1-D grid) entered from a
// uniform slice of 1.50, so every step has M = 2 index tuples. Grids 64 x 64, 256 x 256,
// 512 x 512 and 1024 x 1, dx = dy = 0.5 um, lambda = 1 um.
//
//   FloorFftw/<shape>    one forward plus M inverse FFTW 2-D transforms with measured
//                        plans on aligned buffers: the best FFTW does, the floor of a step
//   FloorFast/<shape>/<P> the same with the steps' own transforms (numerics/FastFourier.h),
//                        P = 0: default deterministic planning, 1: measured planning
//   Swpm/<shape>/<T>/<P> one grouped scalar step (PropagateSWPM) on T threads
//   RunFloorFftw, RunFloorFast
//                        the transforms of a whole run of the sphere scene below: for
//                        every slice one forward plus M(z) inverse transforms
//   RunSphere/<T>        that run (TSimulationDriver::Run: sweep, maps, report) on T threads
//
// The sphere scene: 128 x 128 points, 100 slices, a ball of n = 1.5 and radius 20 um in
// water (n = 1.33), lambda = 0.633 um. Repeated runs reuse the previous run's fields, as
// a parameter variation does; a fresh process also pays for its first touch of that
// memory (see the README's speed section).
//
// After the benchmarks a table gives, per shape, the step against both floors and the
// speed-up of 2 threads over 1 (minimum wall time over repetitions: on a shared machine
// the least disturbed one). Run with e.g. --benchmark_repetitions=5.
#include "config/Messages.h"
#include "control/SimulationDriver.h"
#include "engine/BrelWaveOptics.h"
#include "engine/IndexTuples.h"
#include "engine/ScalarWPMRule.h"
#include "field/ScalarEField.h"
#include "numerics/FastFourier.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ksn;

constexpr double kPi = 3.14159265358979323846;

struct TShape {
    int nx, ny;
};
const TShape kShapes[] = {{64, 64}, {256, 256}, {512, 512}, {1024, 1}};

std::string ShapeName(int nx, int ny) { return std::to_string(nx) + "x" + std::to_string(ny); }

class TQuietSink : public TMessageSink {
public:
    void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void LogLine(const std::string&) override {}
};

// ---------------------------------------------------------------------------------------
// Transforms

// One forward plus `inverse` inverse transforms of an nx x ny grid, FFTW 2-D plans
// made with measurement (in place, 64-byte aligned), or the fast transform.
class TFloor {
public:
    TFloor(int nx, int ny, bool fftw) : myNx(nx), myNy(ny), myData(size_t(nx) * size_t(ny))
    {
        for (size_t k = 0; k < 2 * myData.Count(); ++k)
            myData.Data()[k] = 1e-3 * std::sin(0.37 * double(k));
        if (fftw) {
            auto* d = reinterpret_cast<fftw_complex*>(myData.Data());
            myForward = fftw_plan_dft_2d(ny, nx, d, d, FFTW_FORWARD, FFTW_MEASURE);
            myInverse = fftw_plan_dft_2d(ny, nx, d, d, FFTW_BACKWARD, FFTW_MEASURE);
        } else {
            myFast.Setup(nx, ny);
            myPanel.Resize(myFast.PanelSize());
        }
    }
    ~TFloor()
    {
        if (myForward)
            fftw_destroy_plan(myForward);
        if (myInverse)
            fftw_destroy_plan(myInverse);
    }
    TFloor(const TFloor&) = delete;
    TFloor& operator=(const TFloor&) = delete;

    void Run(int inverse)
    {
        Transform(+1);
        for (int m = 0; m < inverse; ++m)
            Transform(-1);
    }

private:
    void Transform(int sign)
    {
        if (myForward) {
            fftw_execute(sign > 0 ? myForward : myInverse);
            return;
        }
        myFast.Run(myData.Data(), sign, myPanel.Data());
    }

    int myNx, myNy;
    TComplexBuffer myData;
    TComplexBuffer myPanel;
    TFastFourier2D myFast;
    fftw_plan myForward = nullptr;
    fftw_plan myInverse = nullptr;
};

constexpr int kTuples = 2; // two materials: (clad, clad) and (clad, core)

void FloorFftw(benchmark::State& state)
{
    TFloor floor(int(state.range(0)), int(state.range(1)), true);
    for (auto _ : state)
        floor.Run(kTuples);
}

// Sets the planning of the fast transform for one benchmark (argument 2 or 3: 1 = measured).
class TPlanningScope {
public:
    explicit TPlanningScope(bool measured)
    {
        SetFftPlanning(measured ? TFftPlanning::measure : TFftPlanning::estimate);
    }
    ~TPlanningScope() { SetFftPlanning(TFftPlanning::estimate); }
    TPlanningScope(const TPlanningScope&) = delete;
    TPlanningScope& operator=(const TPlanningScope&) = delete;
};

void FloorFast(benchmark::State& state)
{
    const TPlanningScope planning(state.range(2) != 0);
    TFloor floor(int(state.range(0)), int(state.range(1)), false);
    for (auto _ : state)
        floor.Run(kTuples);
}

// ---------------------------------------------------------------------------------------
// One grouped scalar step

struct TStepScene {
    TGridParms grid;
    TComplexArray previous, current;
    std::shared_ptr<TScalarEField> input;

    TStepScene(int nx, int ny)
    {
        grid.nx = nx;
        grid.ny = ny;
        grid.nz = 2;
        grid.scaleFactor = 1e-6;
        grid.dx = grid.dy = 0.5;
        grid.dz = 0.25;
        previous = TComplexArray(nx, ny);
        current = TComplexArray(nx, ny);
        input = std::make_shared<TScalarEField>(grid);
        input->SetLambda(1e-6);
        const double k0 = 2.0 * kPi / 1e-6;
        const double radius = std::max(nx, ny) / 6.0, width = std::max(nx, ny) * 0.5e-6 / 5.0;
        for (int r = 0; r < ny; ++r)
            for (int c = 0; c < nx; ++c) {
                const double u = c - nx / 2.0, v = ny > 1 ? r - ny / 2.0 : 0.0;
                previous.SetAt(c, r, {1.50, 0.0});
                current.SetAt(c, r, {u * u + v * v <= radius * radius ? 1.52 : 1.50, 0.0});
                const double x = u * 0.5e-6, y = v * 0.5e-6;
                const double a = std::exp(-(x * x + y * y) / (width * width));
                input->E().SetAt(c, r, {a * std::cos(0.2 * k0 * x), a * std::sin(0.2 * k0 * x)});
            }
    }
};

void Swpm(benchmark::State& state)
{
    const TPlanningScope planning(state.range(3) != 0);
    TStepScene s(int(state.range(0)), int(state.range(1)));
    const int threads = int(state.range(2));
    TBrelWaveOptics engine = threads >= 2 ? TBrelWaveOptics(threads) : TBrelWaveOptics();
    engine.SetSummation(TSummation::grouped);
    TGlobalParms global;
    global.simMethod = TSimMethod::swpm;
    const TPropagationStep step = engine.GetPropFunc(global);
    TFieldRef output;
    const TStepInput in{0, &s.previous, {}, &s.current, {}, false, &s.grid, s.input.get(), nullptr};
    step(in, output); // plans and coefficient tables: once per run
    for (auto _ : state) {
        step(in, output);
        benchmark::DoNotOptimize(output->GetLambda());
    }
    state.counters["tuples"] = double(engine.GetLastTupleCount());
}

// ---------------------------------------------------------------------------------------
// A whole run: the sphere scene

const char* const kSphereIni = R"(// A glass ball (n = 1.5, radius 20 um) in water, 128 x 128 x 100.
[global]
multithreaded=0
modulotracking=0
modulus=1
simmethod=swpm
layernum=1
wavenum=1
scale=um
largescene=0
bidirectional=0
reflections=0
extraModes=0
allcomplex=0
parmvariation=0
numofparms=0
independent=0
evanescent=0
X=64
Y=64
Z=50
nx=128
ny=128
nz=100

[layer0]
type=Sphere
Z=50
shiftz=-25
X0=0
Y0=0
Radius=20
nSubject=1.5
kappaSubject=0
nSpace=1.33
kappaSpace=0
deltaN=0
deltaKappa=0
shape=circ
smooth=0
report=1

[wave0]
shape=gaussian
angular=deg
lambda=0.633
theta=0
delta=0
rho=0
psi=0
amplitude=1
shiftx=0
shifty=0
shiftz=0
sigmax=12
sigmay=12
)";

class TSphereRun {
public:
    TSphereRun()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ksn_speed_XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        myDir = pattern;
        const std::string file = (myDir / "sphere.ini").string();
        std::ofstream(file) << kSphereIni;
        if (!myDriver.Open(file))
            throw std::runtime_error("cannot load the sphere scene");
        // Index tuples of every step: slice 0 is entered from itself.
        TBrelScenes& scene = *myDriver.Scene();
        const TGridParms& g = myDriver.Configuration().grid;
        TIndexTuples tuples;
        for (int z = 0; z < scene.GetNz(); ++z) {
            const TComplexArray* previous = scene.GetLevel(z > 0 ? z - 1 : 0);
            const TComplexArray copy = *previous;
            tuples.Build(copy, *scene.GetLevel(z), g.nx, g.ny, TScalarWPMRule::kParts, "bench");
            myTuples.push_back(tuples.Count());
        }
    }
    ~TSphereRun()
    {
        std::error_code ignored;
        std::filesystem::remove_all(myDir, ignored);
    }

    TSimulationDriver& Driver() { return myDriver; }
    const std::vector<int>& Tuples() const { return myTuples; }

private:
    TQuietSink mySink;
    TScopedMessageSink myScope{&mySink};
    std::filesystem::path myDir;
    TSimulationDriver myDriver;
    std::vector<int> myTuples;
};

TSphereRun& Sphere()
{
    static TSphereRun run;
    return run;
}

void RunFloor(benchmark::State& state, bool fftw)
{
    TSphereRun& run = Sphere();
    TFloor floor(128, 128, fftw);
    long transforms = 0;
    for (const int m : run.Tuples())
        transforms += 1 + m;
    for (auto _ : state)
        for (const int m : run.Tuples())
            floor.Run(m);
    state.counters["transforms"] = double(transforms);
}

void RunFloorFftw(benchmark::State& state) { RunFloor(state, true); }
void RunFloorFast(benchmark::State& state) { RunFloor(state, false); }

void RunSphere(benchmark::State& state)
{
    TSphereRun& run = Sphere();
    TGlobalParms& global = run.Driver().Configuration().global;
    const int threads = int(state.range(0));
    global.multithreaded = threads >= 2;
    global.threadCount = threads;
    run.Driver().Run(); // settles memory and plans
    for (auto _ : state)
        run.Driver().Run();
    TExtended steps = 0;
    for (const TExtended t : run.Driver().Statistics().stepMs)
        steps += t;
    state.counters["steps_ms"] = double(steps);
}

// ---------------------------------------------------------------------------------------
// Registration and the summary

void Register()
{
    // Names come out as e.g. "Swpm/256/256/1/real_time": the arguments are the shape
    // (and the thread count).
    benchmark::internal::Benchmark* fftw = benchmark::RegisterBenchmark("FloorFftw", FloorFftw);
    benchmark::internal::Benchmark* fast = benchmark::RegisterBenchmark("FloorFast", FloorFast);
    benchmark::internal::Benchmark* swpm = benchmark::RegisterBenchmark("Swpm", Swpm)->UseRealTime();
    for (const TShape s : kShapes) {
        fftw->Args({s.nx, s.ny});
        fast->Args({s.nx, s.ny, 0});
        for (const int threads : {1, 2})
            swpm->Args({s.nx, s.ny, threads, 0});
    }
    // The same with measured plans (--fft-plan measure) where they matter.
    for (const int n : {256, 512}) {
        fast->Args({n, n, 1});
        swpm->Args({n, n, 1, 1});
    }
    benchmark::RegisterBenchmark("RunFloorFftw", RunFloorFftw)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("RunFloorFast", RunFloorFast)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("RunSphere", RunSphere)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
}

// Keeps the least wall time per benchmark (per iteration, milliseconds).
class TSummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            // The run's wall time per iteration, without the name's "/real_time" suffix.
            std::string name = run.benchmark_name();
            const auto slash = name.find("/real_time");
            if (slash != std::string::npos)
                name.erase(slash);
            const double ms = run.real_accumulated_time * 1e3 / double(run.iterations);
            const double cpu = run.cpu_accumulated_time * 1e3 / double(run.iterations);
            auto [it, added] = myBest.emplace(name, ms);
            if (!added && ms < it->second)
                it->second = ms;
            auto [c, cpuAdded] = myBestCpu.emplace(name, cpu);
            if (!cpuAdded && cpu < c->second)
                c->second = cpu;
        }
    }

    void Summary()
    {
        std::printf("\nSummary (least wall time over repetitions, ms)\n");
        Table(myBest);
        // One-thread figures by the calling thread's processor time: what a machine that
        // others share still measures faithfully (the 2-thread columns are not meaningful).
        std::printf("\nThe same by processor time of the calling thread (ms; 1-thread columns only)\n");
        Table(myBestCpu);
    }

private:
    void Table(const std::map<std::string, double>& best)
    {
        myTable = &best;
        std::printf("%-10s %10s %10s %10s %10s %9s %9s %8s\n", "shape", "floorFFTW", "floorFast", "step 1T",
                    "step 2T", "1T/FFTW", "1T/Fast", "2T gain");
        for (const TShape s : kShapes) {
            const std::string name = ShapeName(s.nx, s.ny);
            char args[32];
            std::snprintf(args, sizeof args, "/%d/%d", s.nx, s.ny);
            const double fftw = Get(std::string("FloorFftw") + args), fast = Get(std::string("FloorFast") + args + "/0");
            const double one = Get(std::string("Swpm") + args + "/1/0"), two = Get(std::string("Swpm") + args + "/2/0");
            std::printf("%-10s %10.4f %10.4f %10.4f %10.4f %9.2f %9.2f %8.2f\n", name.c_str(), fftw, fast, one, two,
                        one / fftw, one / fast, one / two);
        }
        for (const int n : {256, 512}) {
            char args[32];
            std::snprintf(args, sizeof args, "/%d/%d", n, n);
            const double fftw = Get(std::string("FloorFftw") + args), fast = Get(std::string("FloorFast") + args + "/1");
            const double one = Get(std::string("Swpm") + args + "/1/1");
            std::printf("%-10s %10.4f %10.4f %10.4f %10s %9.2f %9.2f %8s\n", (std::to_string(n) + " meas.").c_str(),
                        fftw, fast, one, "", one / fftw, one / fast, "");
        }
        const double fftw = Get("RunFloorFftw"), fast = Get("RunFloorFast");
        const double one = Get("RunSphere/1"), two = Get("RunSphere/2");
        std::printf("%-10s %10.3f %10.3f %10.3f %10.3f %9.2f %9.2f %8.2f\n", "sphere run", fftw, fast, one, two,
                    one / fftw, one / fast, one / two);
    }

    double Get(const std::string& name) const
    {
        const auto it = myTable->find(name);
        return it == myTable->end() ? std::nan("") : it->second;
    }
    std::map<std::string, double> myBest, myBestCpu;
    const std::map<std::string, double>* myTable = nullptr;
};

} // namespace

int main(int argc, char** argv)
{
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Summary();
    benchmark::Shutdown();
    return 0;
}
