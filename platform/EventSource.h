#pragma once

namespace velmora {

/// A backend connection whose events the GUI thread's event loop must read.
class IEventSource {
public:
    IEventSource() = default;
    IEventSource(const IEventSource&) = delete;
    IEventSource& operator=(const IEventSource&) = delete;
    virtual ~IEventSource() = default;

    /// The descriptor to watch for reading.
    virtual int FileDescriptor() const = 0;
    /// Reads and handles every pending event; called on the GUI thread when the descriptor is readable.
    virtual void ProcessPendingEvents() = 0;
};

} // namespace velmora
