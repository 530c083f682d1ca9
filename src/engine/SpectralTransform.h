#pragma once
// The unscaled inverse 2-D transform on split re/im blocks, for the line and pooled sums
// that keep their spectra split:
//
//   a'(c, r) = sum_{i=0}^{ny-1} sum_{j=0}^{nx-1} a(j, i) e^{+2 pi i (j c / nx + i r / ny)}
//
// in place on nx*ny doubles each, x fastest; nx and ny powers of two. Carried out by the
// fast transform (numerics/FastFourier.h) on an interleaved copy held per thread, so
// that concurrent calls on one object are safe.
#include "numerics/FastFourier.h"

namespace ksn {

class TInverseTransform2D {
public:
    // Plans for nx x ny; a repeated call with the same size does nothing.
    void Setup(int nx, int ny) { myTransform.Setup(nx, ny); }
    void Run(double* re, double* im) const;

    int Nx() const { return myTransform.Nx(); }
    int Ny() const { return myTransform.Ny(); }

private:
    TFastFourier2D myTransform;
};

} // namespace ksn
