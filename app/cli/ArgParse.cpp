#include "ArgParse.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace ksn::cli {

bool TArgReader::LooksLikeOption(const std::string& text)
{
    if (text.size() < 2 || text[0] != '-')
        return false;
    return !(std::isdigit(static_cast<unsigned char>(text[1])) || text[1] == '.');
}

bool TArgReader::Fail(const std::string& why)
{
    if (myError.empty())
        myError = why;
    return false;
}

bool TArgReader::Value(const std::string& option, std::string& value)
{
    if (myNext >= myArgs.size())
        return Fail(option + " needs a value.");
    if (LooksLikeOption(myArgs[myNext]))
        return Fail(option + " needs a value, but " + myArgs[myNext] + " follows it.");
    value = myArgs[myNext++];
    return true;
}

bool TArgReader::Integer(const std::string& option, long long lo, long long hi, int& value)
{
    std::string text;
    if (!Value(option, text))
        return false;
    const std::string range = "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) || *end != '\0' || errno == ERANGE)
        return Fail(option + " " + text + ": not " + range + ".");
    if (v < lo || v > hi)
        return Fail(option + " " + text + ": out of range, " + range + ".");
    value = int(v);
    return true;
}

int UsageError(const std::string& command, const std::string& usage, const std::string& why)
{
    std::cerr << "ksn " << command << ": " << why << "\nusage: ksn " << usage << '\n';
    return 2;
}

int MaxThreadCount() { return 4 * int(std::max(1u, std::thread::hardware_concurrency())); }

} // namespace ksn::cli
