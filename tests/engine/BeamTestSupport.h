#pragma once
// Vector fields, step inputs with reference indices, and an independent angular-spectrum
// propagation for the beam-propagation and reflection tests.
#include "EngineTestSupport.h"
#include "field/VectorEField.h"

#include <array>

namespace ksn::test {

using TVectorFn = std::function<std::array<TCplx, 2>(int, int)>;

// A vector field of wavelength kLambda with (Ex, Ey)(c, r) = f(c, r), Ez = 0.
inline std::shared_ptr<TVectorEField> MakeVector(const TGridParms& g, const TVectorFn& f)
{
    auto field = std::make_shared<TVectorEField>(g);
    field->SetLambda(kLambda);
    for (int r = 0; r < g.ny; ++r)
        for (int c = 0; c < g.nx; ++c) {
            const auto v = f(c, r);
            field->EX().SetAt(c, r, {v[0].real(), v[0].imag()});
            field->EY().SetAt(c, r, {v[1].real(), v[1].imag()});
        }
    return field;
}

// A scalar field E = f[0] or a vector field (f[0], f[1]).
inline TFieldRef FieldOf(bool scalar, const TGridParms& g, const TVectorFn& f)
{
    if (scalar)
        return MakeField(g, kLambda, [&](int c, int r) { return f(c, r)[0]; });
    return MakeVector(g, f);
}

// Component m (0 = x, 1 = y, 2 = z; a scalar field has only 0) of a field.
inline std::vector<TCplx> Comp(const TField& f, int m)
{
    if (!f.IsVector())
        return Values(f);
    const auto& v = dynamic_cast<const TVectorEField&>(f);
    return Values(m == 0 ? v.EX() : m == 1 ? v.EY() : v.EZ());
}

inline TStepInput Input(const TComplexArray& previous, TCplx n1, const TComplexArray& current, TCplx n2,
                        const TGridParms& g, TField* forward, TField* backward = nullptr, bool homogeneous = false)
{
    TStepInput in;
    in.previousSlice = &previous;
    in.previousRefN = {n1.real(), n1.imag()};
    in.currentSlice = &current;
    in.currentRefN = {n2.real(), n2.imag()};
    in.homogeneousPair = homogeneous;
    in.grid = &g;
    in.forward = forward;
    in.backward = backward;
    return in;
}

// Uniform slices n1 | n2 with the reference indices equal to them.
struct TInterface {
    TComplexArray previous, current;
    TCplx n1, n2;
    TInterface(const TGridParms& g, TCplx a, TCplx b) : previous(UniformSlice(g, a)), current(UniformSlice(g, b)), n1(a), n2(b)
    {
    }
    TStepInput In(const TGridParms& g, TField* forward, TField* backward = nullptr, bool homogeneous = true) const
    {
        return Input(previous, n1, current, n2, g, forward, backward, homogeneous);
    }
};

inline TGlobalParms Method(TSimMethod m, bool allComplex = false)
{
    TGlobalParms global;
    global.simMethod = m;
    global.allComplex = allComplex;
    return global;
}

// One call of a propagation or reflection step (the two callables share one type).
inline TFieldRef CallStep(const TPropagationStep& step, const TStepInput& in)
{
    TFieldRef out;
    step(in, out);
    return out;
}

inline double Kx(const TGridParms& g, int j) { return g.nx >= 2 ? (j - g.nx / 2.0) * 2.0 * kPi / (g.nx * g.dx * g.scaleFactor) : 0.0; }
inline double Ky(const TGridParms& g, int i) { return g.ny >= 2 ? (i - g.ny / 2.0) * 2.0 * kPi / (g.ny * g.dy * g.scaleFactor) : 0.0; }

// Independent angular-spectrum propagation of (Ex, Ey) through a homogeneous medium of
// complex index n over one slice, by explicit centred sums (no FFT):
//   F(k) = sum_p f(p) e^{-i k.x},  kz = sqrt((Re n k0)^2 - kt^2) (only kt < k0 kept),
//   E'(p) = (1/N) sum_k F(k) e^{i kz dz} exp(-k0 Im n dz Re n k0 / kz) e^{i k.x},
//   Ez' from transversality: -(kx Ex' + ky Ey') / kz per plane wave.
// Returns the three components.
inline std::array<std::vector<TCplx>, 3> AngularSpectrumVector(const TGridParms& g, const std::vector<TCplx>& ex,
                                                               const std::vector<TCplx>& ey, TCplx n)
{
    const int nx = g.nx, ny = g.ny;
    const double k0 = 2.0 * kPi / kLambda, dz = g.dz * g.scaleFactor, beta = n.real() * k0;
    std::array<std::vector<TCplx>, 3> out;
    for (auto& v : out)
        v.assign(ex.size(), 0.0);
    for (int i = 0; i < ny; ++i)
        for (int j = 0; j < nx; ++j) {
            const double kx = Kx(g, j), ky = Ky(g, i), kt2 = kx * kx + ky * ky;
            if (kt2 >= k0 * k0 || kt2 >= beta * beta)
                continue;
            TCplx fx = 0.0, fy = 0.0;
            for (int r = 0; r < ny; ++r)
                for (int c = 0; c < nx; ++c) {
                    const TCplx e = std::polar(1.0, -(kx * XOf(g, c) + ky * YOf(g, r)));
                    fx += ex[size_t(c + r * nx)] * e;
                    fy += ey[size_t(c + r * nx)] * e;
                }
            const double kz = std::sqrt(beta * beta - kt2);
            const TCplx h = std::polar(std::exp(-k0 * n.imag() * dz * beta / kz), kz * dz) / double(nx * ny);
            const TCplx fz = -(kx * fx + ky * fy) / kz;
            for (int r = 0; r < ny; ++r)
                for (int c = 0; c < nx; ++c) {
                    const TCplx e = h * std::polar(1.0, kx * XOf(g, c) + ky * YOf(g, r));
                    out[0][size_t(c + r * nx)] += fx * e;
                    out[1][size_t(c + r * nx)] += fy * e;
                    out[2][size_t(c + r * nx)] += fz * e;
                }
        }
    return out;
}

} // namespace ksn::test
