#include "engine/BrelWaveOptics.h"

#include "engine/PlaneWaveHelpers.h"
#include "numerics/GeneralError.h"

#include <functional>

namespace ksn {

TBrelWaveOptics::TBrelWaveOptics() : myTimer(std::make_unique<TPerfTimer>()) {}

TBrelWaveOptics::TBrelWaveOptics(std::int32_t threadCount) : TBrelWaveOptics()
{
    if (threadCount < 0)
        throw EGeneralError("Error in TBrelWaveOptics.Create(threadCount). Range check error: " +
                            std::to_string(threadCount) + ".");
    myMultithreaded = threadCount >= 2;
    myThreadCount = threadCount;
    if (myMultithreaded)
        myTeam = std::make_unique<TWorkTeam>(threadCount);
}

// Fields and slices a step reads belong to the caller; the engine frees none of them.
TBrelWaveOptics::~TBrelWaveOptics() = default;

TPropagationStep TBrelWaveOptics::GetPropFunc(const TGlobalParms& global)
{
    myExtraModes = global.extraModes;
    switch (SelectPropagationStep(global.simMethod, myMultithreaded, global.allComplex)) {
    case TPropagationStepId::PropagateSWPM: return std::bind_front(&TBrelWaveOptics::PropagateSWPM, this);
    case TPropagationStepId::PropagateSWPMH: return std::bind_front(&TBrelWaveOptics::PropagateSWPMH, this);
    case TPropagationStepId::PropagateVBPMF: return std::bind_front(&TBrelWaveOptics::PropagateVBPMF, this);
    case TPropagationStepId::PropagateVBPMFAllComplex:
        return std::bind_front(&TBrelWaveOptics::PropagateVBPMFAllComplex, this);
    case TPropagationStepId::PropagateVBPM: return std::bind_front(&TBrelWaveOptics::PropagateVBPM, this);
    case TPropagationStepId::PropagateVBPMAllComplex:
        return std::bind_front(&TBrelWaveOptics::PropagateVBPMAllComplex, this);
    case TPropagationStepId::PropagateSBPM: return std::bind_front(&TBrelWaveOptics::PropagateSBPM, this);
    case TPropagationStepId::PropagateVWPM: return std::bind_front(&TBrelWaveOptics::PropagateVWPM, this);
    case TPropagationStepId::PropagateVWPMAllComplex:
        return std::bind_front(&TBrelWaveOptics::PropagateVWPMAllComplex, this);
    case TPropagationStepId::PropagateVWPMH: return std::bind_front(&TBrelWaveOptics::PropagateVWPMH, this);
    case TPropagationStepId::PropagateVWPMHAllComplex:
        return std::bind_front(&TBrelWaveOptics::PropagateVWPMHAllComplex, this);
    case TPropagationStepId::PropagateVWPMMT: return std::bind_front(&TBrelWaveOptics::PropagateVWPMMT, this);
    case TPropagationStepId::PropagateVWPMMTAllComplex:
        return std::bind_front(&TBrelWaveOptics::PropagateVWPMMTAllComplex, this);
    case TPropagationStepId::PropagateVWPMHMT: return std::bind_front(&TBrelWaveOptics::PropagateVWPMHMT, this);
    case TPropagationStepId::PropagateVWPMHMTAllComplex:
        return std::bind_front(&TBrelWaveOptics::PropagateVWPMHMTAllComplex, this);
    default: return {}; // the other methods' steps are not part of this build yet
    }
}

TReflectionStep TBrelWaveOptics::GetReflFunc(const TGlobalParms& global)
{
    switch (SelectReflectionStep(global.simMethod, myMultithreaded, global.allComplex)) {
    case TReflectionStepId::none: return {};
    case TReflectionStepId::ReflectVWPM: return std::bind_front(&TBrelWaveOptics::ReflectVWPM, this);
    case TReflectionStepId::ReflectVWPMAllComplex: return std::bind_front(&TBrelWaveOptics::ReflectVWPMAllComplex, this);
    case TReflectionStepId::MT_nextVWR: return std::bind_front(&TBrelWaveOptics::MT_nextVWR, this);
    case TReflectionStepId::MT_nextVWRAllComplex: return std::bind_front(&TBrelWaveOptics::MT_nextVWRAllComplex, this);
    case TReflectionStepId::ReflectVBPM: return std::bind_front(&TBrelWaveOptics::ReflectVBPM, this);
    case TReflectionStepId::ReflectVBPMAllComplex: return std::bind_front(&TBrelWaveOptics::ReflectVBPMAllComplex, this);
    case TReflectionStepId::ReflectSWPM: return std::bind_front(&TBrelWaveOptics::ReflectSWPM, this);
    case TReflectionStepId::ReflectSBPM: return std::bind_front(&TBrelWaveOptics::ReflectSBPM, this);
    }
    return {};
}

bool TBrelWaveOptics::InModeRange(double nk, double dk, double k) const
{
    return ksn::InModeRange(nk, dk, k, myExtraModes);
}

void TBrelWaveOptics::StoreStepTime() { myStepTime = myTimer->Elapsed() * 1000.0L; }

} // namespace ksn
