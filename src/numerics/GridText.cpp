#include "numerics/GridText.h"

#include "numerics/ComplexArray.h"
#include "numerics/ComplexVector.h"
#include "numerics/GeneralError.h"
#include "numerics/RealArray.h"

#include <algorithm>
#include <cassert>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <string>

namespace ksn {

namespace {

constexpr int kMaxFieldDigits = 3; // width and precision below 1000 characters

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Accepts exactly one double conversion: %[flags][width][.precision][l]{fFeEgGaA},
// with "%%" and literal text around it. A format that would make printf read anything
// but one double (or run off a field width) is refused.
void CheckValueFormat(const char* format)
{
    if (format == nullptr)
        throw EGeneralError("ShowInGrid: No format given");
    const std::string text(format);
    const auto refuse = [&] { throw EGeneralError("ShowInGrid: Invalid format \"" + text + "\""); };
    int conversions = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        ++i;
        if (i < text.size() && text[i] == '%')
            continue;
        while (i < text.size() && std::string_view("-+ #0").find(text[i]) != std::string_view::npos)
            ++i;
        int digits = 0;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
        if (digits > kMaxFieldDigits)
            refuse();
        if (i < text.size() && text[i] == '.') {
            ++i;
            digits = 0;
            while (i < text.size() && IsDigit(text[i])) {
                ++i;
                ++digits;
            }
            if (digits > kMaxFieldDigits)
                refuse();
        }
        if (i < text.size() && text[i] == 'l')
            ++i;
        if (i >= text.size() || std::string_view("fFeEgGaA").find(text[i]) == std::string_view::npos)
            refuse();
        ++conversions;
    }
    if (conversions != 1)
        refuse();
}

// printf of an already checked format, then the locale's decimal separator replaced by ".".
std::string FormatChecked(const char* format, double value)
{
    char small[64];
    const int n = std::snprintf(small, sizeof small, format, value);
    if (n < 0)
        throw EGeneralError("ShowInGrid: Cannot format value");
    std::string out;
    if (size_t(n) < sizeof small) {
        out.assign(small, size_t(n));
    } else {
        out.resize(size_t(n) + 1);
        std::snprintf(out.data(), out.size(), format, value);
        out.resize(size_t(n));
    }
    return ForceFullStop(std::move(out), std::localeconv()->decimal_point);
}

std::string RowLabel(int index)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, " %d ", index);
    return buf;
}

// Cartesian "a + ib" / "a - i|b|", the sign taken from the sign bit so -0 reads "- i0".
std::string ArrayCellText(const char* format, double first, double second, bool polar)
{
    if (polar)
        return FormatChecked(format, first) + ", " + FormatChecked(format, second);
    if (std::signbit(second))
        return FormatChecked(format, first) + " - i" + FormatChecked(format, std::fabs(second));
    return FormatChecked(format, first) + " + i" + FormatChecked(format, second);
}

std::string VectorCellText(const char* format, double first, double second, bool polar)
{
    if (polar)
        return FormatChecked(format, first) + ", " + FormatChecked(format, second);
    if (std::signbit(second))
        return FormatChecked(format, first) + " - " + FormatChecked(format, std::fabs(second)) + "i";
    return FormatChecked(format, first) + " + " + FormatChecked(format, second) + "i";
}

// Header row and column of an nx x ny array view: column headers colBase.., row labels
// " %d " from rowBase.
TGridText ArrayFrame(int nx, int ny, int colBase, int rowBase)
{
    TGridText grid;
    grid.Resize(nx + 1, ny + 1);
    for (int x = 0; x < nx; ++x)
        grid.SetCell(x + 1, 0, std::to_string(x + colBase));
    for (int y = 0; y < ny; ++y)
        grid.SetCell(0, y + 1, RowLabel(y + rowBase));
    return grid;
}

} // namespace

const std::string& TGridText::Cell(int col, int row) const
{
    assert(col >= 0 && col < colCount && row >= 0 && row < rowCount);
    return cells[size_t(col) + size_t(row) * size_t(colCount)];
}

void TGridText::SetCell(int col, int row, std::string text)
{
    assert(col >= 0 && col < colCount && row >= 0 && row < rowCount);
    cells[size_t(col) + size_t(row) * size_t(colCount)] = std::move(text);
}

void TGridText::Resize(int cols, int rows)
{
    colCount = std::max(cols, 0);
    rowCount = std::max(rows, 0);
    cells.assign(size_t(colCount) * size_t(rowCount), std::string());
    colWidths.assign(size_t(colCount), 0);
}

std::string ForceFullStop(std::string text, const std::string& localePoint)
{
    if (localePoint.empty() || localePoint == ".")
        return text;
    std::string dotted;
    dotted.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        if (text.compare(pos, localePoint.size(), localePoint) == 0) {
            dotted += '.';
            pos += localePoint.size();
        } else {
            dotted += text[pos++];
        }
    }
    return dotted;
}

std::string FormatGridValue(const char* format, double value)
{
    CheckValueFormat(format);
    return FormatChecked(format, value);
}

TGridText ShowInGrid(const TRealArray& a, const char* format)
{
    CheckValueFormat(format);
    const int nx = a.Nx(), ny = a.Ny();
    TGridText grid = ArrayFrame(nx, ny, a.Base(), a.Base());
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x)
            grid.SetCell(x + 1, y + 1, FormatChecked(format, a.At(x, y)));
    const int width = int(FormatChecked(format, a.Max()).size()) + 4;
    std::fill(grid.colWidths.begin(), grid.colWidths.end(), width);
    return grid;
}

TGridText ShowInGrid(const TComplexArray& a, const char* format)
{
    CheckValueFormat(format);
    const int nx = a.Nx(), ny = a.Ny();
    const bool polar = a.IsPolar();
    const double* first = a.FirstPart().Data();
    const double* second = a.SecondPart().Data();
    TGridText grid = ArrayFrame(nx, ny, 0, a.Base());
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            const size_t k = size_t(x) + size_t(y) * size_t(nx);
            grid.SetCell(x + 1, y + 1, ArrayCellText(format, first[k], second[k], polar));
        }
    const int firstWidth = a.Count() > 0 ? int(grid.Cell(1, 1).size()) : 0;
    std::fill(grid.colWidths.begin(), grid.colWidths.end(), firstWidth + 8);
    return grid;
}

TGridText ShowInGrid(const TComplexVector& v, const char* format)
{
    CheckValueFormat(format);
    const int count = v.Count();
    const bool polar = v.IsPolar();
    const double* first = v.FirstPart().Data();
    const double* second = v.SecondPart().Data();
    TGridText grid;
    grid.Resize(2, count);
    for (int i = 0; i < count; ++i) {
        grid.SetCell(0, i, RowLabel(i + v.Base()));
        grid.SetCell(1, i, VectorCellText(format, first[i], second[i], polar));
    }
    for (int col = 0; col < 2; ++col) {
        size_t longest = 0;
        for (int i = 0; i < count; ++i)
            longest = std::max(longest, grid.Cell(col, i).size());
        grid.colWidths[size_t(col)] = int(longest) + 4;
    }
    return grid;
}

std::string GridToText(const TGridText& grid)
{
    std::vector<size_t> widths(size_t(grid.colCount), 0);
    for (int col = 0; col < grid.colCount; ++col) {
        size_t w = col < int(grid.colWidths.size()) ? size_t(std::max(grid.colWidths[size_t(col)], 0)) : 0;
        for (int row = 0; row < grid.rowCount; ++row)
            w = std::max(w, grid.Cell(col, row).size() + 1);
        widths[size_t(col)] = w;
    }
    std::string out;
    for (int row = 0; row < grid.rowCount; ++row) {
        for (int col = 0; col < grid.colCount; ++col) {
            const std::string& cell = grid.Cell(col, row);
            out.append(widths[size_t(col)] - cell.size(), ' ');
            out += cell;
        }
        out += '\n';
    }
    return out;
}

} // namespace ksn
