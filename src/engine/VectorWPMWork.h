#pragma once
// What one vector wave-propagation step hands from its preparation to its sums and, in
// the pooled forms, to the row and column workers: the rules, whether the spectral path
// runs, the split of the direct points by line, and the spectral path's partial sums.
// Everything here is written by the step before its workers start and only read by them,
// except the per-line partial sums, of which every line has its own.
#include "engine/IndexTuples.h"
#include "engine/PooledPointSum.h"
#include "engine/VectorWPMRule.h"
#include "numerics/ComplexArray.h"

#include <cstdint>
#include <vector>

namespace ksn {

struct TVectorWork {
    bool allComplex = false;
    bool spectral = false; // a hybrid step on a homogeneous pair
    bool byRows = true;    // pooled: rows when nx <= ny/2, else columns
    TVectorWPMRule rule;
    TVectorWPMAllComplexRule complexRule;

    // Spectral path: the tuple of point (0, 0), the plane wave at every spectral index
    // (or -1), and per line the partial sums of the local terms.
    TIndexTuple spectralTuple;
    std::vector<std::int32_t> waveAt;
    std::vector<TComplexOf<TExtended>> lineLocals; // kMaxLocals per line

    // Point path: the direct points of every output row or column; the grouped scratch.
    std::vector<std::vector<std::int32_t>> linePoints;
    TPooledSumScratch pooled;
};

// Sum of the flux map over the points in a fixed order: the total energy flux of a step,
// the same whatever split a pooled step used for the map.
inline TExtended TotalFlux(const TComplexArray& map)
{
    const double* f = map.Re();
    TExtended total = 0.0L;
    for (std::int32_t p = 0; p < map.Count(); ++p)
        total += f[p];
    return total;
}

// The spectral path for one spectral row (byRows) or column `line` of a homogeneous pair:
// every plane wave of the line is carried with the tuple of point (0, 0), and its lateral
// terms are set at its own spectral index,
//   E'_m(j, i) = N s L_m(w; tau(0, 0)) e^{i phi(w; tau(0, 0))},
// amplitudes being divided by N and multiplied by the centred sign s as on the point
// path, so that the inverse transform (which supplies 1/N) gives that path's field. The
// local terms are summed into locals[0 .. kLocals-1]: they are the same at every point.
template <class Rule>
void SpectralLine(const Rule& rule, const TSpectralGrid& grid, const std::vector<TPlaneWave>& waves,
                  const std::vector<std::int32_t>& waveAt, const TIndexTuple& tuple, bool byRows, std::int32_t line,
                  TComplexArray* const* spectra, TComplexOf<TExtended>* locals)
{
    using R = TExtended;
    const int nx = grid.Nx();
    const R toSpectrum = R(grid.Count()) * R(grid.CentredSign());
    TComplexOf<R> lateral[Rule::kComponents];
    TComplexOf<R> local[Rule::kLocals + 1];
    for (int l = 0; l < Rule::kLocals; ++l)
        locals[l] = {};
    const int length = byRows ? nx : grid.Ny();
    for (int k = 0; k < length; ++k) {
        const int j = byRows ? k : line, i = byRows ? line : k;
        const std::int32_t w = waveAt[size_t(j + i * nx)];
        if (w < 0)
            continue;
        R phase = 0;
        if (!rule.template Evaluate<R>(waves[size_t(w)], tuple, lateral, phase, local))
            continue;
        const TComplexOf<R> e = toSpectrum * Phasor<R>(phase);
        for (int m = 0; m < Rule::kComponents; ++m) {
            const TComplexOf<R> v = lateral[m] * e;
            spectra[m]->SetAt(j, i, {double(v.re), double(v.im)});
        }
        for (int l = 0; l < Rule::kLocals; ++l)
            locals[l] = locals[l] + local[l];
    }
}

} // namespace ksn
