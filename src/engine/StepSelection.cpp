#include "engine/StepSelection.h"

namespace ksn {

TPropagationStepId SelectPropagationStep(TSimMethod method, bool multithreaded, bool allComplex)
{
    using Id = TPropagationStepId;
    switch (method) {
    case TSimMethod::vwpm:
        if (multithreaded)
            return allComplex ? Id::PropagateVWPMMTAllComplex : Id::PropagateVWPMMT;
        return allComplex ? Id::PropagateVWPMAllComplex : Id::PropagateVWPM;
    case TSimMethod::vbpmf: return allComplex ? Id::PropagateVBPMFAllComplex : Id::PropagateVBPMF;
    case TSimMethod::vbpm: return allComplex ? Id::PropagateVBPMAllComplex : Id::PropagateVBPM;
    case TSimMethod::swpm: return Id::PropagateSWPM;
    case TSimMethod::sbpm: return Id::PropagateSBPM;
    case TSimMethod::vwpmh:
        if (multithreaded)
            return allComplex ? Id::PropagateVWPMHMTAllComplex : Id::PropagateVWPMHMT;
        return allComplex ? Id::PropagateVWPMHAllComplex : Id::PropagateVWPMH;
    case TSimMethod::swpmh: return Id::PropagateSWPMH;
    case TSimMethod::vwpmhh: return Id::none; // reserved method without a propagation step
    }
    return Id::none;
}

TReflectionStepId SelectReflectionStep(TSimMethod method, bool multithreaded, bool allComplex)
{
    using Id = TReflectionStepId;
    switch (method) {
    case TSimMethod::vwpm:
    case TSimMethod::vwpmh:
    case TSimMethod::vwpmhh:
        if (allComplex)
            return multithreaded ? Id::MT_nextVWRAllComplex : Id::ReflectVWPMAllComplex;
        return multithreaded ? Id::MT_nextVWR : Id::ReflectVWPM;
    case TSimMethod::vbpmf:
    case TSimMethod::vbpm: return allComplex ? Id::ReflectVBPMAllComplex : Id::ReflectVBPM;
    case TSimMethod::swpm:
    case TSimMethod::swpmh: return Id::ReflectSWPM;
    case TSimMethod::sbpm: return Id::ReflectSBPM;
    }
    return Id::none;
}

const char* PropagationStepName(TPropagationStepId id)
{
    using Id = TPropagationStepId;
    switch (id) {
    case Id::none: return "";
    case Id::PropagateVWPM: return "PropagateVWPM";
    case Id::PropagateVWPMAllComplex: return "PropagateVWPMAllComplex";
    case Id::PropagateVWPMMT: return "PropagateVWPMMT";
    case Id::PropagateVWPMMTAllComplex: return "PropagateVWPMMTAllComplex";
    case Id::PropagateVBPMF: return "PropagateVBPMF";
    case Id::PropagateVBPMFAllComplex: return "PropagateVBPMFAllComplex";
    case Id::PropagateVBPM: return "PropagateVBPM";
    case Id::PropagateVBPMAllComplex: return "PropagateVBPMAllComplex";
    case Id::PropagateSWPM: return "PropagateSWPM";
    case Id::PropagateSBPM: return "PropagateSBPM";
    case Id::PropagateVWPMH: return "PropagateVWPMH";
    case Id::PropagateVWPMHAllComplex: return "PropagateVWPMHAllComplex";
    case Id::PropagateVWPMHMT: return "PropagateVWPMHMT";
    case Id::PropagateVWPMHMTAllComplex: return "PropagateVWPMHMTAllComplex";
    case Id::PropagateSWPMH: return "PropagateSWPMH";
    }
    return "";
}

const char* ReflectionStepName(TReflectionStepId id)
{
    using Id = TReflectionStepId;
    switch (id) {
    case Id::none: return "";
    case Id::ReflectVWPM: return "ReflectVWPM";
    case Id::ReflectVWPMAllComplex: return "ReflectVWPMAllComplex";
    case Id::MT_nextVWR: return "MT_nextVWR";
    case Id::MT_nextVWRAllComplex: return "MT_nextVWRAllComplex";
    case Id::ReflectVBPM: return "ReflectVBPM";
    case Id::ReflectVBPMAllComplex: return "ReflectVBPMAllComplex";
    case Id::ReflectSWPM: return "ReflectSWPM";
    case Id::ReflectSBPM: return "ReflectSBPM";
    }
    return "";
}

} // namespace ksn
