#pragma once
// The method pointers by which the run loop calls the chosen method's steps: callables
// bound to one engine. An empty std::function is the "nil" step.
#include "config/Records.h"
#include "field/Field.h"
#include "numerics/ComplexArray.h"

#include <cstdint>
#include <functional>

namespace ksn {

// report flag, previous index slice, previous reference index, current index slice,
// current reference index, homogeneous pair, grid, output field (created when empty),
// forward field, backward field (either may be null).
using TPropagationStep = std::function<void(std::uint8_t report, const TComplexArray* previousSlice,
    const TComplex* previousRefN, const TComplexArray* currentSlice, const TComplex* currentRefN,
    bool homogeneousPair, const TGridParms* grid, TFieldRef& output, TField* forward, TField* backward)>;

// previous index slice, previous reference index, current index slice, current
// reference index, homogeneous pair, grid, reflected field (created when empty), forward field.
using TReflectionStep = std::function<void(const TComplexArray* previousSlice, const TComplex* previousRefN,
    const TComplexArray* currentSlice, const TComplex* currentRefN, bool homogeneousPair,
    const TGridParms* grid, TFieldRef& reflected, TField* forward)>;

} // namespace ksn
