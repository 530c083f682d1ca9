#include "control/config/FloatText.h"

#include <charconv>
#include <cmath>

namespace ksn {

std::string FormatReal(double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    char buf[40];
    // The fewest digits (up to 15) that read back as the same double.
    for (int precision = 1; precision <= 15; ++precision) {
        auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
        double back = 0;
        std::from_chars(buf, res.ptr, back);
        if (back == value || precision == 15)
            return std::string(buf, res.ptr);
    }
    return {};
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
