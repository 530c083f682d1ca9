#pragma once
// A run observer for tests: records every message box, log line, progress report and
// slice hand-over, and installs itself on the creating thread for its lifetime.
#include "config/Messages.h"

#include <string>
#include <vector>

namespace ksn::test {

class TRecordingSink : public TMessageSink {
public:
    TRecordingSink() : myScope(this) {}
    // Records without installing itself (handed to a driver as its observer).
    struct TDetached {};
    explicit TRecordingSink(TDetached) : myScope(nullptr) {}

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void LogLine(const std::string& line) override { logLines.push_back(line); }
    void SliceProgress(int slice, int slices) override { progress.push_back({slice, slices}); }

    bool HasMessage(const std::string& text) const
    {
        for (const auto& m : messages)
            if (m == text)
                return true;
        return false;
    }
    bool HasLogEnding(const std::string& text) const
    {
        for (const auto& l : logLines)
            if (l.size() >= text.size() && l.compare(l.size() - text.size(), text.size(), text) == 0)
                return true;
        return false;
    }

    std::vector<std::string> messages;
    std::vector<std::string> logLines;
    std::vector<std::pair<int, int>> progress;

private:
    TScopedMessageSink myScope;
};

} // namespace ksn::test
