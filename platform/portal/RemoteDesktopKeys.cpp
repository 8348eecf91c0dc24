#include "RemoteDesktopKeys.h"

#include "platform/Keysyms.h"

#include <utility>

namespace velmora {

TRemoteKeyPlan::TRemoteKeyPlan(std::optional<std::set<std::uint32_t>> layoutKeysyms,
                               std::optional<TLayoutChords> chords)
    : FLayout(std::move(layoutKeysyms)), FChords(std::move(chords)) {}

std::optional<std::vector<TRemoteKey>> TRemoteKeyPlan::Keys(const TStroke& stroke) const {
    const std::uint32_t keysym = XkbKeysymOf(stroke);
    if (keysym == 0) {
        return std::nullopt;
    }
    if (FChords) {
        const std::optional<std::vector<TKeyEvent>> chord = FChords->Chord(keysym);
        if (!chord) {
            return std::nullopt;
        }
        std::vector<TRemoteKey> keys;
        for (const TKeyEvent& event : *chord) {
            keys.push_back({true, event.code, event.pressed});
        }
        return keys;
    }
    if (FLayout && FLayout->count(keysym) == 0) {
        return std::nullopt;
    }
    return std::vector<TRemoteKey>{{false, keysym, true}, {false, keysym, false}};
}

std::vector<TRemoteKey> TRemoteKeyPlan::LetGoOfModifiers() const {
    std::vector<TRemoteKey> keys;
    if (FChords) {
        for (const std::uint32_t code : FChords->ModifierKeys()) {
            keys.push_back({true, code, false});
        }
    }
    return keys;
}

} // namespace velmora
