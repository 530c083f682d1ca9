#pragma once
// How the core reports to the user: message boxes, log lines and progress go to the
// message sink of the operation in progress. There is no process-wide sink: a driver
// (or a test, or a command) installs its sink for the scope of one operation on the
// thread that runs it, and the work pool carries it into its worker threads, so two
// runs in one process, each with its own sink, never see each other's messages. With
// no sink installed, messages and log lines go to stderr.
//
// The core never pumps window events: a front end that must stay responsive runs the
// core off its window thread and forwards what its sink receives.
#include <string>

namespace ksn {

class TMessageSink {
public:
    virtual ~TMessageSink() = default;
    // A message box: the operation goes on (or returns) after it. Must not block on
    // the caller's thread for user input (the run would stall).
    virtual void ShowMessage(const std::string& text) = 0;
    // One complete log line, already stamped ("HH:MM:SS message").
    virtual void LogLine(const std::string& line) = 0;
    // Slice `slice` (0-based) of `slices` has been computed; a new run starts at 0.
    virtual void SliceProgress(int /*slice*/, int /*slices*/) {}
    // Run `run` (0-based) of a series of `runs` is starting.
    virtual void RunProgress(int /*run*/, int /*runs*/) {}
};

// The sink of the operation in progress on this thread (stderr when none).
TMessageSink& MessageSink();
// The installed sink of this thread, or nullptr (the work pool hands it to its workers).
TMessageSink* InstalledMessageSink();

// Routed to this thread's sink; calls into one sink are serialised, so pooled workers
// may report while their step runs.
void ShowMessage(const std::string& text);
// Logs "<HH:MM:SS> <message>" (the time of day, one blank, the message).
void Log(const std::string& message);
void SliceProgress(int slice, int slices);
void RunProgress(int run, int runs);
std::string TimeOfDayText();

// Installs a sink on this thread for the lifetime of the object and restores the
// previous one; nullptr keeps the sink already installed.
class TScopedMessageSink {
public:
    explicit TScopedMessageSink(TMessageSink* sink);
    ~TScopedMessageSink();
    TScopedMessageSink(const TScopedMessageSink&) = delete;
    TScopedMessageSink& operator=(const TScopedMessageSink&) = delete;

private:
    TMessageSink* myPrevious;
};

} // namespace ksn
