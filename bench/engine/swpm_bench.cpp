// One scalar wave-propagation step: direct versus grouped summation on 64 x 64 with two
// materials (a guide core in its cladding), and grouped alone on 256 x 256.
#include "../common/TwoMaterialScene.h"
#include "engine/BrelWaveOptics.h"
#include "field/ScalarEField.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace ksn;

// The two-material scene on an n x n grid with the beam as a scalar field.
struct TStepSetup : bench::TTwoMaterialScene {
    std::shared_ptr<TScalarEField> input;

    explicit TStepSetup(int n) : TTwoMaterialScene(n, n), input(std::make_shared<TScalarEField>(grid))
    {
        input->SetLambda(kLambda);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c)
                input->E().SetAt(c, r, Beam(c, r));
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
