#pragma once
// The electric field of one z-slice: the abstract TField holds what every field has
// (grid copy with area/volume elements, wave list, wave-parameter variations, the
// intensity, absorption and energy-flux maps and their totals); TVectorEField and
// TScalarEField (VectorEField.h, ScalarEField.h) hold the components and generate
// the incident beams.
#include "config/Records.h"
#include "config/VariationOdometer.h"
#include "numerics/Complex.h"
#include "numerics/ComplexArray.h"
#include "numerics/RealArray.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace ksn {

class TField {
public:
    // Slot 10: empty field on the grid (maps nx x ny, counter 1).
    explicit TField(const TGridParms& grid);
    // Slot 11: field of one wave (the concrete classes generate the beam).
    TField(const TGridParms& grid, const TFieldOptions& options);
    // Slot 12: copies grid, totals, AmplitudeSum and the maps (not wavelength, counters, lists).
    TField(const TField& source);
    TField& operator=(const TField&) = delete;
    virtual ~TField();

    // A copy of the concrete field (slot 12 of the concrete class).
    virtual std::unique_ptr<TField> Clone() const = 0;
    // A new zeroed field of the same concrete class on the given grid.
    virtual std::unique_ptr<TField> CreateEmpty(const TGridParms& grid) const = 0;
    virtual bool IsVector() const = 0;

    virtual int GetXSize() const = 0;
    virtual int GetYSize() const = 0;
    virtual TCVec3 GetEVec(int x, int y) = 0;
    virtual void SetEVec(int x, int y, const TCVec3& e) = 0;
    virtual TComplex GetEX(int x, int y) = 0;
    virtual TComplex GetEY(int x, int y) = 0;
    virtual TComplex GetEZ(int x, int y) = 0;
    virtual void SetEX(int x, int y, TComplex v) = 0;
    virtual void SetEY(int x, int y, TComplex v) = 0;
    virtual void SetEZ(int x, int y, TComplex v) = 0;

    virtual void SetGridSize(int nx, int ny);
    // Centred FFT with the sign (+1 forward, -1 inverse) of the flux map and components.
    virtual void Fourier(int sign);
    virtual bool AddBeam(const TGridParms& grid, const TFieldOptions& options, const TComplexArray* index) = 0;
    virtual void Accum(const TField& other);
    virtual TExtended PlaneWaveFlux(TComplex kx, TComplex ky, TComplex ey, TComplex ex, TExtended kz,
        TExtended kyReal, TExtended kxReal, TExtended k0, TExtended n) const = 0;
    virtual TExtended PowerDensity(TComplex ex, TComplex ey, TComplex ez, TExtended kz) const = 0;
    virtual TExtended ComputeEnergyFlux(const TComplexArray* index) = 0;
    virtual void ClearField();
    // ClearField for a step that writes every element of the field's components itself
    // (and of the energy-flux map, `fluxWritten`): totals and maps restart, the arrays
    // about to be overwritten are not zeroed first.
    void ClearBesideOutputs(bool fluxWritten);
    virtual void Regenerate(const TComplexArray* index) = 0;

    // Per-pixel maps (0-based indices); bad indices show the system's messages.
    double GetI(int x, int y);
    void SetI(int x, int y, double value);
    double GetEFlux(int x, int y);
    void SetEFlux(int x, int y, TExtended f);
    double GetAbsorp(int x, int y);
    void SetAbsorp(int x, int y, TExtended absorp);
    TRealArray& IntensityMap() { return *myIntensityArr; }
    TComplexArray& AbsorptionMap() { return *myAbsorptionArr; }
    // The caller may write to the map, so it is no longer known to be zero.
    TComplexArray& EnergyFluxMap()
    {
        myFluxZero.store(false, std::memory_order_relaxed);
        return *myEFluxArr;
    }
    // The next ClearField leaves the intensity and absorption maps as they are: the
    // caller writes every element of both before anyone reads them (the run loop's maps
    // of a stored slice), so zeroing them first would only cost a pass over memory.
    void SkipNextMapClear() { mySkipMapClear = true; }

    // Totals.
    void SetIntensity(double value);
    void SetAbsorption(double value);
    void SetEnergyFlux(double value);
    // Adds to the total energy flux; safe from concurrent workers (no lost update).
    void AddEnergyFlux(TExtended value);
    double GetIntensity() const { return myIntensity; }
    double GetAbsorption() const { return myAbsorption; }
    double GetEnergyFlux() const { return myEnergyFlux; }

    // Wave quantities carried from slice to slice.
    double GetLambda() const { return myLambda; } // metres
    void SetLambda(double metres) { myLambda = metres; }
    TExtended GetAmplitudeSum() const { return myAmplitudeSum; }
    void SetAmplitudeSum(TExtended a) { myAmplitudeSum = a; }
    void CopyWaveQuantities(const TField& from);

    const TGridParms& Grid() const { return myGrid; }
    TExtended GetDA() const { return myDA; }
    TExtended GetDV() const { return myDV; }

    // Wave list.
    void Replace(unsigned i, const TFieldOptions& options);
    const TFieldOptionsArr& Waves() const { return myWaves; }
    // "[wave<i>]" sections of the whole list, CR LF line ends.
    std::string WaveText() const;

    // Wave-parameter variation (TVariationOdometer: entry 0 fastest, wheel of s steps takes
    // first + k*delta for k = 0 ... s-1).
    void SetParm(int i, const TParmsVariation& entry);
    // Swap entry i into position 0 (x) or 1 (y); false (after the message) on a bad index.
    bool SetXParm(int i);
    bool SetYParm(int i);
    bool GetXParm(TParmsVariation& out) const;
    bool GetYParm(TParmsVariation& out) const;
    bool setConfig(int i, int j, bool reset);
    bool StepVariation();
    void ResetVariation();
    const TParmsVariationArr& Variations() const { return myVariation.Entries(); }
    int GetConfigCount() const { return myVariation.Count(); }
    int GetConfigTotal() const { return myVariation.Total(); }
    const TVariationOdometer& VariationOdometer() const { return myVariation; }

protected:
    void ComputeElements();
    // What ClearField does besides zeroing: counter and totals restart. For arrays that
    // were just created, and are therefore zero, this is the whole of ClearField.
    void ResetTotals();
    // The centred FFT needs power-of-two axes; shows the Fourier failure message otherwise.
    bool CanTransform(int nx, int ny, int sign) const;

    double myLambda = 0.0;
    double myIntensity = 0.0;
    double myAbsorption = 0.0;
    double myEnergyFlux = 0.0;
    std::unique_ptr<TRealArray> myIntensityArr;
    std::unique_ptr<TComplexArray> myAbsorptionArr;
    std::unique_ptr<TComplexArray> myEFluxArr;
    // The flux map is zero (cleared and not handed out since): most steps never write it,
    // and a recycled field then needs no second clear.
    std::atomic<bool> myFluxZero{true};
    bool mySkipMapClear = false;
    TFieldOptionsArr myWaves;
    TVariationOdometer myVariation;
    TGridParms myGrid;
    TExtended myDA = 0.0L;
    TExtended myDV = 0.0L;
    TExtended myAmplitudeSum = 0.0L;
    std::mutex myFluxMutex;
};

using TFieldRef = std::shared_ptr<TField>;

} // namespace ksn
