#include "config/Messages.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>

namespace ksn {

namespace {

class TStderrSink : public TMessageSink {
public:
    void ShowMessage(const std::string& text) override { std::cerr << text << '\n'; }
    void LogLine(const std::string& line) override { std::cerr << line << '\n'; }
};

TStderrSink theDefaultSink;
TMessageSink* theSink = nullptr;
std::recursive_mutex theSinkMutex;

} // namespace

void SetMessageSink(TMessageSink* sink)
{
    std::lock_guard lock(theSinkMutex);
    theSink = sink;
}

TMessageSink& MessageSink() { return theSink ? *theSink : theDefaultSink; }

void ShowMessage(const std::string& text)
{
    std::lock_guard lock(theSinkMutex);
    MessageSink().ShowMessage(text);
}

void SetProgress(int percent)
{
    std::lock_guard lock(theSinkMutex);
    MessageSink().SetProgress(percent);
}

void SetCaption(const std::string& caption)
{
    std::lock_guard lock(theSinkMutex);
    MessageSink().SetCaption(caption);
}

std::string TimeOfDayText()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}

void Log(const std::string& message)
{
    std::lock_guard lock(theSinkMutex);
    MessageSink().LogLine(TimeOfDayText() + " " + message);
}

TScopedMessageSink::TScopedMessageSink(TMessageSink* sink) : myPrevious(theSink) { SetMessageSink(sink); }
TScopedMessageSink::~TScopedMessageSink() { SetMessageSink(myPrevious); }

} // namespace ksn
