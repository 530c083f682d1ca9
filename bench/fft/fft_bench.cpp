// Centred 2-D transform of one field component, forward then inverse, as every
// wave-propagation step does once per slice. 256 x 256 is the working size; 64 x 64 and
// 512 x 512 show how the row and column passes scale (n^2 log n).
#include "numerics/ComplexArray.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

void BM_CentredFFTRoundTrip(benchmark::State& state)
{
    const int n = int(state.range(0));
    ksn::TComplexArray field(n, n);
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            field.SetAt(x, y, ksn::Cmplx(u(rng), u(rng)));
    for (auto _ : state) {
        field.FFT(+1);
        field.FFT(-1);
        benchmark::DoNotOptimize(field.Re());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * int64_t(n) * n);
    state.SetLabel("forward + inverse");
}

} // namespace

BENCHMARK(BM_CentredFFTRoundTrip)->Arg(256)->Arg(64)->Arg(512)->Unit(benchmark::kMillisecond);
