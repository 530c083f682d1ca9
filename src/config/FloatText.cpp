#include "config/FloatText.h"

#include <charconv>
#include <cmath>

namespace ksn {

std::string FormatReal(double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    // General format with 15 significant digits drops trailing zeros, so a value with
    // a short decimal form is written in it ("40", "0.1"), and the exponent form is
    // used only outside 1e-5 ... 1e15 as in printf's %.15g. (Searching the fewest digits
    // with the general format would give "4e+01" for 40.)
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
}

bool TryParseReal(const std::string& text, double& value)
{
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    if (b == e)
        return false;
    const char* first = text.data() + b;
    if (*first == '+' && e - b > 1)
        ++first;
    double v = 0;
    auto res = std::from_chars(first, text.data() + e, v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != text.data() + e)
        return false;
    value = v;
    return true;
}

} // namespace ksn
