#pragma once
// The fast transform of the propagation steps: FFTW 3 in double precision, beside the
// reference transform of FFT12.h (extended precision, recurrence twiddles, in place on
// split storage), which stays the system's own FFT and the one the tests compare with.
//
// The 2-D transform of an nx x ny grid (x fastest, nx and ny powers of two, 1 included)
//
//   a'(c, r) = sum_{i=0}^{ny-1} sum_{j=0}^{nx-1} a(j, i) e^{-sign 2 pi i (j c/nx + i r/ny)}
//
// (unscaled in both directions) works on interleaved complex values (re, im pairs) and
// is composed of two passes, so that threads can share one transform and every part of
// it runs the same FFTW plan whichever thread runs it (the bits then do not depend on
// the thread count):
//   - the row pass: nx-point transforms of whole rows, RowBlock() rows per plan call;
//   - the column pass: ny-point transforms of PanelWidth() adjacent columns at a time,
//     carried out on a panel, a copy of those columns side by side (ny rows of
//     PanelWidth() values). A panel is contiguous, so the column transforms never walk
//     the whole array with a stride of one row, which defeats the caches at 256 points
//     and more.
// Spectra that stay inside a step can stay in panel layout: panel b holds columns
// b*PanelWidth() ... (b+1)*PanelWidth()-1, element (j, i) at PanelOffset(j, i).
//
// Plans are made once per shape and direction for the whole process, under one lock
// (FFTW's planner is not thread-safe; executing a plan is), on 64-byte aligned scratch;
// every buffer they are executed on is a TComplexBuffer or lies at a multiple of 64
// bytes inside one (the single-row plans are made for any alignment).
//
// Planning. FFTW's estimate, left to itself, picks plans up to 1.4 times slower than
// the ones it finds by timing candidates, and timing them is not repeatable: two
// processes may choose differently and differ in the last bits. So the plans come from
// stored wisdom (fftw-wisdom.txt beside this file, built into the program): the plans
// that timing chose for every shape a grid of up to 4096 points per axis (16384 on a
// one-row grid) needs, measured once with scripts/make-fft-wisdom.sh and used by every
// process alike, so that two runs give the same bits. A shape without wisdom is planned
// by estimate (deterministic too). Measured planning times candidates for the shapes
// the wisdom lacks, so its choice and hence the last bits may differ from run to run.
#include "numerics/ComplexArray.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace ksn {

enum class TFftPlanning { estimate, measure };

// Process-wide; plans made after the call use it (plans already made stay).
void SetFftPlanning(TFftPlanning planning);
TFftPlanning GetFftPlanning();
// Whether the stored wisdom is loaded before the first plan (true by default; the tool
// that measures new wisdom turns it off). No effect once a plan has been made.
void UseStoredFftWisdom(bool use);
// FFTW's wisdom (its text form) of every plan made so far in this process.
std::string ExportFftWisdom();

// A 64-byte aligned block of complex values, interleaved (re, im), owned.
class TComplexBuffer {
public:
    TComplexBuffer() = default;
    explicit TComplexBuffer(std::size_t count) { Resize(count); }
    ~TComplexBuffer();
    TComplexBuffer(TComplexBuffer&& other) noexcept;
    TComplexBuffer& operator=(TComplexBuffer&& other) noexcept;
    TComplexBuffer(const TComplexBuffer&) = delete;
    TComplexBuffer& operator=(const TComplexBuffer&) = delete;

    // At least `count` complex values; the contents are not kept when it grows.
    void Resize(std::size_t count);
    double* Data() { return myData; }
    const double* Data() const { return myData; }
    std::size_t Count() const { return myCount; }
    std::size_t Bytes() const { return myCount * 2 * sizeof(double); }

private:
    double* myData = nullptr;
    std::size_t myCount = 0;
};

class TFastFourier2D {
public:
    // Plans for nx x ny; a repeated call with the same size does nothing. Throws
    // EGeneralError for a size that is not a power of two on each axis.
    void Setup(int nx, int ny);

    int Nx() const { return myNx; }
    int Ny() const { return myNy; }
    std::int32_t Count() const { return myNx * myNy; }
    int RowBlock() const { return myRowBlock; }
    int RowBlocks() const { return myNy / myRowBlock; }
    int PanelWidth() const { return myPanelWidth; }
    int Panels() const { return myNx / myPanelWidth; }
    // Complex values in one panel.
    std::size_t PanelSize() const { return std::size_t(myNy) * std::size_t(myPanelWidth); }
    std::size_t PanelOffset(int j, int i) const
    {
        return std::size_t(j / myPanelWidth) * PanelSize() + std::size_t(i) * std::size_t(myPanelWidth) +
               std::size_t(j % myPanelWidth);
    }

    // Row pass on row block `block` of natural-layout data, in place.
    void Rows(double* data, int sign, int block) const;
    // The row transform of row `row` alone (for blocks where few rows are needed).
    void Row(double* data, int sign, int row) const;
    // Column pass on one panel, in place.
    void Columns(double* panel, int sign) const;
    // Copies panel `b` out of natural-layout data, and back.
    void LoadPanel(const double* data, int b, double* panel) const;
    void StorePanel(const double* panel, int b, double* data) const { StorePanel(panel, b, data, 0, myNy); }
    // The same for rows firstRow .. lastRow-1 only.
    void StorePanel(const double* panel, int b, double* data, int firstRow, int lastRow) const;
    // The whole transform of natural-layout data, in place, on one thread: rows, then
    // columns panel by panel. `panel` holds PanelSize() values of scratch.
    void Run(double* data, int sign, double* panel) const;

private:
    int myNx = 0, myNy = 0, myRowBlock = 1, myPanelWidth = 1;
    void* myRowPlan[2] = {};   // [0] forward (sign +1), [1] inverse (sign -1)
    void* mySingleRowPlan[2] = {};
    void* myPanelPlan[2] = {};
};

// The centred transform of TComplexArray::FFT (same modulation, orientation and
// scaling: sign +1 forward unscaled, -1 inverse scaled by 1/(nx ny)) carried out with
// the fast transform, in place. Arrays whose axes are not both centred, and empty ones,
// go to TComplexArray::FFT. Same refusals as TComplexArray::FFT.
void FastCentredFFT(TComplexArray& a, int sign);

} // namespace ksn
