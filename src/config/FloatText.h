#pragma once
// Reals in files and reports: "." as decimal separator whatever the locale, so files
// travel between machines; written in the shortest general form with at most 15
// significant digits.
#include <string>

namespace ksn {

std::string FormatReal(double value);
// Whole text (surrounding blanks allowed) must be a decimal number; returns false otherwise.
bool TryParseReal(const std::string& text, double& value);

} // namespace ksn
