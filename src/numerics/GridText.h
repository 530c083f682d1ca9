#pragma once
// Diagnostic "show in a grid" views of the containers, as text: a string grid with one
// fixed header row and column (index labels), one cell per element, column widths in
// characters. The GUI copies a TGridText into its string-grid widget; the CLI prints
// GridToText.
#include <string>
#include <vector>

namespace ksn {

class TRealArray;
class TComplexArray;
class TComplexVector;

struct TGridText {
    int colCount = 0;
    int rowCount = 0;
    int defaultRowHeight = 21;
    std::vector<std::string> cells; // row-major: cell (col, row) at col + row * colCount
    std::vector<int> colWidths;     // in characters, one per column

    const std::string& Cell(int col, int row) const;
    void SetCell(int col, int row, std::string text);
    void Resize(int cols, int rows);
};

// The value formats below are printf conversions for one double ("%8.3f", "%g", "%.4e"):
// exactly one of f F e E g G a A with optional flags, width and precision, plus any
// literal text and "%%". Anything else (a "%s", a "*" width, two conversions) is refused
// with EGeneralError before anything is formatted. The decimal separator is always ".".

// nx + 1 columns, ny + 1 rows. Header row: the x indices offset by the base; header
// column: the y indices offset by the base as " %d ". Every column is as wide as the
// formatted maximum plus 4 characters.
TGridText ShowInGrid(const TRealArray& a, const char* format);

// As for the real array, but the columns are numbered from 0 (rows keep the base).
// Cartesian cells read "<re> + i<im>" or "<re> - i<|im|>" for a negative imaginary part;
// polar cells read "<modulus>, <phase>". Columns are as wide as the first element's
// text plus 8 characters. The array's form is shown as it is, not converted.
TGridText ShowInGrid(const TComplexArray& a, const char* format);

// Two columns, one row per element: the index (offset by the base) as " %d " and the
// value as "<re> + <im>i" / "<re> - <|im|>i", or "<modulus>, <phase>" when polar.
TGridText ShowInGrid(const TComplexVector& v, const char* format);

// The grid as plain text: one line per row, every cell right-aligned in its column's
// width (widened to fit the longest cell of the column plus one blank).
std::string GridToText(const TGridText& grid);

// Replaces every occurrence of the locale's decimal separator by ".".
std::string ForceFullStop(std::string text, const std::string& localePoint);

// One value through a checked printf format with "." as the decimal separator.
std::string FormatGridValue(const char* format, double value);

} // namespace ksn
