#pragma once

#include <QObject>
#include <QThread>

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace velmora {

/// A thread with an event loop of its own for the objects that answer the bus: the calls and signals the bus brings
/// them are served there, whatever the other threads are doing. The objects are created, registered and destroyed
/// on it, so that each is only ever used on the thread it belongs to. Other threads reach them through Run, which
/// waits for the work without running an event loop of their own.
class TBusThread final {
public:
    /// Starts the thread, named `name`; `prepare`, if given, runs on it first (a signal mask, say).
    explicit TBusThread(const QString& name, const std::function<void()>& prepare = {});
    /// Destroys the hosted objects on the thread, the newest first, then ends the thread.
    ~TBusThread();
    TBusThread(const TBusThread&) = delete;
    TBusThread& operator=(const TBusThread&) = delete;

    /// Runs `work` on the thread and returns its result once it has run (at once when called on the thread).
    template <class TWork>
    std::invoke_result_t<TWork&> Run(TWork work);
    /// Creates a T from `args` on the thread, where it lives until the thread ends.
    template <std::derived_from<QObject> T, class... TArgs>
    T& Host(TArgs&&... args);
    /// Whether the caller is on the thread.
    bool IsCurrent() const { return QThread::currentThread() == &FThread; }

private:
    /// Runs `work` on the thread and waits for it.
    void RunThere(const std::function<void()>& work);

    QThread FThread;
    std::unique_ptr<QObject> FContext;             ///< belongs to the thread: where work is sent
    std::vector<std::unique_ptr<QObject>> FHosted; ///< used on the thread only
};

template <class TWork>
std::invoke_result_t<TWork&> TBusThread::Run(TWork work) {
    using TResult = std::invoke_result_t<TWork&>;
    if constexpr (std::is_void_v<TResult>) {
        RunThere([&work] { work(); });
    } else {
        std::optional<TResult> result;
        RunThere([&work, &result] { result.emplace(work()); });
        return std::move(*result);
    }
}

template <std::derived_from<QObject> T, class... TArgs>
T& TBusThread::Host(TArgs&&... args) {
    return *Run([&]() -> T* {
        auto object = std::make_unique<T>(std::forward<TArgs>(args)...);
        T* hosted = object.get();
        FHosted.push_back(std::move(object));
        return hosted;
    });
}

} // namespace velmora
