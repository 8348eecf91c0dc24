#pragma once

#include <iconv.h>

namespace velmora {

/// An iconv conversion descriptor, closed with its owner.
class TIconv {
public:
    /// Opens a conversion from `from` to `to` (iconv names); IsOpen() tells whether the system knows both.
    TIconv(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
    ~TIconv() {
        if (IsOpen()) {
            iconv_close(FHandle);
        }
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    bool IsOpen() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return FHandle; }

private:
    iconv_t FHandle;
};

} // namespace velmora
