#include "numerics/FFT12.h"

#include "numerics/Complex.h"
#include "numerics/GeneralError.h"

#include <cmath>
#include <string>
#include <utility>

namespace ksn {

namespace {

// Twiddle recurrence in extended precision: theta = -sign*pi/h,
// wpr = -2 sin^2(theta/2), wpi = sin(theta); w' = w + (wpr*w - ... ).
struct TTwiddle {
    TExtended wpr, wpi;
    explicit TTwiddle(int h, int sign)
    {
        const TExtended theta = 3.14159265358979323846264338327950288L / (TExtended(h) * TExtended(-sign));
        const TExtended s = std::sin(0.5L * theta);
        wpr = -2.0L * s * s;
        wpi = std::sin(theta);
    }
};

} // namespace

bool IsPowerOfTwo(long long n) { return n >= 1 && (n & (n - 1)) == 0; }

void FFT1D(double* re, double* im, int n, int sign)
{
    // A radix-2 butterfly on any other length reads past the end of the block.
    if (!IsPowerOfTwo(n))
        throw EGeneralError("FFT1D: Length is not a power of two: " + std::to_string(n));
    // theta = pi/(h*(-sign)) is meaningless for any other sign.
    if (sign != 1 && sign != -1)
        throw EGeneralError("FFT1D: Sign must be +1 or -1: " + std::to_string(sign));
    if (n < 2)
        return;
    // 1. Bit-reversal permutation.
    int j = 0;
    for (int i = 0; i < n; ++i) {
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int m = n / 2;
        while (m > 1 && j >= m) {
            j -= m;
            m /= 2;
        }
        j += m;
    }
    // 2. Butterflies: x[q] = x[p] - w x[q], x[p] = x[p] + w x[q], q = p + h.
    for (int h = 1; h < n; h *= 2) {
        const TTwiddle tw(h, sign);
        TExtended wr = 1.0L, wi = 0.0L;
        for (int k = 0; k < h; ++k) {
            for (int p = k; p < n; p += 2 * h) {
                const int q = p + h;
                const TExtended tr = wr * re[q] - wi * im[q];
                const TExtended ti = wr * im[q] + wi * re[q];
                re[q] = double(re[p] - tr);
                im[q] = double(im[p] - ti);
                re[p] = double(re[p] + tr);
                im[p] = double(im[p] + ti);
            }
            const TExtended wtemp = wr;
            wr = wr + (tw.wpr * wr - tw.wpi * wi);
            wi = wi + (tw.wpr * wi + tw.wpi * wtemp);
        }
    }
    // 3. The inverse is scaled by 1/n.
    if (sign == -1) {
        const double inv = 1.0 / n;
        for (int i = 0; i < n; ++i) {
            re[i] *= inv;
            im[i] *= inv;
        }
    }
}

void FFTColumns(double* re, double* im, int nx, int sign, int ny)
{
    if (!IsPowerOfTwo(ny))
        throw EGeneralError("FFTColumns: Length is not a power of two: " + std::to_string(ny));
    if (sign != 1 && sign != -1)
        throw EGeneralError("FFTColumns: Sign must be +1 or -1: " + std::to_string(sign));
    if (ny < 2)
        return;
    const size_t stride = size_t(nx);
    // 1. Bit reversal over whole rows.
    int j = 0;
    for (int i = 0; i < ny; ++i) {
        if (i < j) {
            double* ri = re + size_t(i) * stride;
            double* rj = re + size_t(j) * stride;
            double* ii = im + size_t(i) * stride;
            double* ij = im + size_t(j) * stride;
            for (int x = 0; x < nx; ++x) {
                std::swap(ri[x], rj[x]);
                std::swap(ii[x], ij[x]);
            }
        }
        int m = ny / 2;
        while (m > 1 && j >= m) {
            j -= m;
            m /= 2;
        }
        j += m;
    }
    // 2. Butterflies on whole rows, innermost loop along x.
    for (int h = 1; h < ny; h *= 2) {
        const TTwiddle tw(h, sign);
        TExtended wr = 1.0L, wi = 0.0L;
        for (int k = 0; k < h; ++k) {
            for (int p = k; p < ny; p += 2 * h) {
                double* rp = re + size_t(p) * stride;
                double* ip = im + size_t(p) * stride;
                double* rq = re + size_t(p + h) * stride;
                double* iq = im + size_t(p + h) * stride;
                for (int x = 0; x < nx; ++x) {
                    const TExtended tr = wr * rq[x] - wi * iq[x];
                    const TExtended ti = wr * iq[x] + wi * rq[x];
                    rq[x] = double(rp[x] - tr);
                    iq[x] = double(ip[x] - ti);
                    rp[x] = double(rp[x] + tr);
                    ip[x] = double(ip[x] + ti);
                }
            }
            const TExtended wtemp = wr;
            wr = wr + (tw.wpr * wr - tw.wpi * wi);
            wi = wi + (tw.wpr * wi + tw.wpi * wtemp);
        }
    }
    if (sign == -1) {
        const double inv = 1.0 / ny;
        const size_t total = stride * size_t(ny);
        for (size_t i = 0; i < total; ++i) {
            re[i] *= inv;
            im[i] *= inv;
        }
    }
}

} // namespace ksn
