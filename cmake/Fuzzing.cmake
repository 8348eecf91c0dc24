# The fuzzing build: every target compiled for libFuzzer's coverage and with AddressSanitizer and
# UndefinedBehaviorSanitizer; the fuzz targets (tests/fuzz) link libFuzzer itself. Needs clang.
#
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVELMORA_FUZZ=ON -DVELMORA_BUILD_GUI=OFF

option(VELMORA_FUZZ "Build the fuzz targets (clang), everything with ASan and UBSan" OFF)

if(VELMORA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "VELMORA_FUZZ needs clang: configure with CXX=clang++ (Debian: clang, libclang-rt-14-dev)")
    endif()
    target_compile_options(velmora_common INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(velmora_common INTERFACE -fsanitize=address,undefined)
endif()
