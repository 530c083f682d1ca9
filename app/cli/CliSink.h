#pragma once
// The command line's run observer: message boxes go to stderr, log lines to stdout (and
// to the run's log file), progress to a bar of its own on stderr when that is a
// terminal: slice i of N, elapsed time and the time left. The bar is cleared before any
// other line is printed, so log lines never land in the middle of it.
#include "control/RunObserver.h"

#include <chrono>
#include <fstream>
#include <string>

namespace ksn::cli {

class TCliSink : public TRunObserver {
public:
    explicit TCliSink(bool quiet = false);
    ~TCliSink() override;
    void ShowMessage(const std::string& text) override;
    void LogLine(const std::string& line) override;
    void SliceProgress(int slice, int slices) override;
    void RunProgress(int run, int runs) override;
    // Also append every log line and every message (a refusal's reason) to this file.
    bool OpenLogFile(const std::string& path);
    // Flushes and closes the log file; whether every line reached it.
    bool CloseLogFile();

private:
    void ClearBar();

    bool myQuiet;
    bool myTerminal;
    bool myBarShown = false;
    int myRun = 0, myRuns = 0;
    int myLastSlice = -1;
    std::chrono::steady_clock::time_point myStart;
    std::chrono::steady_clock::time_point myLastDraw;
    std::ofstream myLogFile;
};

} // namespace ksn::cli
