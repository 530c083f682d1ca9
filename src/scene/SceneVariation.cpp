// Layer-parameter variation: the scene keeps the variations in its odometer
// (TVariationOdometer: entry 0 fastest, a wheel of s steps takes first + k*delta for
// k = 0 ... s-1), writes each value into the named field of the named layer record, and
// rebuilds the system array after each step.
#include "scene/BrelScenes.h"

#include "config/Messages.h"

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

} // namespace

bool TBrelScenes::Replace(int i, const TParmsVariation& variation)
{
    if (i < 0) {
        ShowMessage(kReplaceVariationFailed);
        return false;
    }
    try {
        myVariation.Replace(i, variation);
    } catch (const std::bad_alloc&) {
        ShowMessage(kReplaceVariationFailed);
        return false;
    }
    return true;
}

bool TBrelScenes::setConfig(int i, int j, bool reset)
{
    if (i < 0 || i >= myVariation.Size()) {
        ShowMessage(kUnknownParameter);
        return true;
    }
    const TParmsVariation& v = myVariation.Entry(i);
    if (v.num < 0 || size_t(v.num) >= myLayerParmsVec.size()) {
        ShowMessage("TBrelScenes.setConfig(const i,j : Integer) : Boolean. Layer " + std::to_string(v.num) +
                    " of parmVariation " + std::to_string(i) + " does not exist.");
        return true;
    }
    TLayerParms& layer = myLayerParmsVec[size_t(v.num)];
    double* real = layer.RealField(v.parm);
    TComplex* complex = layer.ComplexField(v.parm);
    if (!real && !complex) {
        ShowMessage(kUnknownParameter);
        return true;
    }
    bool result = true;
    if (reset)
        myVariation.ResetWheel(i);
    else
        result = myVariation.Turn(i, j);
    // Real fields X0 ... height take the real part of first + k*delta; nSubject, nSpace
    // and deltaN the complex value.
    if (real)
        *real = myVariation.Value(i).re;
    else
        *complex = myVariation.Value(i);
    // The record changed: cached large-scene levels no longer describe it.
    InvalidateLevelCache();
    return result;
}

void TBrelScenes::ResetConfig()
{
    myVariation.Reset();
    for (int i = 0; i < myVariation.Size(); ++i)
        if (TVariationOdometer::IsActive(myVariation.Entry(i)))
            setConfig(i, 0, true);
}

bool TBrelScenes::NextConfig()
{
    if (myVariation.Size() == 0)
        return false;
    const bool more = myVariation.Step([this](int i) { return setConfig(i, 1, false); });
    if (!more)
        ResetConfig();
    if (!myLargeScene)
        BuildSystemArray();
    return more;
}

bool TBrelScenes::GetXParm(TParmsVariation& out) const
{
    if (myVariation.Size() == 0) {
        ShowMessage(kXParmMissing);
        return false;
    }
    out = myVariation.Entry(0);
    return true;
}

bool TBrelScenes::GetYParm(TParmsVariation& out) const
{
    if (myVariation.Size() < 2) {
        ShowMessage(kYParmMissing);
        return false;
    }
    out = myVariation.Entry(1);
    return true;
}

void TBrelScenes::SetXParm(int i)
{
    if (myVariation.Size() < 2)
        return;
    if (i < 0 || i >= myVariation.Size()) {
        ShowMessage(kSetParmFailed + std::to_string(i));
        return;
    }
    if (i != 0)
        myVariation.Swap(i, 0);
}

void TBrelScenes::SetYParm(int i)
{
    if (myVariation.Size() < 2)
        return;
    if (i < 0 || i >= myVariation.Size()) {
        ShowMessage(kSetParmFailed + std::to_string(i));
        return;
    }
    if (i != 1)
        myVariation.Swap(i, 1);
}

} // namespace ksn
