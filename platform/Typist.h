#pragma once

#include <string>

namespace velmora {

/// Types texts into the control that has the keyboard focus in the foreground application.
class ITypist {
public:
    ITypist() = default;
    ITypist(const ITypist&) = delete;
    ITypist& operator=(const ITypist&) = delete;
    virtual ~ITypist() = default;

    /// Queues one text (a snippet's bytes) to be typed whole, after the texts queued before it; returns at once
    /// and reports nothing. With no focused control nothing is typed.
    virtual void TypeText(const std::string& bytes) = 0;
};

} // namespace velmora
