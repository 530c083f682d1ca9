#pragma once
// The vector E-field of one slice: the Cartesian components Ex, Ey, Ez on the nx x ny
// grid (vector wave-propagation and beam-propagation methods), the polarised beam
// generator and the z energy flux of the slice and of one plane wave.
#include "field/Field.h"

namespace ksn {

class TVectorEField : public TField {
public:
    explicit TVectorEField(const TGridParms& grid);
    // The field of one wave, generated in overwrite mode in vacuum.
    TVectorEField(const TGridParms& grid, const TFieldOptions& options);
    TVectorEField(const TVectorEField& source);

    std::unique_ptr<TField> Clone() const override;
    std::unique_ptr<TField> CreateEmpty(const TGridParms& grid) const override;
    bool IsVector() const override { return true; }

    int GetXSize() const override { return myEX.Nx(); }
    int GetYSize() const override { return myEX.Ny(); }
    TCVec3 GetEVec(int x, int y) override;
    void SetEVec(int x, int y, const TCVec3& e) override;
    TComplex GetEX(int x, int y) override;
    TComplex GetEY(int x, int y) override;
    TComplex GetEZ(int x, int y) override;
    // A value of modulus at most 1e-15 is stored as exactly 0.
    void SetEX(int x, int y, TComplex v) override;
    void SetEY(int x, int y, TComplex v) override;
    void SetEZ(int x, int y, TComplex v) override;

    TComplexArray& EX() { return myEX; }
    TComplexArray& EY() { return myEY; }
    TComplexArray& EZ() { return myEZ; }
    const TComplexArray& EX() const { return myEX; }
    const TComplexArray& EY() const { return myEY; }
    const TComplexArray& EZ() const { return myEZ; }

    void Fourier(int sign) override;
    // Adds the beam of one wave; with an index array the wave vector follows the local
    // real index (an evanescent pixel where the medium cannot carry the tilt).
    bool AddBeam(const TGridParms& grid, const TFieldOptions& options, const TComplexArray* index) override;
    void Accum(const TField& other) override;
    TExtended PlaneWaveFlux(TComplex kx, TComplex ky, TComplex ey, TComplex ex, TExtended kz, TExtended kyReal,
        TExtended kxReal, TExtended k0, TExtended n) const override;
    TExtended PowerDensity(TComplex ex, TComplex ey, TComplex ez, TExtended kz) const override;
    TExtended ComputeEnergyFlux(const TComplexArray* index) override;
    void ClearField() override;
    void Regenerate(const TComplexArray* index) override;

private:
    bool InRange(int x, int y) const { return x >= 0 && y >= 0 && x < myEX.Nx() && y < myEX.Ny(); }
    bool Generate(const TGridParms& grid, const TFieldOptions& options, const TComplexArray* index, bool add,
        const char* caller);

    TComplexArray myEX;
    TComplexArray myEY;
    TComplexArray myEZ;
};

} // namespace ksn
