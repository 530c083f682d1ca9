#pragma once
// A message sink for tests: records every message box, log line, progress value and
// caption, and installs itself for its lifetime.
#include "config/Messages.h"

#include <string>
#include <vector>

namespace ksn::test {

class TRecordingSink : public TMessageSink {
public:
    TRecordingSink() : myScope(this) {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void LogLine(const std::string& line) override { logLines.push_back(line); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void SetCaption(const std::string& caption) override { captions.push_back(caption); }

    bool HasMessage(const std::string& text) const
    {
        for (const auto& m : messages)
            if (m == text)
                return true;
        return false;
    }

    std::vector<std::string> messages;
    std::vector<std::string> logLines;
    std::vector<int> progress;
    std::vector<std::string> captions;

private:
    TScopedMessageSink myScope;
};

} // namespace ksn::test
