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
//   FloorShared/<shape>/<T> the floor's transforms with the steps' own transforms shared
//                        by T threads as a step shares them (row blocks, then panels,
//                        numerics/FastFourier.h): its 2-thread gain is the most a step
//                        that splits its transforms can gain on the machine at the moment
//   Swpm/<shape>/<T>/<P> one grouped scalar step (PropagateSWPM) on T threads
//   RunFloorFftw, RunFloorFast
//                        the transforms of a whole run of the sphere scene below: for
//                        every slice one forward plus M(z) inverse transforms
//   RunFloorShared/<T>   the same shared by T threads as FloorShared shares them
//   RunSphere/<T>        that run (TSimulationDriver::Run: sweep, maps, report) on T threads
//   Capacity/<n>/<T>     what T threads of this machine can gain at all on an n x n grid:
//                        each worker of a work team runs its own transforms (one forward,
//                        two inverse, repeated to about 1 ms) on its own buffer, nothing
//                        shared; T = 2 does twice the work of T = 1 in its time
//
// The sphere scene: 128 x 128 points, 100 slices, a ball of n = 1.5 and radius 20 um in
// water (n = 1.33), lambda = 0.633 um. Repeated runs reuse the previous run's fields, as
// a parameter variation does; a fresh process also pays for its first touch of that
// memory (see the README's speed section).
//
// After the benchmarks a table gives, per shape, the step against both floors and the
// speed-up of 2 threads over 1 (minimum wall time over repetitions: on a shared machine
// the least disturbed one), and beside it the 2-thread gain of the step's transforms
// alone, split between the threads as the step splits them (`shared`), and the machine's
// own 2-thread gain on independent transforms of the same grid (`machine`). On a virtual
// machine that gain changes with where the host places the two processors: near 2 on two
// free cores; where they share one core, still 1.7-1.9 for the transforms that stream
// from the shared cache, but 1.1-1.4 for the 128 x 128 ones that fit a core's own cache.
// It changes within minutes, so run with e.g. --benchmark_repetitions=10
// --benchmark_enable_random_interleaving=true: every case then samples the same minutes.
#include "../common/TransformFloor.h"
#include "../common/TwoMaterialScene.h"
#include "config/Messages.h"
#include "control/SimulationDriver.h"
#include "engine/BrelWaveOptics.h"
#include "engine/IndexTuples.h"
#include "engine/ScalarWPMRule.h"
#include "field/ScalarEField.h"
#include "numerics/FastFourier.h"
#include "pool/WorkTeam.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ksn;
using bench::kShapes;
using bench::ShapeName;
using bench::TFloor;
using bench::TShape;

class TQuietSink : public TMessageSink {
public:
    void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void LogLine(const std::string&) override {}
};

// ---------------------------------------------------------------------------------------
// Transforms

constexpr int kTuples = 2; // two materials: (clad, clad) and (clad, core)
// The grids whose 2-thread capacity the summary gives: the sphere run's and the two large steps'.
constexpr int kCapacityGrids[] = {128, 256, 512};

// The floor of a step on T threads that splits its transforms between them (argument 2: T).
void FloorShared(benchmark::State& state)
{
    bench::TSharedFloor floor(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    for (auto _ : state)
        floor.Run(1, kTuples);
}

void FloorFftw(benchmark::State& state)
{
    TFloor floor(int(state.range(0)), int(state.range(1)), true);
    for (auto _ : state)
        floor.Run(1, kTuples);
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
        floor.Run(1, kTuples);
}

// ---------------------------------------------------------------------------------------
// One grouped scalar step

// The two-material scene with the beam as a scalar field.
struct TStepScene : bench::TTwoMaterialScene {
    std::shared_ptr<TScalarEField> input;

    TStepScene(int nx, int ny) : TTwoMaterialScene(nx, ny), input(std::make_shared<TScalarEField>(grid))
    {
        input->SetLambda(kLambda);
        for (int r = 0; r < ny; ++r)
            for (int c = 0; c < nx; ++c)
                input->E().SetAt(c, r, Beam(c, r));
    }
};

void Swpm(benchmark::State& state)
{
    const TPlanningScope planning(state.range(3) != 0);
    TStepScene s(int(state.range(0)), int(state.range(1)));
    const int threads = int(state.range(2));
    TBrelWaveOptics engine = threads >= 2 ? TBrelWaveOptics(threads) : TBrelWaveOptics();
    engine.SetTeamMinPoints(TBrelWaveOptics::kSmallGridPoints); // as a run uses it
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
            floor.Run(1, m);
    state.counters["transforms"] = double(transforms);
}

void RunFloorFftw(benchmark::State& state) { RunFloor(state, true); }
void RunFloorFast(benchmark::State& state) { RunFloor(state, false); }

// The same transforms shared by a team of T threads as the steps share theirs.
void RunFloorShared(benchmark::State& state)
{
    TSphereRun& run = Sphere();
    bench::TSharedFloor floor(128, 128, int(state.range(0)));
    for (auto _ : state)
        for (const int m : run.Tuples())
            floor.Run(1, m);
}

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
// The machine's capacity for two threads

void Capacity(benchmark::State& state)
{
    const int n = int(state.range(0)), threads = int(state.range(1));
    const int repeats = std::max(1, 128 * 128 * 8 / (n * n));
    std::vector<std::unique_ptr<TFloor>> floors;
    for (int w = 0; w < threads; ++w)
        floors.push_back(std::make_unique<TFloor>(n, n, true));
    TWorkTeam team(threads);
    const TWorkTeam::TBody body = [&](int item, int) {
        for (int k = 0; k < repeats; ++k)
            floors[size_t(item)]->Run(1, kTuples);
    };
    for (auto _ : state)
        team.Run(threads, body);
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
    benchmark::internal::Benchmark* shared = benchmark::RegisterBenchmark("FloorShared", FloorShared)->UseRealTime();
    for (const TShape s : kShapes) {
        fftw->Args({s.nx, s.ny});
        fast->Args({s.nx, s.ny, 0});
        for (const int threads : {1, 2}) {
            swpm->Args({s.nx, s.ny, threads, 0});
            shared->Args({s.nx, s.ny, threads});
        }
    }
    // The same with measured plans (--fft-plan measure) where they matter.
    for (const int n : {256, 512}) {
        fast->Args({n, n, 1});
        swpm->Args({n, n, 1, 1});
    }
    benchmark::RegisterBenchmark("RunFloorFftw", RunFloorFftw)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("RunFloorFast", RunFloorFast)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("RunFloorShared", RunFloorShared)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("RunSphere", RunSphere)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::internal::Benchmark* capacity =
        benchmark::RegisterBenchmark("Capacity", Capacity)->UseRealTime()->Unit(benchmark::kMillisecond);
    for (const int n : kCapacityGrids)
        for (const int threads : {1, 2})
            capacity->Args({n, threads});
}

// Per shape, the step against both floors and the speed-up of 2 threads over 1, by least
// wall time and by processor time of the calling thread (what a machine that others
// share still measures faithfully; there the 2-thread columns are not meaningful).
void Summary(const bench::TLeastTimeReporter& times)
{
    for (const bool cpu : {false, true}) {
        const auto get = [&](const std::string& name) { return cpu ? times.Cpu(name) : times.Wall(name); };
        // The machine's own 2-thread gain on an n x n grid (wall time only): twice the work
        // of one thread in the time of two.
        const auto machine = [&](int n) {
            char args[32];
            std::snprintf(args, sizeof args, "/%d", n);
            const std::string name = std::string("Capacity") + args;
            return 2.0 * times.Wall(name + "/1") / times.Wall(name + "/2");
        };
        // The 2-thread gain of the bare transforms shared as the step shares them, then
        // the machine's (wall time only; the machine's for the grids it is measured on).
        const auto tail = [&](const std::string& shared, int n) {
            if (cpu) {
                std::printf("\n");
                return;
            }
            std::printf(" %8.2f", times.Wall(shared + "1") / times.Wall(shared + "2"));
            if (std::find(std::begin(kCapacityGrids), std::end(kCapacityGrids), n) == std::end(kCapacityGrids))
                std::printf("\n");
            else
                std::printf(" %8.2f\n", machine(n));
        };
        std::printf(cpu ? "\nThe same by processor time of the calling thread (ms; 1-thread columns only)\n"
                        : "\nSummary (least wall time over repetitions, ms; machine: 2 threads on independent "
                          "transforms of the grid,\nshared: 2 threads on the step's transforms alone, split between them "
                          "as the step splits them)\n");
        std::printf("%-10s %10s %10s %10s %10s %9s %9s %8s%s\n", "shape", "floorFFTW", "floorFast", "step 1T",
                    "step 2T", "1T/FFTW", "1T/Fast", "2T gain", cpu ? "" : "   shared  machine");
        for (const TShape s : kShapes) {
            const std::string name = ShapeName(s.nx, s.ny);
            char args[32];
            std::snprintf(args, sizeof args, "/%d/%d", s.nx, s.ny);
            const double fftw = get(std::string("FloorFftw") + args);
            const double fast = get(std::string("FloorFast") + args + "/0");
            const double one = get(std::string("Swpm") + args + "/1/0"), two = get(std::string("Swpm") + args + "/2/0");
            std::printf("%-10s %10.4f %10.4f %10.4f %10.4f %9.2f %9.2f %8.2f", name.c_str(), fftw, fast, one, two,
                        one / fftw, one / fast, one / two);
            tail(std::string("FloorShared") + args + "/", s.nx == s.ny ? s.nx : 0);
        }
        for (const int n : {256, 512}) {
            char args[32];
            std::snprintf(args, sizeof args, "/%d/%d", n, n);
            const double fftw = get(std::string("FloorFftw") + args);
            const double fast = get(std::string("FloorFast") + args + "/1");
            const double one = get(std::string("Swpm") + args + "/1/1");
            std::printf("%-10s %10.4f %10.4f %10.4f %10s %9.2f %9.2f %8s\n", (std::to_string(n) + " meas.").c_str(),
                        fftw, fast, one, "", one / fftw, one / fast, "");
        }
        const double fftw = get("RunFloorFftw"), fast = get("RunFloorFast");
        const double one = get("RunSphere/1"), two = get("RunSphere/2");
        std::printf("%-10s %10.3f %10.3f %10.3f %10.3f %9.2f %9.2f %8.2f", "sphere run", fftw, fast, one, two,
                    one / fftw, one / fast, one / two);
        tail("RunFloorShared/", 128);
    }
}

} // namespace

int main(int argc, char** argv)
{
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    bench::TLeastTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    Summary(reporter);
    benchmark::Shutdown();
    return 0;
}
