// Layer-parameter variation: the scene keeps the variations, steps them like the wheels
// of an odometer (entry 0 fastest), writes each value into the named field of the named
// layer record, and rebuilds the system array after each step.
#include "scene/BrelScenes.h"

#include "config/Messages.h"

#include <climits>
#include <cmath>
#include <new>
#include <utility>

namespace ksn {

namespace {

constexpr const char* kReplaceVariationFailed = "Error in procedure TBrelScenes.Replace(const i : Integer; const "
                                                "parmsVariation : TParmsVariation). Cannot replace TParmVariation.";
constexpr const char* kUnknownParameter =
    "TBrelScenes.setConfig(const i,j : Integer) : Boolean. Unknown parameter in parmVariation.";
constexpr const char* kXParmMissing =
    "Error in TBrelScenes.GetXParm(const i : Integer) : TParmVariation. myParmsVariationArr not initialized.";
constexpr const char* kYParmMissing =
    "Error in TBrelScenes.GetYParm(const i : Integer) : TParmVariation. myParmsVariationArr not initialized.";
constexpr const char* kSetParmFailed = "Error in TBrelScenes.SetXParm(const i : Integer). Cannot set XParm. Invalid index i=";

bool IsActive(const TParmsVariation& v) { return v.parm != TParms::unknown; }

// Wrap test of a wheel: the value has passed the last one, Re(first + steps*delta), by more
// than half a step. Repeated addition of delta can overshoot the exact last value by a
// rounding error; the half-step margin keeps that last configuration while still
// wrapping at the next step, at the first step for a negative delta, and never for a
// delta with real part 0.
bool PassedLast(TExtended value, const TParmsVariation& v)
{
    const TExtended last = TExtended(v.first.re) + TExtended(v.steps) * v.delta.re;
    return value > last + std::fabs(TExtended(v.delta.re)) / 2;
}

} // namespace

bool TBrelScenes::Replace(int i, const TParmsVariation& variation)
{
    if (i < 0) {
        ShowMessage(kReplaceVariationFailed);
        return false;
    }
    try {
        if (size_t(i) >= myParmsVariationArr.size())
            myParmsVariationArr.resize(size_t(i) + 1); // new entries are inactive
        myParmsVariationArr[size_t(i)] = variation;
    } catch (const std::bad_alloc&) {
        ShowMessage(kReplaceVariationFailed);
        return false;
    }
    // myConfigTotal = product of `steps` over the active entries (1 for none), kept in
    // the int range.
    long long total = 1;
    for (const TParmsVariation& v : myParmsVariationArr)
        if (IsActive(v)) {
            total *= v.steps;
            if (total > INT_MAX)
                total = INT_MAX;
            else if (total < INT_MIN)
                total = INT_MIN;
        }
    myConfigTotal = int(total);
    myConfigCount = 0;
    return true;
}

bool TBrelScenes::setConfig(int i, int j, bool reset)
{
    if (i < 0 || size_t(i) >= myParmsVariationArr.size()) {
        ShowMessage(kUnknownParameter);
        return true;
    }
    const TParmsVariation& v = myParmsVariationArr[size_t(i)];
    if (v.num < 0 || size_t(v.num) >= myLayerParmsVec.size()) {
        ShowMessage("TBrelScenes.setConfig(const i,j : Integer) : Boolean. Layer " + std::to_string(v.num) +
                    " of parmVariation " + std::to_string(i) + " does not exist.");
        return true;
    }
    TLayerParms& layer = myLayerParmsVec[size_t(v.num)];
    // The record changes: cached large-scene levels no longer describe it.
    InvalidateLevelCache();
    if (double* field = layer.RealField(v.parm)) {
        // Real fields X0 ... height: field := field + j*Re(delta); wrap to Re(first).
        if (reset) {
            *field = v.first.re;
            return true;
        }
        *field = double(TExtended(*field) + TExtended(j) * v.delta.re);
        if (PassedLast(*field, v)) {
            *field = v.first.re;
            return false;
        }
        return true;
    }
    if (TComplex* field = layer.ComplexField(v.parm)) {
        // nSubject, nSpace, deltaN: field := field + j*delta (complex); the wrap test is on
        // the real parts.
        if (reset) {
            *field = v.first;
            return true;
        }
        field->re = double(TExtended(field->re) + TExtended(j) * v.delta.re);
        field->im = double(TExtended(field->im) + TExtended(j) * v.delta.im);
        if (PassedLast(field->re, v)) {
            *field = v.first;
            return false;
        }
        return true;
    }
    ShowMessage(kUnknownParameter);
    return true;
}

void TBrelScenes::ResetConfig()
{
    myConfigCount = 0;
    for (size_t i = 0; i < myParmsVariationArr.size(); ++i)
        if (IsActive(myParmsVariationArr[i]))
            setConfig(int(i), 0, true);
}

bool TBrelScenes::NextConfig()
{
    if (myParmsVariationArr.empty())
        return false;
    // Odometer: advance the first active wheel; each wheel that wraps carries to the next.
    for (size_t i = 0; i < myParmsVariationArr.size(); ++i) {
        if (!IsActive(myParmsVariationArr[i]))
            continue;
        if (setConfig(int(i), 1, false))
            break;
    }
    if (!myLargeScene)
        BuildSystemArray();
    ++myConfigCount;
    if (myConfigCount <= myConfigTotal)
        return true;
    ResetConfig();
    return false;
}

bool TBrelScenes::GetXParm(TParmsVariation& out) const
{
    if (myParmsVariationArr.empty()) {
        ShowMessage(kXParmMissing);
        return false;
    }
    out = myParmsVariationArr[0];
    return true;
}

bool TBrelScenes::GetYParm(TParmsVariation& out) const
{
    if (myParmsVariationArr.size() < 2) {
        ShowMessage(kYParmMissing);
        return false;
    }
    out = myParmsVariationArr[1];
    return true;
}

void TBrelScenes::SetXParm(int i)
{
    if (myParmsVariationArr.size() < 2)
        return;
    if (i < 0 || size_t(i) >= myParmsVariationArr.size()) {
        ShowMessage(kSetParmFailed + std::to_string(i));
        return;
    }
    if (i != 0)
        std::swap(myParmsVariationArr[size_t(i)], myParmsVariationArr[0]);
}

void TBrelScenes::SetYParm(int i)
{
    if (myParmsVariationArr.size() < 2)
        return;
    if (i < 0 || size_t(i) >= myParmsVariationArr.size()) {
        ShowMessage(kSetParmFailed + std::to_string(i));
        return;
    }
    if (i != 1)
        std::swap(myParmsVariationArr[size_t(i)], myParmsVariationArr[1]);
}

} // namespace ksn
