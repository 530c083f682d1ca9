#pragma once
// The method pointers by which the run loop calls the chosen method's steps: callables
// bound to one engine. An empty std::function is the "nil" step.
//
// Everything a step reads for one slice step travels in one TStepInput: the published
// index slices on both sides of the step with their reference (mean) indices, whether
// both are homogeneous, the grid, and the incoming fields.
#include "config/Records.h"
#include "engine/StepMode.h"
#include "field/Field.h"
#include "numerics/ComplexArray.h"

#include <cstdint>
#include <functional>

namespace ksn {

struct TStepInput {
    // The scene's report flag of the slice being entered (read by the beam steps).
    std::uint8_t report = 0;
    // Index of the plane the light comes from (medium 1) and its reference index.
    const TComplexArray* previousSlice = nullptr;
    TComplex previousRefN;
    // Index of the plane being entered (medium 2) and its reference index.
    const TComplexArray* currentSlice = nullptr;
    TComplex currentRefN;
    // Both slices homogeneous: the hybrid steps take their spectral path.
    bool homogeneousPair = false;
    const TGridParms* grid = nullptr;
    // The field arriving from the previous plane, and a field travelling the other way
    // (reflected light) to be combined into the output; either may be null. For a
    // reflection step `forward` is the field incident on the interface.
    TField* forward = nullptr;
    TField* backward = nullptr;
    // This step continues the previous call of this step function (the forward sweep of
    // a run): `forward` is that call's output and `previousSlice` holds the level that
    // was its `currentSlice`, both unchanged since. The step may reuse what it kept of
    // them (the output's spectrum, the slice's runs) instead of computing it again.
    bool continuesLastStep = false;

    TStepMode Mode() const
    {
        if (forward && backward)
            return TStepMode::both;
        return forward ? TStepMode::forwardOnly : TStepMode::backwardOnly;
    }
};

// One propagation step: fills `output` (created on the grid when empty, cleared
// otherwise) with the field of the current plane.
using TPropagationStep = std::function<void(const TStepInput& in, TFieldRef& output)>;

// One reflection step: fills `reflected` (created when empty) with the light that the
// interface between the two slices reflects from `in.forward`.
using TReflectionStep = std::function<void(const TStepInput& in, TFieldRef& reflected)>;

} // namespace ksn
