#pragma once
// Which propagation and reflection step belongs to a method, given whether the engine
// is multithreaded (MT) and whether the global setting allComplex (AC) is on. The
// engine binds the step it has; a step not available in this build stays unbound, so
// the run loop refuses the run.
#include "config/Records.h"

namespace ksn {

enum class TPropagationStepId {
    none,
    PropagateVWPM,
    PropagateVWPMAllComplex,
    PropagateVWPMMT,
    PropagateVWPMMTAllComplex,
    PropagateVBPMF,
    PropagateVBPMFAllComplex,
    PropagateVBPM,
    PropagateVBPMAllComplex,
    PropagateSWPM,
    PropagateSBPM,
    PropagateVWPMH,
    PropagateVWPMHAllComplex,
    PropagateVWPMHMT,
    PropagateVWPMHMTAllComplex,
    PropagateSWPMH,
};

enum class TReflectionStepId {
    none,
    ReflectVWPM,
    ReflectVWPMAllComplex,
    MT_nextVWR,
    MT_nextVWRAllComplex,
    ReflectVBPM,
    ReflectVBPMAllComplex,
    ReflectSWPM,
    ReflectSBPM,
};

// The selection table; a method value outside the enumeration selects none.
TPropagationStepId SelectPropagationStep(TSimMethod method, bool multithreaded, bool allComplex);
TReflectionStepId SelectReflectionStep(TSimMethod method, bool multithreaded, bool allComplex);

// The step's name ("PropagateSWPM", "MT_nextVWR", ...; "" for none).
const char* PropagationStepName(TPropagationStepId id);
const char* ReflectionStepName(TReflectionStepId id);

} // namespace ksn
