#include "engine/SpectralTransform.h"

#include "numerics/Complex.h"

#include <cmath>
#include <utility>

namespace ksn {

void TInverseTransform2D::TAxisTables::Setup(int n)
{
    cos.resize(size_t(n / 2));
    sin.resize(size_t(n / 2));
    const TExtended step = 6.283185307179586476925286766559L / TExtended(n);
    for (int k = 0; k < n / 2; ++k) {
        cos[size_t(k)] = double(std::cos(step * k));
        sin[size_t(k)] = double(std::sin(step * k));
    }
    swap.clear();
    for (int a = 0, b = 0; a < n; ++a) {
        if (a < b) {
            swap.push_back(a);
            swap.push_back(b);
        }
        // b := bit-reversed successor of b
        int bit = n >> 1;
        while (bit > 0 && (b & bit)) {
            b ^= bit;
            bit >>= 1;
        }
        b |= bit;
    }
}

void TInverseTransform2D::Setup(int nx, int ny)
{
    if (nx == myNx && ny == myNy)
        return;
    myX.Setup(nx);
    myY.Setup(ny);
    myNx = nx;
    myNy = ny;
}

void TInverseTransform2D::Run(double* re, double* im) const
{
    const int nx = myNx, ny = myNy;
    const size_t stride = size_t(nx);

    // Rows: for each row, permute, then for half-length h = 1, 2, ..., nx/2
    //   u = a[p], v = w a[p+h], a[p] = u + v, a[p+h] = u - v,  w = e^{2 pi i k/(2h)} = table[k nx/(2h)].
    for (int r = 0; r < ny && nx > 1; ++r) {
        double* xr = re + size_t(r) * stride;
        double* xi = im + size_t(r) * stride;
        for (size_t s = 0; s < myX.swap.size(); s += 2) {
            std::swap(xr[myX.swap[s]], xr[myX.swap[s + 1]]);
            std::swap(xi[myX.swap[s]], xi[myX.swap[s + 1]]);
        }
        for (int h = 1; h < nx; h *= 2) {
            const int tableStep = nx / (2 * h);
            for (int p0 = 0; p0 < nx; p0 += 2 * h) {
                for (int k = 0; k < h; ++k) {
                    const double wr = myX.cos[size_t(k * tableStep)], wi = myX.sin[size_t(k * tableStep)];
                    const int p = p0 + k, q = p + h;
                    const double vr = wr * xr[q] - wi * xi[q];
                    const double vi = wr * xi[q] + wi * xr[q];
                    xr[q] = xr[p] - vr;
                    xi[q] = xi[p] - vi;
                    xr[p] += vr;
                    xi[p] += vi;
                }
            }
        }
    }
    if (ny < 2)
        return;

    // Columns: permute whole rows, then the same butterflies between rows p and q = p + h,
    // the innermost loop along x.
    for (size_t s = 0; s < myY.swap.size(); s += 2) {
        double* ar = re + size_t(myY.swap[s]) * stride;
        double* ai = im + size_t(myY.swap[s]) * stride;
        double* br = re + size_t(myY.swap[s + 1]) * stride;
        double* bi = im + size_t(myY.swap[s + 1]) * stride;
        for (int x = 0; x < nx; ++x) {
            std::swap(ar[x], br[x]);
            std::swap(ai[x], bi[x]);
        }
    }
    for (int h = 1; h < ny; h *= 2) {
        const int tableStep = ny / (2 * h);
        for (int p0 = 0; p0 < ny; p0 += 2 * h) {
            for (int k = 0; k < h; ++k) {
                const double wr = myY.cos[size_t(k * tableStep)], wi = myY.sin[size_t(k * tableStep)];
                double* pr = re + size_t(p0 + k) * stride;
                double* pi = im + size_t(p0 + k) * stride;
                double* qr = pr + size_t(h) * stride;
                double* qi = pi + size_t(h) * stride;
                for (int x = 0; x < nx; ++x) {
                    const double vr = wr * qr[x] - wi * qi[x];
                    const double vi = wr * qi[x] + wi * qr[x];
                    qr[x] = pr[x] - vr;
                    qi[x] = pi[x] - vi;
                    pr[x] += vr;
                    pi[x] += vi;
                }
            }
        }
    }
}

} // namespace ksn
