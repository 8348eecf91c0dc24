# One place for the language level, the warnings and the sanitizer switch.
# Every target of the project links velmora_common.

option(VELMORA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_library(velmora_common INTERFACE)
target_compile_features(velmora_common INTERFACE cxx_std_20)
target_compile_options(velmora_common INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Wshadow -Wcast-qual -Woverloaded-virtual)

# scripts/test and CI build with warnings as errors, so that a build that passes the tests here passes there too.
option(VELMORA_WERROR "Treat compiler warnings as errors" OFF)
if(VELMORA_WERROR OR (DEFINED ENV{CI} AND "$ENV{CI}" STREQUAL "true"))
    target_compile_options(velmora_common INTERFACE -Werror)
endif()

if(VELMORA_SANITIZE)
    target_compile_options(velmora_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(velmora_common INTERFACE -fsanitize=address,undefined)
endif()
