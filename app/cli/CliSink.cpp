#include "CliSink.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace ksn::cli {

namespace {

std::string Clock(double seconds)
{
    const long s = std::max(0L, long(seconds + 0.5));
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

} // namespace

TCliSink::TCliSink(bool quiet) : myQuiet(quiet), myTerminal(::isatty(STDERR_FILENO) != 0) {}

TCliSink::~TCliSink() { ClearBar(); }

void TCliSink::ClearBar()
{
    if (!myBarShown)
        return;
    std::cerr << "\r\033[K" << std::flush;
    myBarShown = false;
}

void TCliSink::ShowMessage(const std::string& text)
{
    ClearBar();
    std::cerr << text << std::endl;
    if (myLogFile.is_open())
        myLogFile << text << '\n' << std::flush;
}

void TCliSink::LogLine(const std::string& line)
{
    if (!myQuiet) {
        ClearBar();
        std::cout << line << std::endl;
    }
    if (myLogFile.is_open())
        myLogFile << line << '\n' << std::flush;
}

void TCliSink::RunProgress(int run, int runs)
{
    myRun = run;
    myRuns = runs;
}

void TCliSink::SliceProgress(int slice, int slices)
{
    const auto now = std::chrono::steady_clock::now();
    // A new sweep (or a new run of a series) restarts the clock.
    if (slice <= myLastSlice || myLastSlice < 0)
        myStart = now;
    myLastSlice = slice;
    if (!myTerminal || myQuiet || slices <= 0)
        return;
    // Redraw at most ten times a second, and always on the last slice.
    if (myBarShown && slice + 1 < slices && now - myLastDraw < std::chrono::milliseconds(100))
        return;
    myLastDraw = now;
    const double elapsed = std::chrono::duration<double>(now - myStart).count();
    const double done = double(slice + 1) / slices;
    const double left = done > 0 ? elapsed * (1.0 - done) / done : 0.0;
    const int width = 30;
    const int filled = std::clamp(int(done * width), 0, width);
    std::string bar = "\r\033[K";
    if (myRuns > 1) {
        bar.append("run ").append(std::to_string(myRun + 1)).append("/").append(std::to_string(myRuns));
        bar.append(" ");
    }
    bar.append("[").append(size_t(filled), '#').append(size_t(width - filled), ' ').append("] slice ");
    bar.append(std::to_string(slice + 1)).append("/").append(std::to_string(slices)).append("  ");
    bar.append(Clock(elapsed)).append(" elapsed, ").append(Clock(left)).append(" left");
    std::cerr << bar << std::flush;
    myBarShown = true;
}

bool TCliSink::OpenLogFile(const std::string& path)
{
    myLogFile.open(path, std::ios::out | std::ios::trunc);
    return myLogFile.is_open();
}

bool TCliSink::CloseLogFile()
{
    if (!myLogFile.is_open())
        return true;
    myLogFile.close();
    return !myLogFile.fail();
}

} // namespace ksn::cli
