#pragma once
// The unscaled inverse 2-D transform of the grouped sum, in double precision:
//
//   a'(c, r) = sum_{i=0}^{ny-1} sum_{j=0}^{nx-1} a(j, i) e^{+2 pi i (j c / nx + i r / ny)}
//
// in place on split re/im blocks of nx*ny doubles, x fastest; nx and ny powers of two.
// Radix-2 decimation in time: bit-reversal permutation, then butterflies with twiddle
// factors e^{2 pi i k / n} from tables computed once per grid size (in extended
// precision, rounded to double). Rows first, then columns with the butterflies running
// along x over whole rows, so the innermost loops are contiguous and vectorise.
#include <cstdint>
#include <vector>

namespace ksn {

class TInverseTransform2D {
public:
    // Tables for nx x ny; a repeated call with the same size does nothing.
    void Setup(int nx, int ny);
    void Run(double* re, double* im) const;

    int Nx() const { return myNx; }
    int Ny() const { return myNy; }

private:
    struct TAxisTables {
        std::vector<double> cos, sin;   // e^{2 pi i k / n}, k = 0 .. n/2 - 1
        std::vector<std::int32_t> swap; // pairs (a, b), a < b, of the bit-reversal permutation
        void Setup(int n);
    };

    int myNx = 0, myNy = 0;
    TAxisTables myX, myY;
};

} // namespace ksn
