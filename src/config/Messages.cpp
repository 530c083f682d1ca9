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
thread_local TMessageSink* theThreadSink = nullptr;
// Pooled workers of one run share their run's sink; one lock keeps each call whole.
// Recursive: a sink may log while it shows a message.
std::recursive_mutex theSinkMutex;

} // namespace

TMessageSink& MessageSink() { return theThreadSink ? *theThreadSink : theDefaultSink; }
TMessageSink* InstalledMessageSink() { return theThreadSink; }

void ShowMessage(const std::string& text)
{
    std::lock_guard lock(theSinkMutex);
    MessageSink().ShowMessage(text);
}

void SliceProgress(int slice, int slices)
{
    std::lock_guard lock(theSinkMutex);
    MessageSink().SliceProgress(slice, slices);
}

void RunProgress(int run, int runs)
{
    std::lock_guard lock(theSinkMutex);
    MessageSink().RunProgress(run, runs);
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
    const std::string line = TimeOfDayText() + " " + message;
    std::lock_guard lock(theSinkMutex);
    MessageSink().LogLine(line);
}

TScopedMessageSink::TScopedMessageSink(TMessageSink* sink) : myPrevious(theThreadSink)
{
    if (sink)
        theThreadSink = sink;
}

TScopedMessageSink::~TScopedMessageSink() { theThreadSink = myPrevious; }

} // namespace ksn
