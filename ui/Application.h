#pragma once

#include <QApplication>

#include <exception>
#include <functional>
#include <utility>

namespace velmora {

/// The application object. An exception that escapes an event handler and was not caught nearer to it reaches
/// the handler set here instead of ending the program.
class TApplication : public QApplication {
    Q_OBJECT
public:
    /// Hears of an error that escaped an event handler.
    using TExceptionHandler = std::function<void(const std::exception& error)>;

    TApplication(int& argc, char** argv);
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    /// Sets the function that shows an escaped error; without one the error goes to the standard error stream.
    void SetExceptionHandler(TExceptionHandler handler) { FHandler = std::move(handler); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void Report(const std::exception& error);

    TExceptionHandler FHandler;
};

} // namespace velmora
