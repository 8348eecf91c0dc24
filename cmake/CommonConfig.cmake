# One place for the language level, the warnings and the sanitizer switch.
# Every target of the project links velmora_common.

option(VELMORA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_library(velmora_common INTERFACE)
target_compile_features(velmora_common INTERFACE cxx_std_20)
target_compile_options(velmora_common INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Wshadow -Wcast-qual -Woverloaded-virtual)

# scripts/test (and so CI, which runs it) builds with warnings as errors.
option(VELMORA_WERROR "Treat compiler warnings as errors" OFF)
if(VELMORA_WERROR)
    target_compile_options(velmora_common INTERFACE -Werror)
endif()

if(VELMORA_SANITIZE)
    target_compile_options(velmora_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(velmora_common INTERFACE -fsanitize=address,undefined)
endif()
