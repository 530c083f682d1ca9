#pragma once
// Number formats of the plotting components ("%.2f", "%2.1f", "%.0f"): the user types
// them, so they are checked before printf sees them.
#include <string>

namespace ksn {

// True when `format` holds exactly one real conversion %[flags][width][.precision]
// with conversion f, e, E, g or G (width and precision at most two digits), besides
// literal text and "%%".
bool IsNumberFormat(const std::string& format);

// `value` formatted with `format`; a format that IsNumberFormat refuses is replaced by
// "%g", so that a text such as "%s" or "%n" can never make printf read or write what
// is not there.
std::string FormatNumber(const std::string& format, double value);

} // namespace ksn
