#include "config/MemoryBudget.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ksn {

namespace {

using TBytes = long double;

std::uint64_t Saturate(TBytes bytes)
{
    if (!(bytes > 0))
        return 0;
    return bytes >= 1.8e19L ? UINT64_MAX : std::uint64_t(bytes);
}

std::uint64_t Add(std::uint64_t a, std::uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

TBytes Points(const TGridParms& g) { return TBytes(std::max(g.nx, 0)) * TBytes(std::max(g.ny, 0)); }

TBytes Field(const TGridParms& g, TSimMethod method)
{
    const bool scalar = IsScalarMethod(method);
    return Points(g) * TBytes(scalar ? kScalarFieldBytesPerPoint : kVectorFieldBytesPerPoint) +
           TBytes(scalar ? kScalarFieldOverhead : kVectorFieldOverhead);
}

TBytes Level(const TGridParms& g) { return Points(g) * TBytes(kLevelBytesPerPoint) + TBytes(kLevelOverhead); }

// Entries of the store: one per slice, or every modulus-th with modulo tracking.
TBytes StoredSlices(const TGlobalParms& global, const TGridParms& g)
{
    const TBytes slices = TBytes(std::max(g.nz, 0));
    const TBytes modulus = global.moduloTracking && global.modulus > 1 ? TBytes(global.modulus) : 1.0L;
    return std::ceil(slices / modulus);
}

// A false-colour map of columns x rows values and its picture: the values, the cell
// colours and the painted image with its encoded copy (at least 640 pixels a side for
// axes and bar), the sides sampled down to kMaxMapSide.
TBytes Map(TBytes columns, TBytes rows)
{
    columns = std::min(columns, TBytes(kMaxMapSide));
    rows = std::min(rows, TBytes(kMaxMapSide));
    return columns * rows * 12.0L + (columns + 640.0L) * (rows + 640.0L) * 8.0L;
}

} // namespace

std::uint64_t TMemoryEstimate::Total() const
{
    std::uint64_t total = 0;
    for (std::uint64_t part : {scene, incident, store, working, perSlice, outputs})
        total = Add(total, part);
    return total;
}

std::uint64_t FieldBytes(const TGridParms& grid, TSimMethod method) { return Saturate(Field(grid, method)); }

TMemoryEstimate EstimateLoadMemory(const TGlobalParms& global, const TGridParms& grid)
{
    TMemoryEstimate e;
    // Without layers the scene holds no level.
    const TBytes levels = global.layerNum < 1 ? 0.0L : global.largeScene ? 2.0L : TBytes(std::max(grid.nz, 0));
    e.scene = Saturate(levels * Level(grid));
    e.incident = Saturate(Field(grid, global.simMethod));
    return e;
}

TMemoryEstimate EstimateRunMemory(const TGlobalParms& global, const TGridParms& grid, const TRunOutputs& outputs)
{
    TMemoryEstimate e = EstimateLoadMemory(global, grid);
    const TBytes field = Field(grid, global.simMethod);
    const TBytes stored = StoredSlices(global, grid);
    // Forward store; a bidirectional run holds reflected fields of as many slices, and
    // with reflection passes also the backward field left at each stored slice.
    const TBytes copies = !global.bidirectional ? 1.0L : global.reflections > 0 ? 3.0L : 2.0L;
    e.store = Saturate(stored * field * copies);
    e.working = Saturate(4.0L * field + Points(grid) * TBytes(kStepBytesPerPoint));
    e.perSlice = Saturate(TBytes(std::max(grid.nz, 0)) * TBytes(kSliceBookkeeping));
    TBytes out = 0;
    if (outputs.saveFields) {
        // Components (complex) and the intensity and absorption maps of every stored
        // slice, gathered for writing; the backward fields again after reflections.
        const TBytes components = IsScalarMethod(global.simMethod) ? 1.0L : 3.0L;
        out += stored * Points(grid) * (components * 16.0L + 16.0L);
        if (global.bidirectional && global.reflections > 0)
            out += stored * Points(grid) * components * 16.0L;
    }
    if (outputs.pictures) {
        // Intensity x-z and y-z cuts over the stored slices, the x-y plane, the index
        // x-z cut over the levels.
        out += Map(stored, grid.nx) + Map(stored, grid.ny) + Map(grid.nx, grid.ny) +
               Map(TBytes(std::max(grid.nz, 0)), grid.nx);
    }
    e.outputs = Saturate(out);
    return e;
}

std::uint64_t MemoryBudgetBytes()
{
    std::uint64_t physical = 0;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0)
        physical = std::uint64_t(pages) * std::uint64_t(pageSize);
    std::uint64_t budget = physical / 4 * 3;
    for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit {};
        if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
            const std::uint64_t allowed = std::uint64_t(limit.rlim_cur) / 4 * 3;
            budget = budget == 0 ? allowed : std::min(budget, allowed);
        }
    }
    return budget;
}

std::string ByteText(std::uint64_t bytes)
{
    const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    long double value = (long double)bytes;
    int unit = 0;
    while (value >= 1024.0L && unit < 6) {
        value /= 1024.0L;
        ++unit;
    }
    char text[48];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, value < 100 ? "%.1Lf %s" : "%.0Lf %s", value, units[unit]);
    return text;
}

std::string MemoryRefusal(const TMemoryEstimate& e, std::uint64_t budget, const TGlobalParms& global,
    const TGridParms& grid, const std::string& subject)
{
    const std::uint64_t total = e.Total();
    if (budget == 0 || total <= budget)
        return {};
    std::vector<std::pair<std::uint64_t, std::string>> parts = {
        {e.scene, "index levels"}, {e.incident, "incident field"}, {e.store, "stored slices"},
        {e.working, "propagation step"}, {e.perSlice, "slice bookkeeping"}, {e.outputs, "result arrays and pictures"}};
    std::sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::string text = subject + " would need about " + ByteText(total) + " of memory, more than the " +
                       ByteText(budget) + " this machine allows (";
    int shown = 0;
    for (const auto& [bytes, what] : parts) {
        if (bytes == 0 || shown == 3)
            break;
        text += (shown ? ", " : "") + what + " " + ByteText(bytes);
        ++shown;
    }
    text += ") for a grid of " + std::to_string(grid.nx) + " x " + std::to_string(grid.ny) + " x " +
            std::to_string(grid.nz) + " points. Reduce it with ";
    std::vector<std::string> ways;
    if (!global.largeScene && e.scene > total / 8)
        ways.push_back("largescene=1 (index levels computed on demand)");
    if (e.store > total / 8)
        ways.push_back("modulotracking=1 with a larger modulus (fewer stored slices, now every " +
                       std::to_string(global.moduloTracking && global.modulus > 1 ? global.modulus : 1) + ")");
    ways.push_back("a coarser grid (smaller nx, ny or nz)");
    for (size_t i = 0; i < ways.size(); ++i)
        text += (i == 0 ? "" : i + 1 == ways.size() ? " or " : ", ") + ways[i];
    return text + ".";
}

} // namespace ksn
