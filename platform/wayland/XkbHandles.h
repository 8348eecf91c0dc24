#pragma once

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace velmora {

/// Gives an xkbcommon object back when its owner goes.
struct TXkbUnref {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};

using TXkbContext = std::unique_ptr<xkb_context, TXkbUnref>;
using TXkbKeymap = std::unique_ptr<xkb_keymap, TXkbUnref>;
using TXkbState = std::unique_ptr<xkb_state, TXkbUnref>;

} // namespace velmora
