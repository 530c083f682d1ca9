#pragma once
// Checks and scopes shared by the beam-propagation and reflection steps: every input is
// checked before any field is touched, and input fields transformed to the spectral
// domain for a step are transformed back also when the step ends with an error.
#include "config/Records.h"
#include "engine/Steps.h"
#include "field/Field.h"

#include <string>

namespace ksn {

class TScalarEField;
class TVectorEField;

namespace stepguard {

// The field as the kind the step works on (nullptr for nullptr); any other kind throws
// EGeneralError "Error in <where>. Vector field expected." (or "Scalar field expected.").
TVectorEField* Vector(TField* field, const std::string& where);
TScalarEField* Scalar(TField* field, const std::string& where);

// A field must lie on the step's grid.
void CheckFieldGrid(const TField* field, const TGridParms& grid, const std::string& where);

// Grid present, both index slices present, of the grid's size, finite; reference
// indices finite.
void CheckSlices(const TStepInput& in, const std::string& where);

// The output (or reflected) field must not be one of the inputs.
void CheckNotInput(const TFieldRef& output, const TStepInput& in, const std::string& where);

// Transforms the given fields (either may be nullptr) with sign +1 for the lifetime of
// the scope and with sign -1 at its end.
class TSpectralInputs {
public:
    TSpectralInputs(TField* a, TField* b);
    ~TSpectralInputs();
    TSpectralInputs(const TSpectralInputs&) = delete;
    TSpectralInputs& operator=(const TSpectralInputs&) = delete;

private:
    TField* myA;
    TField* myB;
};

} // namespace stepguard
} // namespace ksn
