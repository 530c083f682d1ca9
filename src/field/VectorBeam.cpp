// The vector beam generator and the z energy flux of a vector field.
#include "config/Messages.h"
#include "numerics/FastFourier.h"
#include "field/BeamSetup.h"
#include "field/VectorEField.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace ksn {

namespace {

constexpr TExtended kPi = 3.141592653589793238462643383279503L;
constexpr TExtended kTwoPi = 6.283185307179586476925286766559006L;

// Largest exponent accepted for the growth of an evanescent pixel traced back by shiftZ.
constexpr TExtended kMaxGrowthExponent = 700.0L;

} // namespace

// Polarised beam of one wave (u the length unit in metres, s = (shiftX, shiftY, shiftZ) u):
//
//   Px = A (e^{-i delta} cos(theta) cos(rho) cos(psi) - sin(rho) sin(psi))
//   Py = A (e^{-i delta} cos(theta) sin(rho) cos(psi) + cos(rho) sin(psi))
//   Pz = -A e^{-i delta} sin(theta) cos(psi)                (|P| < 1e-15 -> 0)
//
//   x = (ix - nx/2) dx u - s.x,  y = (iy - ny/2) dy u - s.y,  z = -s.z   (real nx/2, ny/2)
//   E(ix, iy) [+]= g(x, y) e^{i (kx x + ky y + kz z)} (Px, Py, Pz)
//
// with the envelope g = exp(-pi (x^2/(sigmaX u)^2 + y^2/(sigmaY u)^2)) for a Gaussian,
// 1 at x = y = 0 exactly and 0 elsewhere for a dirac beam, and 1 for a plane wave.
// With an index array of real part n the wave vector is taken in the medium:
// kz = sqrt((n k0)^2 - kx^2 - ky^2) for a tilted wave, (0, 0, n k0) at normal incidence.
// Where the medium cannot carry the tilt the principal root kz = i kappa applies and the
// pixel is evanescent: e^{i kz z} = e^{-kappa z}.
bool TVectorEField::Generate(const TGridParms& grid, const TFieldOptions& options, const TComplexArray* index,
    bool add, const char* caller)
{
    const std::string head = std::string("Error in TVectorEField.") + caller + "(). ";
    TBeamSetup s;
    if (!BeginBeam(head, grid, myEX, index, options, s))
        return false;
    myAmplitudeSum += options.amplitude;

    // Polarisation with the unit phasor e^{-i delta} = (cos delta, -sin delta).
    const TExtended a = options.amplitude;
    const TExtended ct = std::cos(s.theta), st = std::sin(s.theta);
    const TExtended cr = std::cos(s.rho), sr = std::sin(s.rho);
    const TExtended cp = std::cos(s.psi), sp = std::sin(s.psi);
    const TExtended cd = std::cos(s.delta), sd = -std::sin(s.delta);
    const TComplex px = ZeroBelowThreshold({double(a * (cd * ct * cr * cp - sr * sp)), double(a * sd * ct * cr * cp)});
    const TComplex py = ZeroBelowThreshold({double(a * (cd * ct * sr * cp + cr * sp)), double(a * sd * ct * sr * cp)});
    const TComplex pz = ZeroBelowThreshold({double(-a * cd * st * cp), double(-a * sd * st * cp)});

    const int nx = grid.nx, ny = grid.ny;
    const TExtended z = -grid.ToMetres(options.shiftZ);
    const TExtended n0 = TExtended(nx) / 2.0L, m0 = TExtended(ny) / 2.0L;
    const bool tilted = options.theta != 0.0;
    const TExtended kt2 = s.kx * s.kx + s.ky * s.ky;
    const double* nre = index != nullptr ? index->Re() : nullptr;

    double* xr = myEX.Re();
    double* xi = myEX.Im();
    double* yr = myEY.Re();
    double* yi = myEY.Im();
    double* zr = myEZ.Re();
    double* zi = myEZ.Im();
    long lost = 0;
    for (int iy = 0; iy < ny; ++iy) {
        const TExtended y = grid.ToMetres((iy - m0) * grid.dy - options.shiftY);
        for (int ix = 0; ix < nx; ++ix) {
            const TExtended x = grid.ToMetres((ix - n0) * grid.dx - options.shiftX);
            const size_t k = size_t(ix) + size_t(iy) * size_t(nx);

            TExtended g = 1.0L;
            if (options.shape == TBeamShape::gaussian)
                g = std::exp(-kPi * (x * x * s.invSigmaX2 + y * y * s.invSigmaY2));
            else if (options.shape == TBeamShape::dirac)
                g = (x == 0.0L && y == 0.0L) ? 1.0L : 0.0L;

            // Local wave vector: (kx, ky, kzr + i kzi).
            TExtended kx = s.kx, ky = s.ky, kzr = s.kz, kzi = 0.0L;
            if (nre != nullptr) {
                const TExtended nk = TExtended(nre[k]) * s.k0;
                if (!tilted) {
                    kx = ky = 0.0L;
                    kzr = nk;
                } else {
                    const TExtended radicand = nk * nk - kt2;
                    if (radicand >= 0.0L) {
                        kzr = std::sqrt(radicand);
                    } else {
                        kzr = 0.0L;
                        kzi = std::sqrt(-radicand);
                    }
                }
            }
            const TExtended growth = -kzi * z;
            TExtended cre = 0.0L, cim = 0.0L;
            if (g != 0.0L && growth <= kMaxGrowthExponent) {
                const TExtended amp = g * (kzi != 0.0L ? std::exp(growth) : 1.0L);
                const TExtended phi = kx * x + ky * y + kzr * z;
                cre = amp * std::cos(phi);
                cim = amp * std::sin(phi);
            } else if (g != 0.0L) {
                ++lost; // the evanescent amplitude is not representable here
            }
            // contribution c (Px, Py, Pz), c = cre + i cim
            const double vxr = double(cre * px.re - cim * px.im), vxi = double(cre * px.im + cim * px.re);
            const double vyr = double(cre * py.re - cim * py.im), vyi = double(cre * py.im + cim * py.re);
            const double vzr = double(cre * pz.re - cim * pz.im), vzi = double(cre * pz.im + cim * pz.re);
            if (add) {
                xr[k] += vxr, xi[k] += vxi;
                yr[k] += vyr, yi[k] += vyi;
                zr[k] += vzr, zi[k] += vzi;
            } else {
                xr[k] = vxr, xi[k] = vxi;
                yr[k] = vyr, yi[k] = vyi;
                zr[k] = vzr, zi[k] = vzi;
            }
        }
    }
    if (lost > 0)
        ShowMessage(head + "Evanescent amplitude too large at " + std::to_string(lost) + " pixels; set to 0.");
    return true;
}

// Power density of one plane wave over one area element: kz dA |Ex Ex* + Ey Ey* + Ez Ez*|.
TExtended TVectorEField::PowerDensity(TComplex ex, TComplex ey, TComplex ez, TExtended kz) const
{
    const TExtended e2 = TExtended(ex.re) * ex.re + TExtended(ex.im) * ex.im + TExtended(ey.re) * ey.re +
        TExtended(ey.im) * ey.im + TExtended(ez.re) * ez.re + TExtended(ez.im) * ez.im;
    return kz * myDA * e2;
}

// z flux of one plane wave with transverse amplitudes (Ex, Ey) over one area element:
//   H = k x E / k0 with Ez from transversality, i.e.
//   Hx = -(kx ky Ex + (ky^2 + kz^2) Ey) / (k0 kz),  Hy = ((kx^2 + kz^2) Ex + kx ky Ey) / (k0 kz),
//   at normal incidence Hx = -n Ey, Hy = n Ex;
//   flux = dA |Ex Hy* - Ey Hx*|, 0 for kz <= 0.
TExtended TVectorEField::PlaneWaveFlux(TComplex kx, TComplex ky, TComplex ey, TComplex ex, TExtended kz,
    TExtended kyReal, TExtended kxReal, TExtended k0, TExtended n) const
{
    if (!(kz > 0.0L))
        return 0.0L;
    TComplex hx, hy;
    if (kxReal == 0.0L && kyReal == 0.0L) {
        hx = CMulR(ey, -n);
        hy = CMulR(ex, n);
    } else {
        if (!(k0 > 0.0L))
            return 0.0L;
        const TExtended c = 1.0L / (k0 * kz);
        const TComplex kz2{double(kz * kz), 0.0};
        const TComplex kxky = CMul(kx, ky);
        hx = CMulR(CAdd(CMul(kxky, ex), CMul(CAdd(CMul(ky, ky), kz2), ey)), -c);
        hy = CMulR(CAdd(CMul(CAdd(CMul(kx, kx), kz2), ex), CMul(kxky, ey)), c);
    }
    return myDA * CAbs(CSub(CMul(ex, CConj(hy)), CMul(ey, CConj(hx))));
}

// Total z energy flux of the slice from its plane-wave spectrum:
//   E_k = FFT(E)(k) / (nx ny)   (centred, zero frequency at (nx/2, ny/2)),
//   kx = (ix - nx/2) 2 pi / Lx,  ky = (iy - ny/2) 2 pi / Ly,  Lx = nx dx u (1 when dx = 0),
//   flux = sum over propagating k (k0^2 >= kx^2 + ky^2, kx < pi/(dx u), ky < pi/(dy u))
//          of sum over the pixels p of the index array with G = n_p^2 k0^2 - kt^2 > 0
//          of PowerDensity(E_k, sqrt(G)).
// The inner sum depends on p only through n_p, so it runs over the distinct real indices
// of the slice with their pixel counts. The spectrum is taken of copies: the field keeps
// its values exactly.
TExtended TVectorEField::ComputeEnergyFlux(const TComplexArray* index)
{
    SetEnergyFlux(0.0);
    if (!(myLambda > 0.0) || !std::isfinite(myLambda)) {
        ShowMessage("Error in TVectorEField.ComputeEnergyFlux(). No wavelength.");
        return 0.0L;
    }
    const int nx = myEX.Nx(), ny = myEX.Ny();
    if (!CanTransform(nx, ny, 1))
        return 0.0L;
    const TExtended k0 = kTwoPi / TExtended(myLambda);
    const bool boundX = myGrid.dx != 0.0, boundY = myGrid.dy != 0.0;
    const TExtended dx = myGrid.ToMetres(myGrid.dx), dy = myGrid.ToMetres(myGrid.dy);
    const TExtended lx = boundX ? nx * dx : 1.0L;
    const TExtended ly = boundY ? ny * dy : 1.0L;
    const TExtended kxMax = boundX ? kPi / dx : 0.0L;
    const TExtended kyMax = boundY ? kPi / dy : 0.0L;

    // Distinct real indices n of the slice and how many pixels carry each (vacuum without
    // an index array).
    std::vector<double> indices;
    if (index != nullptr)
        indices.assign(index->Re(), index->Re() + index->Count());
    else
        indices.assign(size_t(nx) * size_t(ny), 1.0);
    std::sort(indices.begin(), indices.end());
    std::vector<TExtended> n2k02;
    std::vector<TExtended> weight;
    for (size_t i = 0; i < indices.size();) {
        size_t j = i;
        while (j < indices.size() && indices[j] == indices[i])
            ++j;
        n2k02.push_back(TExtended(indices[i]) * indices[i] * k0 * k0);
        weight.push_back(TExtended(j - i));
        i = j;
    }

    TComplexArray sx(myEX), sy(myEY), sz(myEZ);
    FastCentredFFT(sx, 1);
    FastCentredFFT(sy, 1);
    FastCentredFFT(sz, 1);
    const TExtended scale = 1.0L / (TExtended(nx) * ny);
    const size_t distinct = n2k02.size();
    TExtended total = 0.0L;
    for (int iy = 0; iy < ny; ++iy) {
        const TExtended ky = ny > 1 ? (iy - ny / 2.0L) * kTwoPi / ly : 0.0L;
        if (boundY && !(ky < kyMax))
            continue;
        for (int ix = 0; ix < nx; ++ix) {
            const TExtended kx = nx > 1 ? (ix - nx / 2.0L) * kTwoPi / lx : 0.0L;
            if (boundX && !(kx < kxMax))
                continue;
            const TExtended kt2 = kx * kx + ky * ky;
            if (k0 * k0 - kt2 < 0.0L)
                continue;
            const TComplex ex = sx.At(ix, iy), ey = sy.At(ix, iy), ez = sz.At(ix, iy);
            if (ex == TComplex{} && ey == TComplex{} && ez == TComplex{})
                continue;
            const TComplex ekx = CMulR(ex, scale), eky = CMulR(ey, scale), ekz = CMulR(ez, scale);
            const TExtended density = PowerDensity(ekx, eky, ekz, 1.0L); // dA |E_k|^2
            TExtended kzSum = 0.0L;
            for (size_t d = 0; d < distinct; ++d) {
                const TExtended g = n2k02[d] - kt2;
                if (g > 0.0L)
                    kzSum += weight[d] * std::sqrt(g);
            }
            total += density * kzSum;
        }
    }
    SetEnergyFlux(double(total));
    return total;
}

} // namespace ksn
