#pragma once
// The message of the general error an action raises, or "<no error>", so tests compare
// the system's exact texts.
#include "numerics/GeneralError.h"

#include <string>

namespace ksn::test {

template <class TAction>
std::string ErrorTextOf(TAction&& action)
{
    try {
        action();
    } catch (const EGeneralError& e) {
        return e.what();
    }
    return "<no error>";
}

} // namespace ksn::test
