#pragma once
// Runs one job (a run or a series of the driver) on its own thread, off the window
// thread, so that the window keeps answering while the run goes on. When the job
// returns, Finished is delivered on the window thread; an error the job raises (the
// system's general error, or any other exception) travels with it as text.
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace ksn::gui {

class TRunWorker : public QObject {
    Q_OBJECT
public:
    explicit TRunWorker(QObject* parent = nullptr);
    ~TRunWorker() override;

    // False when a job is still running.
    bool Start(std::function<bool()> job);
    bool IsRunning() const { return myRunning.load(); }
    // Waits for the job's thread (the caller has asked the job to stop).
    void Wait();

signals:
    // ok: what the job returned (false also after an error); error: the error's text.
    void Finished(bool ok, const QString& error);

private:
    std::thread myThread;
    std::atomic<bool> myRunning{false};
};

} // namespace ksn::gui
