#pragma once

namespace ksn {

// In-place radix-2 transform of one sequence of n doubles (split storage).
// sign +1: X[k] = sum_j x[j] e^(-2 pi i jk/n), unscaled;
// sign -1: x[j] = (1/n) sum_k X[k] e^(+2 pi i jk/n). n must be a power of two
// (1 included); any other length throws EGeneralError before touching the data.
void FFT1D(double* re, double* im, int n, int sign);

// The same transform of length ny along y for all nx columns of a row-major block:
// bit reversal swaps whole rows and every butterfly runs along x (contiguous).
// ny must be a power of two, else EGeneralError.
void FFTColumns(double* re, double* im, int nx, int sign, int ny);

// True for 1, 2, 4, 8, ...
bool IsPowerOfTwo(long long n);

} // namespace ksn
