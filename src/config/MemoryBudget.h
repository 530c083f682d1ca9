#pragma once
// One memory estimate for a load and a run, made from the records before anything large
// is allocated, and the budget it is measured against. Every count is taken from file
// values, so the arithmetic is carried in long double and saturates instead of wrapping.
//
// The costs per object are what this program's containers take on the heap (measured
// with the allocator's statistics; a test compares them with the real objects):
//   a field of P points   P * (56 scalar | 88 vector) bytes + 1280 | 1856 bytes
//                         (component, intensity, absorption and energy-flux arrays,
//                         the object, its wave list and axis descriptors)
//   an index level        P * 16 bytes + 288 bytes (slice object, mean index, flag)
//   a slice of the run    16 bytes of step time + 16 bytes of store entry
// A step of the propagation works on at most four fields besides the stores and on its
// plane-wave list, tuple tables and sums: about 640 bytes per point.
#include "config/Records.h"

#include <cstdint>
#include <string>

namespace ksn {

constexpr std::uint64_t kScalarFieldBytesPerPoint = 56;
constexpr std::uint64_t kVectorFieldBytesPerPoint = 88;
constexpr std::uint64_t kScalarFieldOverhead = 1280;
constexpr std::uint64_t kVectorFieldOverhead = 1856;
constexpr std::uint64_t kLevelBytesPerPoint = 16;
constexpr std::uint64_t kLevelOverhead = 288;
constexpr std::uint64_t kSliceBookkeeping = 32;
constexpr std::uint64_t kStepBytesPerPoint = 640;
// The most cells along a side of a false-colour map; longer cuts are sampled down to it.
constexpr int kMaxMapSide = 4096;

// What the front end will write after the run, as far as it costs memory.
struct TRunOutputs {
    bool saveFields = false; // stored fields gathered into arrays (forward and backward)
    bool pictures = false;   // z-plots and the false-colour cut maps
};

// Bytes by what holds them; each part saturates at UINT64_MAX.
struct TMemoryEstimate {
    std::uint64_t scene = 0;    // index levels: every level, or the two cached ones (largescene)
    std::uint64_t incident = 0; // the incident field
    std::uint64_t store = 0;    // stored slices: forward store, and the backward stores of
                                // bidirectional runs
    std::uint64_t working = 0;  // the fields and tables of the step in progress
    std::uint64_t perSlice = 0; // step times and store entries of every slice
    std::uint64_t outputs = 0;  // arrays and pictures made after the run
    std::uint64_t Total() const;
};

// Bytes of one field of the grid's points for the method (scalar or vector).
std::uint64_t FieldBytes(const TGridParms& grid, TSimMethod method);

// What a load builds: the scene (all levels, or two in large-scene mode) and the
// incident field. grid.nz is the slice count after the stack fit.
TMemoryEstimate EstimateLoadMemory(const TGlobalParms& global, const TGridParms& grid);
// What one run holds at its peak: the load's part, the stores (every modulus-th slice
// with modulo tracking), the step's working memory, the per-slice bookkeeping and the
// outputs asked for.
TMemoryEstimate EstimateRunMemory(const TGlobalParms& global, const TGridParms& grid, const TRunOutputs& outputs = {});

// The memory a load or run may take: three quarters of the machine's physical memory,
// less where the process's address-space or data limit is lower (a quarter of that
// limit is left for the program itself). 0 when nothing is known (no limit then).
std::uint64_t MemoryBudgetBytes();

// "" when the estimate fits the budget (a budget of 0 admits everything); otherwise one
// refusal that names the need, the budget, the largest parts and the options that
// reduce them: largescene=1 for the levels, modulotracking=1 with a larger modulus for
// the stored slices, and a coarser grid (nx, ny, nz).
// `subject` begins the text ("The run", "The scene").
std::string MemoryRefusal(const TMemoryEstimate& estimate, std::uint64_t budget, const TGlobalParms& global,
    const TGridParms& grid, const std::string& subject = "The run");

// "12.3 GiB", "850 MiB", "4 KiB": a byte count for messages.
std::string ByteText(std::uint64_t bytes);

} // namespace ksn
