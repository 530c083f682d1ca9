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

TPropagationStep TBrelWaveOptics::GetPropFunc(const TGlobalParms& global, const TGridParms& /*grid*/)
{
    myExtraModes = global.extraModes;
    switch (SelectPropagationStep(global.simMethod, myMultithreaded, global.allComplex)) {
    case TPropagationStepId::PropagateSWPM: return std::bind_front(&TBrelWaveOptics::PropagateSWPM, this);
    case TPropagationStepId::PropagateSWPMH: return std::bind_front(&TBrelWaveOptics::PropagateSWPMH, this);
    default: return {}; // the other methods' steps are not part of this build yet
    }
}

TReflectionStep TBrelWaveOptics::GetReflFunc(const TGlobalParms& global, const TGridParms& /*grid*/)
{
    switch (SelectReflectionStep(global.simMethod, myMultithreaded, global.allComplex)) {
    case TReflectionStepId::none: return {};
    default: return {}; // the reflection steps are not part of this build yet
    }
}

bool TBrelWaveOptics::InModeRange(double nk, double dk, double k) const
{
    return ksn::InModeRange(nk, dk, k, myExtraModes);
}

void TBrelWaveOptics::StoreStepTime() { myStepTime = myTimer->Elapsed() * 1000.0L; }

} // namespace ksn
