#pragma once
#include <cstdint>

namespace ksn {

// Which way the light of one step travels: the forward field only, the backward
// (reflected) field only, or both combined into the output. Fixed for a whole step.
enum class TStepMode : std::uint8_t { forwardOnly, backwardOnly, both };

} // namespace ksn
