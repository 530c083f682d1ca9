#pragma once
// Transforms the given fields to the spectral domain (centred forward transform) for the
// lifetime of the scope and back to the spatial domain at its end, also when the step
// ends with an error, so that the caller always gets its fields back as it gave them.
#include "field/Field.h"

namespace ksn {

class TSpectralScope {
public:
    TSpectralScope(TField* a, TField* b) : myA(a), myB(b)
    {
        if (myA)
            myA->Fourier(+1);
        if (myB)
            myB->Fourier(+1);
    }
    ~TSpectralScope()
    {
        if (myA)
            myA->Fourier(-1);
        if (myB)
            myB->Fourier(-1);
    }
    TSpectralScope(const TSpectralScope&) = delete;
    TSpectralScope& operator=(const TSpectralScope&) = delete;

private:
    TField* myA;
    TField* myB;
};

} // namespace ksn
