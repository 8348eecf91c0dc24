#pragma once

#include <stdexcept>

namespace velmora {

/// A window-system service cannot be reached or failed; the message says what to do.
class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Nothing can be typed for now (the desktop refused a keyboard, no way to type exists): the text that met it and
/// every text waiting behind it are dropped with one report, rather than typed later by surprise.
class TypingRefused : public PlatformError {
public:
    using PlatformError::PlatformError;
};

} // namespace velmora
