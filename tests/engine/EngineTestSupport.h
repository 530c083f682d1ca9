#pragma once
// Grids, fields, index slices and step calls for the engine tests.
#include "engine/BrelWaveOptics.h"
#include "field/ScalarEField.h"
#include "numerics/ComplexArray.h"

#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <vector>

namespace ksn::test {

using TCplx = std::complex<double>;

// Grid in micrometres (scale factor 1e-6).
inline TGridParms MakeGrid(int nx, int ny, double dx = 0.5, double dy = 0.5, double dz = 0.25)
{
    TGridParms g;
    g.nx = nx;
    g.ny = ny;
    g.nz = 4;
    g.scaleFactor = 1e-6;
    g.dx = dx;
    g.dy = dy;
    g.dz = dz;
    return g;
}

// Physical coordinate of column c / row r in metres: (c - n/2) d scaleFactor.
inline double XOf(const TGridParms& g, int c) { return (c - g.nx / 2.0) * g.dx * g.scaleFactor; }
inline double YOf(const TGridParms& g, int r) { return (r - g.ny / 2.0) * g.dy * g.scaleFactor; }

// A scalar field of wavelength lambda (metres) with E(c, r) = f(c, r).
inline std::shared_ptr<TScalarEField> MakeField(const TGridParms& g, double lambda,
                                                const std::function<TCplx(int, int)>& f)
{
    auto field = std::make_shared<TScalarEField>(g);
    field->SetLambda(lambda);
    for (int r = 0; r < g.ny; ++r)
        for (int c = 0; c < g.nx; ++c) {
            const TCplx v = f(c, r);
            field->E().SetAt(c, r, {v.real(), v.imag()});
        }
    return field;
}

inline TComplexArray MakeSlice(const TGridParms& g, const std::function<TCplx(int, int)>& n)
{
    TComplexArray a(g.nx, g.ny);
    for (int r = 0; r < g.ny; ++r)
        for (int c = 0; c < g.nx; ++c) {
            const TCplx v = n(c, r);
            a.SetAt(c, r, {v.real(), v.imag()});
        }
    return a;
}

inline TComplexArray UniformSlice(const TGridParms& g, TCplx n)
{
    return MakeSlice(g, [n](int, int) { return n; });
}

inline std::vector<TCplx> Values(const TComplexArray& a)
{
    std::vector<TCplx> v;
    for (int r = 0; r < a.Ny(); ++r)
        for (int c = 0; c < a.Nx(); ++c)
            v.emplace_back(a.At(c, r).re, a.At(c, r).im);
    return v;
}

inline std::vector<TCplx> Values(const TField& f) { return Values(dynamic_cast<const TScalarEField&>(f).E()); }

// ||a - b|| / ||b|| over all points (L2).
inline double RelativeL2(const std::vector<TCplx>& a, const std::vector<TCplx>& b)
{
    double d = 0.0, n = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        d += std::norm(a[i] - b[i]);
        n += std::norm(b[i]);
    }
    return std::sqrt(d / n);
}

// One step through a bound step callable.
inline TFieldRef Step(const TPropagationStep& step, const TComplexArray& previous, const TComplexArray& current,
                      const TGridParms& g, TField* forward, TField* backward = nullptr, bool homogeneous = false)
{
    TFieldRef out;
    step(TStepInput{0, &previous, {}, &current, {}, homogeneous, &g, forward, backward}, out);
    return out;
}

// The step of a method (the grid goes to each call of the step, not to its selection).
inline TPropagationStep StepOf(TBrelWaveOptics& engine, TSimMethod method, const TGridParms& /*grid*/ = {})
{
    TGlobalParms global;
    global.simMethod = method;
    return engine.GetPropFunc(global);
}

// One SWPM step with the given summation; the output values.
inline std::vector<TCplx> SwpmWith(TSummation s, const TComplexArray& previous, const TComplexArray& current,
                                   const TGridParms& g, TField* forward, TField* backward = nullptr)
{
    TBrelWaveOptics engine;
    engine.SetSummation(s);
    return Values(*Step(StepOf(engine, TSimMethod::swpm, g), previous, current, g, forward, backward));
}

constexpr double kLambda = 1e-6; // metres
constexpr double kPi = 3.14159265358979323846;

} // namespace ksn::test
