// One scalar wave-propagation step: direct versus grouped summation on 64 x 64 with two
// materials (a guide core in its cladding), and grouped alone on 256 x 256.
#include "engine/BrelWaveOptics.h"
#include "field/ScalarEField.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

using namespace ksn;

struct TStepSetup {
    TGridParms grid;
    TComplexArray previous;
    TComplexArray current;
    std::shared_ptr<TScalarEField> input;

    explicit TStepSetup(int n)
    {
        grid.nx = grid.ny = n;
        grid.nz = 2;
        grid.scaleFactor = 1e-6;
        grid.dx = grid.dy = 0.5;
        grid.dz = 0.25;
        previous = TComplexArray(n, n);
        current = TComplexArray(n, n);
        input = std::make_shared<TScalarEField>(grid);
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
                input->E().SetAt(c, r, {a * std::cos(0.2 * k0 * x), a * std::sin(0.2 * k0 * x)});
            }
    }
};

void RunStep(benchmark::State& state, TSummation summation)
{
    TStepSetup s(int(state.range(0)));
    TBrelWaveOptics engine;
    engine.SetSummation(summation);
    TGlobalParms global;
    global.simMethod = TSimMethod::swpm;
    const TPropagationStep step = engine.GetPropFunc(global);
    TFieldRef output;
    for (auto _ : state) {
        step(TStepInput{0, &s.previous, {}, &s.current, {}, false, &s.grid, s.input.get(), nullptr}, output);
        benchmark::DoNotOptimize(output->GetLambda());
    }
    state.counters["step_ms"] = benchmark::Counter(double(engine.GetStepTime()));
}

void SwpmDirect(benchmark::State& state) { RunStep(state, TSummation::direct); }
void SwpmGrouped(benchmark::State& state) { RunStep(state, TSummation::grouped); }
void SwpmAutomatic(benchmark::State& state) { RunStep(state, TSummation::automatic); }

} // namespace

BENCHMARK(SwpmDirect)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(SwpmGrouped)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(SwpmAutomatic)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(SwpmGrouped)->Arg(256)->Unit(benchmark::kMillisecond);
