// Centred 2-D transform of one field component, forward then inverse: the reference
// transform (extended precision, recurrence twiddles) against the fast one on FFTW that
// the steps and the fields' Fourier use. 256 x 256 is the working size; 64 x 64 to
// 1024 x 1024 show how the row and column passes scale (n^2 log n).
#include "numerics/ComplexArray.h"
#include "numerics/FastFourier.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

template <bool Fast>
void RoundTrip(benchmark::State& state)
{
    const int n = int(state.range(0));
    ksn::TComplexArray field(n, n);
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            field.SetAt(x, y, ksn::Cmplx(u(rng), u(rng)));
    for (auto _ : state) {
        if constexpr (Fast) {
            ksn::FastCentredFFT(field, +1);
            ksn::FastCentredFFT(field, -1);
        } else {
            field.FFT(+1);
            field.FFT(-1);
        }
        benchmark::DoNotOptimize(field.Re());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * int64_t(n) * n);
    state.SetLabel("forward + inverse");
}

void ReferenceFFT(benchmark::State& state) { RoundTrip<false>(state); }
void FastFFT(benchmark::State& state) { RoundTrip<true>(state); }

} // namespace

BENCHMARK(ReferenceFFT)->RangeMultiplier(2)->Range(64, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK(FastFFT)->RangeMultiplier(2)->Range(64, 1024)->Unit(benchmark::kMillisecond);
