#pragma once
// The scalar E-field of one slice: a single component E that stands for the x component
// of a vector field (scalar wave-propagation and beam-propagation methods).
#include "field/Field.h"

namespace ksn {

class TScalarEField : public TField {
public:
    explicit TScalarEField(const TGridParms& grid);
    // The field of one wave, generated in overwrite mode.
    TScalarEField(const TGridParms& grid, const TFieldOptions& options);
    TScalarEField(const TScalarEField& source);

    std::unique_ptr<TField> Clone() const override;
    std::unique_ptr<TField> CreateEmpty(const TGridParms& grid) const override;
    bool IsVector() const override { return false; }

    int GetXSize() const override { return myE.Nx(); }
    int GetYSize() const override { return myE.Ny(); }
    // (E, 0, 0).
    TCVec3 GetEVec(int x, int y) override;
    // Keeps the x component; non-zero y or z components are reported as lost.
    void SetEVec(int x, int y, const TCVec3& e) override;
    // E stands for the x component: GetEX/SetEX reach E, GetEY/GetEZ are 0.
    TComplex GetEX(int x, int y) override { return GetE(x, y); }
    TComplex GetEY(int x, int y) override;
    TComplex GetEZ(int x, int y) override;
    void SetEX(int x, int y, TComplex v) override { SetE(x, y, v); }
    void SetEY(int x, int y, TComplex v) override;
    void SetEZ(int x, int y, TComplex v) override;

    TComplex GetE(int x, int y);
    // Stores the value unchanged (no small-value threshold).
    void SetE(int x, int y, TComplex v);
    TComplexArray& E() { return myE; }
    const TComplexArray& E() const { return myE; }

    void Fourier(int sign) override;
    bool AddBeam(const TGridParms& grid, const TFieldOptions& options, const TComplexArray* index) override;
    void Accum(const TField& other) override;
    // A scalar field carries no polarisation: the flux operations return 0.
    TExtended PlaneWaveFlux(TComplex, TComplex, TComplex, TComplex, TExtended, TExtended, TExtended, TExtended,
        TExtended) const override
    {
        return 0.0L;
    }
    TExtended PowerDensity(TComplex, TComplex, TComplex, TExtended) const override { return 0.0L; }
    TExtended ComputeEnergyFlux(const TComplexArray*) override { return 0.0L; }
    void ClearField() override;
    void Regenerate(const TComplexArray* index) override;

private:
    bool InRange(int x, int y) const { return x >= 0 && y >= 0 && x < myE.Nx() && y < myE.Ny(); }
    bool Generate(const TGridParms& grid, const TFieldOptions& options, bool add, const char* caller);

    TComplexArray myE;
};

} // namespace ksn
