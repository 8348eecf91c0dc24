#pragma once

#include <QObject>

#include <functional>
#include <string>

class QLocalServer;

namespace velmora {

/// Hears row requests from "velmora --type-row N" on a local socket private to the user, on the GUI thread, and
/// answers each with what the handler returns.
class TRowCommandServer : public QObject {
    Q_OBJECT
public:
    using THandler = std::function<std::string(const std::string& request)>;

    /// Listens on `socketPath` (a socket left there by a copy that died is replaced: only one copy runs per
    /// folder). When it cannot listen, Listening() is false and ErrorText() says why.
    TRowCommandServer(const std::string& socketPath, THandler handler, QObject* parent = nullptr);
    ~TRowCommandServer() override;

    bool Listening() const;
    std::string ErrorText() const;

private:
    void Accept();

    QLocalServer* FServer;
    THandler FHandler;
};

} // namespace velmora
