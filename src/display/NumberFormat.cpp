#include "display/NumberFormat.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace ksn {

bool IsNumberFormat(const std::string& format)
{
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        ++i;
        if (i < format.size() && format[i] == '%')
            continue;
        while (i < format.size() && std::strchr("-+ #0", format[i]))
            ++i;
        int digits = 0;
        while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])) && digits < 3)
            ++i, ++digits;
        if (digits > 2)
            return false;
        if (i < format.size() && format[i] == '.') {
            ++i;
            digits = 0;
            while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])) && digits < 3)
                ++i, ++digits;
            if (digits > 2)
                return false;
        }
        if (i >= format.size() || !std::strchr("feEgG", format[i]))
            return false;
        ++conversions;
    }
    return conversions == 1;
}

std::string FormatNumber(const std::string& format, double value)
{
    char buffer[512];
    const char* used = IsNumberFormat(format) ? format.c_str() : "%g";
    // A literal text of 500 characters and more is cut; the checked format cannot
    // write more than a few hundred characters for the number itself.
    const int n = std::snprintf(buffer, sizeof buffer, used, value);
    if (n < 0)
        return {};
    return std::string(buffer, size_t(n) < sizeof buffer ? size_t(n) : sizeof buffer - 1);
}

} // namespace ksn
