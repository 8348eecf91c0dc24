#pragma once

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

/// A random text from the pools users type: ASCII, accented Latin, Latin Extended, Greek and Cyrillic in both cases,
/// CJK, Hangul, emoji, tabs and line breaks. Its characters beyond ASCII come from `distinct` code points, in
/// stretches that prefer a part of them, as the words of a language do.
inline std::u32string RandomText(std::mt19937& random, std::size_t length, std::size_t distinct) {
    const std::vector<std::pair<char32_t, char32_t>> pools = {{0xC0, 0xFF},      {0x100, 0x17F},   {0x3A3, 0x3C9},
                                                              {0x410, 0x44F},    {0x4E00, 0x9FFF}, {0xAC00, 0xD7A3},
                                                              {0x1F600, 0x1F64F}};
    std::vector<char32_t> alphabet;
    while (alphabet.size() < std::max<std::size_t>(distinct, 1)) {
        const auto& [low, high] = pools[random() % pools.size()];
        const char32_t c = low + static_cast<char32_t>(random() % (high - low + 1));
        if (c != 0xD7 && c != 0xF7 && std::find(alphabet.begin(), alphabet.end(), c) == alphabet.end()) {
            alphabet.push_back(c);
        }
    }
    const std::u32string common = U"ab1 A!\t\r\n~xyZ";
    std::u32string text;
    std::size_t focus = 0;
    while (text.size() < length) {
        if (random() % 50 == 0) {
            focus = random() % alphabet.size();
        }
        if (random() % 4 == 0) {
            text += common[random() % common.size()];
        } else {
            const std::size_t span = 1 + random() % alphabet.size();
            text += alphabet[(focus + random() % span) % alphabet.size()];
        }
    }
    return text;
}

} // namespace velmora
