#pragma once
// The one interface through which the core reports to the user: message boxes, log
// lines, progress, the window caption and waiting. The GUI implements it with dialogs
// and widgets, the command-line program with stderr, stdout and a progress bar.
#include <string>

namespace ksn {

class TMessageSink {
public:
    virtual ~TMessageSink() = default;
    // A modal message box: the operation goes on (or returns) after it.
    virtual void ShowMessage(const std::string& text) = 0;
    // One complete log line, already stamped ("HH:MM:SS message").
    virtual void LogLine(const std::string& line) = 0;
    virtual void SetProgress(int /*percent*/) {}
    virtual void SetCaption(const std::string& /*caption*/) {}
    // Called repeatedly while the main thread waits for workers (window messages).
    virtual void ProcessEvents() {}
};

// Installs the sink used by the core (nullptr restores the default, which writes
// messages and log lines to stderr). Not owned.
void SetMessageSink(TMessageSink* sink);
TMessageSink& MessageSink();

// Routed to the current sink; safe to call from worker threads (serialised).
void ShowMessage(const std::string& text);
void SetProgress(int percent);
void SetCaption(const std::string& caption);
// Logs "<HH:MM:SS> <message>" (the time of day, one blank, the message).
void Log(const std::string& message);
std::string TimeOfDayText();

// Installs a sink for the lifetime of the object and restores the previous one.
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
