#!/usr/bin/env bash
# Measures the FFTW plans of the fast transform anew and stores them as the program's
# wisdom (src/numerics/fftw-wisdom.txt; FastFourier.h says why). Run on a quiet machine
# of the kind the program runs on, after ./run.sh; rebuild afterwards. The last bits of
# results may change with the new plans.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j2 --target fft_wisdom
build/bench/fft/fft_wisdom src/numerics/fftw-wisdom.txt
echo "stored $(wc -c < src/numerics/fftw-wisdom.txt) bytes of wisdom in src/numerics/fftw-wisdom.txt"
