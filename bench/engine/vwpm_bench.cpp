// One vector wave-propagation step (PropagateVWPM): direct versus grouped summation on
// 64 x 64 with two materials (a guide core in its cladding), and the grouped pooled step
// (PropagateVWPMMT) on 256 x 256 with one and with two threads.
#include "engine/BrelWaveOptics.h"
#include "field/VectorEField.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <functional>
#include <memory>

namespace {

using namespace ksn;

struct TStepSetup {
    TGridParms grid;
    TComplexArray previous;
    TComplexArray current;
    std::shared_ptr<TVectorEField> input;

    explicit TStepSetup(int n)
    {
        grid.nx = grid.ny = n;
        grid.nz = 2;
        grid.scaleFactor = 1e-6;
        grid.dx = grid.dy = 0.5;
        grid.dz = 0.25;
        previous = TComplexArray(n, n);
        current = TComplexArray(n, n);
        input = std::make_shared<TVectorEField>(grid);
        input->SetLambda(1e-6);
        const double k0 = 2.0 * 3.14159265358979323846 / 1e-6;
        const double radius = n / 6.0, width = n * 0.5e-6 / 5.0;
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const double u = c - n / 2.0, v = r - n / 2.0;
                previous.SetAt(c, r, {1.50, 0.0});
                current.SetAt(c, r, {u * u + v * v <= radius * radius ? 1.52 : 1.50, 0.0});
                const double x = u * 0.5e-6, y = v * 0.5e-6;
                const double a = std::exp(-(x * x + y * y) / (width * width));
                input->EX().SetAt(c, r, {a * std::cos(0.2 * k0 * x), a * std::sin(0.2 * k0 * x)});
                input->EY().SetAt(c, r, {0.0, 0.5 * a});
            }
    }
};

// threads 0: the single-threaded step; otherwise the pooled step on that many threads.
void RunStep(benchmark::State& state, TSummation summation, int threads)
{
    TStepSetup s(int(state.range(0)));
    TBrelWaveOptics engine(threads);
    engine.SetSummation(summation);
    const TPropagationStep step = threads == 0 ? TPropagationStep(std::bind_front(&TBrelWaveOptics::PropagateVWPM, &engine))
                                               : TPropagationStep(std::bind_front(&TBrelWaveOptics::PropagateVWPMMT, &engine));
    TFieldRef output;
    for (auto _ : state) {
        step(TStepInput{0, &s.previous, {}, &s.current, {}, false, &s.grid, s.input.get(), nullptr}, output);
        benchmark::DoNotOptimize(output->GetEnergyFlux());
    }
    state.counters["step_ms"] = benchmark::Counter(double(engine.GetStepTime()));
}

void VwpmDirect(benchmark::State& state) { RunStep(state, TSummation::direct, 0); }
void VwpmGrouped(benchmark::State& state) { RunStep(state, TSummation::grouped, 0); }
void VwpmPooledGrouped1Thread(benchmark::State& state) { RunStep(state, TSummation::grouped, 1); }
void VwpmPooledGrouped2Threads(benchmark::State& state) { RunStep(state, TSummation::grouped, 2); }

} // namespace

BENCHMARK(VwpmDirect)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(VwpmGrouped)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(VwpmGrouped)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(VwpmPooledGrouped1Thread)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(VwpmPooledGrouped2Threads)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();
