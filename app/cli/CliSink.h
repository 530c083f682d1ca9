#pragma once
// The command line's face of the message interface: message boxes go to stderr, log
// lines to stdout (and optionally to a log file), progress to a bar on stderr when it
// is a terminal.
#include "config/Messages.h"

#include <fstream>
#include <string>

namespace ksn::cli {

class TCliSink : public TMessageSink {
public:
    explicit TCliSink(bool quiet = false);
    ~TCliSink() override;
    void ShowMessage(const std::string& text) override;
    void LogLine(const std::string& line) override;
    void SetProgress(int percent) override;
    // Also append every log line to this file (CR LF line ends are not used here).
    bool OpenLogFile(const std::string& path);

private:
    bool myQuiet;
    bool myTerminal;
    int myLastPercent = -1;
    std::ofstream myLogFile;
};

} // namespace ksn::cli
