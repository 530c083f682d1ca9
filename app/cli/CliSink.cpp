#include "CliSink.h"

#include <iostream>
#include <unistd.h>

namespace ksn::cli {

TCliSink::TCliSink(bool quiet) : myQuiet(quiet), myTerminal(::isatty(STDERR_FILENO) != 0) {}

TCliSink::~TCliSink()
{
    if (myLastPercent >= 0 && myTerminal)
        std::cerr << '\n';
}

void TCliSink::ShowMessage(const std::string& text)
{
    if (myLastPercent >= 0 && myTerminal) {
        std::cerr << '\n';
        myLastPercent = -1;
    }
    std::cerr << text << std::endl;
}

void TCliSink::LogLine(const std::string& line)
{
    if (!myQuiet)
        std::cout << line << std::endl;
    if (myLogFile.is_open())
        myLogFile << line << '\n' << std::flush;
}

void TCliSink::SetProgress(int percent)
{
    if (!myTerminal || myQuiet || percent == myLastPercent)
        return;
    myLastPercent = percent;
    const int width = 40;
    const int filled = std::max(0, std::min(width, percent * width / 100));
    std::cerr << '\r' << '[' << std::string(size_t(filled), '#') << std::string(size_t(width - filled), ' ') << "] "
              << percent << '%' << std::flush;
}

bool TCliSink::OpenLogFile(const std::string& path)
{
    myLogFile.open(path, std::ios::out | std::ios::trunc);
    return myLogFile.is_open();
}

} // namespace ksn::cli
