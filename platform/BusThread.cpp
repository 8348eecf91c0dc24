#include "BusThread.h"

#include <QMetaObject>

namespace velmora {

TBusThread::TBusThread(const QString& name, const std::function<void()>& prepare)
    : FContext(std::make_unique<QObject>()) {
    FThread.setObjectName(name);
    FContext->moveToThread(&FThread);
    FThread.start();
    if (prepare) {
        RunThere(prepare);
    }
}

TBusThread::~TBusThread() {
    RunThere([this] {
        while (!FHosted.empty()) {
            FHosted.pop_back();
        }
    });
    FThread.quit();
    FThread.wait();
}

void TBusThread::RunThere(const std::function<void()>& work) {
    if (IsCurrent()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(FContext.get(), work, Qt::BlockingQueuedConnection);
}

} // namespace velmora
