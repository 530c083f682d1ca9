#include "RunWorker.h"

#include <QMetaObject>

#include <exception>

namespace ksn::gui {

TRunWorker::TRunWorker(QObject* parent) : QObject(parent) {}

TRunWorker::~TRunWorker() { Wait(); }

bool TRunWorker::Start(std::function<bool()> job)
{
    if (myRunning.load())
        return false;
    Wait(); // the thread of the previous job has ended; join it
    myRunning.store(true);
    myThread = std::thread([this, job = std::move(job)] {
        bool ok = false;
        QString error;
        try {
            ok = job();
        } catch (const std::exception& e) {
            error = QString::fromStdString(e.what());
        } catch (...) {
            error = QStringLiteral("Unknown error.");
        }
        QMetaObject::invokeMethod(
            this,
            [this, ok, error] {
                Wait();
                myRunning.store(false);
                emit Finished(ok, error);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void TRunWorker::Wait()
{
    if (myThread.joinable() && myThread.get_id() != std::this_thread::get_id())
        myThread.join();
}

} // namespace ksn::gui
