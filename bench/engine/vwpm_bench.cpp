// The vector wave-propagation step against its transform floor, in one run, on the
// two-material scene (../common/TwoMaterialScene.h: M = 2 index tuples; Ex the beam,
// Ey = 0.5 i Ex) with grids 64 x 64, 256 x 256, 512 x 512 and 1024 x 1.
//
//   VectorFloorFftw/<shape>  the transforms of one step, FFTW 2-D plans made with
//                            measurement: one forward transform per input component (Ex,
//                            Ey) and one inverse per tuple and output component (Ex, Ey,
//                            Ez), 2 + 3 M in all
//   Vwpm/<shape>/<T>         one grouped vector step (the method vwpm as a run selects
//                            it: PropagateVWPM, PropagateVWPMMT on a multithreaded engine)
//                            on T threads, wall time; its coefficient tables made before
//                            (once per run)
//   VwpmFirst/<shape>        the first step of a run on one thread, tables included
//   VwpmDirect/64, VwpmGrouped/64
//                            direct against grouped summation (PropagateVWPM)
//
// After the benchmarks a table gives, per shape, the step against the floor and the
// speed-up of 2 threads over 1, by least wall time over repetitions and by processor time
// of the calling thread. Run with e.g. --benchmark_repetitions=5.
#include "../common/TransformFloor.h"
#include "../common/TwoMaterialScene.h"
#include "engine/BrelWaveOptics.h"
#include "field/VectorEField.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace {

using namespace ksn;
using bench::kShapes;
using bench::TShape;

constexpr int kTuples = 2;
constexpr int kForward = 2;    // Ex, Ey
constexpr int kComponents = 3; // Ex, Ey, Ez

// The two-material scene with the beam as a vector field.
struct TVectorScene : bench::TTwoMaterialScene {
    std::shared_ptr<TVectorEField> input;

    TVectorScene(int nx, int ny) : TTwoMaterialScene(nx, ny), input(std::make_shared<TVectorEField>(grid))
    {
        input->SetLambda(kLambda);
        for (int r = 0; r < ny; ++r)
            for (int c = 0; c < nx; ++c) {
                const TComplex e = Beam(c, r);
                input->EX().SetAt(c, r, e);
                input->EY().SetAt(c, r, {-0.5 * e.im, 0.5 * e.re});
            }
    }

    TStepInput In() const { return TStepInput{0, &previous, {}, &current, {}, false, &grid, input.get(), nullptr}; }
};

void VectorFloorFftw(benchmark::State& state)
{
    bench::TFloor floor(int(state.range(0)), int(state.range(1)), true);
    for (auto _ : state)
        floor.Run(kForward, kTuples * kComponents);
}

// The step of the method vwpm on an engine of `threads` threads (0: single-threaded).
TPropagationStep VwpmStep(TBrelWaveOptics& engine)
{
    TGlobalParms global;
    global.simMethod = TSimMethod::vwpm;
    return engine.GetPropFunc(global);
}

void Vwpm(benchmark::State& state)
{
    const TVectorScene s(int(state.range(0)), int(state.range(1)));
    const int threads = int(state.range(2));
    TBrelWaveOptics engine(threads >= 2 ? threads : 0);
    engine.SetTeamMinPoints(TBrelWaveOptics::kSmallGridPoints); // as a run uses it
    engine.SetSummation(TSummation::grouped);
    const TPropagationStep step = VwpmStep(engine);
    TFieldRef output;
    step(s.In(), output); // plans and coefficient tables: once per run
    for (auto _ : state) {
        step(s.In(), output);
        benchmark::DoNotOptimize(output->GetEnergyFlux());
    }
    state.counters["tuples"] = double(engine.GetLastTupleCount());
}

void VwpmFirst(benchmark::State& state)
{
    const TVectorScene s(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        TBrelWaveOptics engine;
        engine.SetSummation(TSummation::grouped);
        TFieldRef output;
        VwpmStep(engine)(s.In(), output);
        benchmark::DoNotOptimize(output->GetEnergyFlux());
    }
}

void RunSummation(benchmark::State& state, TSummation summation)
{
    const TVectorScene s(int(state.range(0)), int(state.range(0)));
    TBrelWaveOptics engine;
    engine.SetSummation(summation);
    const TPropagationStep step = std::bind_front(&TBrelWaveOptics::PropagateVWPM, &engine);
    TFieldRef output;
    for (auto _ : state) {
        step(s.In(), output);
        benchmark::DoNotOptimize(output->GetEnergyFlux());
    }
}

void VwpmDirect(benchmark::State& state) { RunSummation(state, TSummation::direct); }
void VwpmGrouped(benchmark::State& state) { RunSummation(state, TSummation::grouped); }

void Register()
{
    // Names come out as e.g. "Vwpm/256/256/2/real_time".
    benchmark::internal::Benchmark* floor = benchmark::RegisterBenchmark("VectorFloorFftw", VectorFloorFftw);
    benchmark::internal::Benchmark* step = benchmark::RegisterBenchmark("Vwpm", Vwpm)->UseRealTime();
    benchmark::internal::Benchmark* first = benchmark::RegisterBenchmark("VwpmFirst", VwpmFirst);
    for (const TShape s : kShapes) {
        floor->Args({s.nx, s.ny});
        for (const int threads : {1, 2})
            step->Args({s.nx, s.ny, threads});
        first->Args({s.nx, s.ny});
    }
    floor->Unit(benchmark::kMillisecond);
    step->Unit(benchmark::kMillisecond);
    first->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("VwpmDirect", VwpmDirect)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::RegisterBenchmark("VwpmGrouped", VwpmGrouped)->Arg(64)->Unit(benchmark::kMillisecond);
}

// Per shape, the step against the floor, the 2-thread speed-up and the first step, by
// least wall time and by processor time of the calling thread (what a machine that
// others share still measures faithfully; there the 2-thread columns are not meaningful).
void Summary(const bench::TLeastTimeReporter& times)
{
    for (const bool cpu : {false, true}) {
        const auto get = [&](const std::string& name) { return cpu ? times.Cpu(name) : times.Wall(name); };
        std::printf(cpu ? "\nThe same by processor time of the calling thread (ms; 1-thread columns only)\n"
                        : "\nSummary (least wall time over repetitions, ms)\n");
        std::printf("%-10s %10s %10s %10s %9s %8s %10s\n", "shape", "floorFFTW", "step 1T", "step 2T", "1T/FFTW",
                    "2T gain", "first step");
        for (const TShape s : kShapes) {
            char args[32];
            std::snprintf(args, sizeof args, "/%d/%d", s.nx, s.ny);
            const double fftw = get(std::string("VectorFloorFftw") + args);
            const double one = get(std::string("Vwpm") + args + "/1"), two = get(std::string("Vwpm") + args + "/2");
            std::printf("%-10s %10.4f %10.4f %10.4f %9.2f %8.2f %10.3f\n", bench::ShapeName(s.nx, s.ny).c_str(), fftw,
                        one, two, one / fftw, one / two, get(std::string("VwpmFirst") + args));
        }
        std::printf("%-10s direct %.1f, grouped %.4f\n", "64x64", get("VwpmDirect/64"), get("VwpmGrouped/64"));
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
