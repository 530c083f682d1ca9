#pragma once
// Vector fields, the vector steps (single-threaded and pooled) and their comparison for
// the engine tests.
#include "EngineTestSupport.h"
#include "field/VectorEField.h"

#include <algorithm>
#include <string>

namespace ksn::test {

struct TVec {
    TCplx x, y, z;
};

// A vector field of wavelength lambda (metres) with E(c, r) = f(c, r).
inline std::shared_ptr<TVectorEField> MakeVectorField(const TGridParms& g, double lambda,
                                                      const std::function<TVec(int, int)>& f)
{
    auto field = std::make_shared<TVectorEField>(g);
    field->SetLambda(lambda);
    for (int r = 0; r < g.ny; ++r)
        for (int c = 0; c < g.nx; ++c) {
            const TVec v = f(c, r);
            field->EX().SetAt(c, r, {v.x.real(), v.x.imag()});
            field->EY().SetAt(c, r, {v.y.real(), v.y.imag()});
            field->EZ().SetAt(c, r, {v.z.real(), v.z.imag()});
        }
    return field;
}

// Everything a vector step writes: the components, the flux map and the total flux.
struct TVectorResult {
    std::vector<TCplx> ex, ey, ez;
    std::vector<double> flux;
    double total = 0.0;

    std::vector<TCplx> Components() const
    {
        std::vector<TCplx> all(ex);
        all.insert(all.end(), ey.begin(), ey.end());
        all.insert(all.end(), ez.begin(), ez.end());
        return all;
    }
};

inline TVectorResult ResultOf(TField& f)
{
    auto& v = dynamic_cast<TVectorEField&>(f);
    TVectorResult r;
    r.ex = Values(v.EX());
    r.ey = Values(v.EY());
    r.ez = Values(v.EZ());
    for (const TCplx& value : Values(v.EnergyFluxMap()))
        r.flux.push_back(value.real());
    r.total = v.GetEnergyFlux();
    return r;
}

// max |a - b| / max |b| over the flux map.
inline double RelativeMax(const std::vector<double>& a, const std::vector<double>& b)
{
    double d = 0.0, n = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        d = std::max(d, std::abs(a[i] - b[i]));
        n = std::max(n, std::abs(b[i]));
    }
    return n > 0.0 ? d / n : d;
}

// The four vector steps: single-threaded and pooled engine members, and whether the
// step is a hybrid (spectral path on a homogeneous pair).
struct TVectorStepForm {
    using TMember = void (TBrelWaveOptics::*)(const TStepInput&, TFieldRef&);
    const char* name;
    TMember single;
    TMember pooled;
    bool hybrid;

    TPropagationStep Single(TBrelWaveOptics& engine) const { return std::bind_front(single, &engine); }
    TPropagationStep Pooled(TBrelWaveOptics& engine) const { return std::bind_front(pooled, &engine); }
};

inline const TVectorStepForm kVWPM{"PropagateVWPM", &TBrelWaveOptics::PropagateVWPM,
                                   &TBrelWaveOptics::PropagateVWPMMT, false};
inline const TVectorStepForm kVWPMAllComplex{"PropagateVWPMAllComplex", &TBrelWaveOptics::PropagateVWPMAllComplex,
                                             &TBrelWaveOptics::PropagateVWPMMTAllComplex, false};
inline const TVectorStepForm kVWPMH{"PropagateVWPMH", &TBrelWaveOptics::PropagateVWPMH,
                                    &TBrelWaveOptics::PropagateVWPMHMT, true};
inline const TVectorStepForm kVWPMHAllComplex{"PropagateVWPMHAllComplex", &TBrelWaveOptics::PropagateVWPMHAllComplex,
                                              &TBrelWaveOptics::PropagateVWPMHMTAllComplex, true};
inline const TVectorStepForm kVectorSteps[] = {kVWPM, kVWPMAllComplex, kVWPMH, kVWPMHAllComplex};

// An engine whose GetPropFunc has taken the extra modes (read by the all-complex forms).
inline void TakeExtraModes(TBrelWaveOptics& engine, const TGridParms& /*g*/, int extraModes)
{
    TGlobalParms global;
    global.simMethod = TSimMethod::vwpm;
    global.extraModes = extraModes;
    engine.GetPropFunc(global);
}

// The three modes of a step and their inputs.
struct TModeCase {
    const char* name;
    TField* forward;
    TField* backward;
};

} // namespace ksn::test
