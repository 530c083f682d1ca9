// Measures the FFTW plans of the fast transform (numerics/FastFourier.h) for every grid
// shape of up to 4096 points per axis and one-row or one-column grids of up to 16384,
// and writes their wisdom to the file named on the command line (the stored wisdom,
// src/numerics/fftw-wisdom.txt). Run through scripts/make-fft-wisdom.sh on a quiet
// machine; every process then plans alike from it.
#include "numerics/FastFourier.h"

#include <cstdio>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: fft_wisdom OUTPUT\n";
        return 2;
    }
    using namespace ksn;
    UseStoredFftWisdom(false);
    SetFftPlanning(TFftPlanning::measure);
    const auto plan = [](int nx, int ny) {
        TFastFourier2D transform;
        transform.Setup(nx, ny);
    };
    for (int nx = 1; nx <= 4096; nx *= 2)
        for (int ny = 1; ny <= 4096; ny *= 2)
            plan(nx, ny);
    for (int n = 8192; n <= 16384; n *= 2) {
        plan(n, 1);
        plan(1, n);
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << ExportFftWisdom();
    if (!out.flush()) {
        std::cerr << "fft_wisdom: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
