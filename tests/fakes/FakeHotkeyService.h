#pragma once

#include "platform/HotkeyService.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

/// A hotkey service in memory: records registrations, refuses combinations it was told are held elsewhere or
/// already registered, leaves those it was told pending to a test's settling, and delivers simulated presses of the
/// combinations in force.
class FakeHotkeyService : public IHotkeyService {
public:
    struct Registration {
        int id = 0;
        unsigned modifiers = 0;
        std::int32_t virtualKey = 0;
        std::size_t rowNumber = 0;
        std::string label;
    };

    THotkeyResult RegisterHotKey(const THotkeyRequest& request) override {
        const auto [id, modifiers, virtualKey, rowNumber, label] = request;
        registerCalls.push_back({id, modifiers, virtualKey, rowNumber, label});
        const auto reason = refusalReasons.find({modifiers, virtualKey});
        const std::string said = reason != refusalReasons.end() ? reason->second : std::string();
        if (heldElsewhere.count({modifiers, virtualKey}) != 0) {
            return {HotkeyStatus::HeldElsewhere, said};
        }
        if (unknownKeys.count(virtualKey) != 0) {
            return {HotkeyStatus::UnknownKey, said};
        }
        for (const auto& [otherId, other] : inForce) {
            if (other.modifiers == modifiers && other.virtualKey == virtualKey) {
                return {HotkeyStatus::HeldByEarlierRow, {}};
            }
        }
        if (inForce.count(id) != 0) {
            return {HotkeyStatus::HeldByEarlierRow, {}};
        }
        inForce[id] = registerCalls.back();
        return {};
    }

    void UnregisterHotKey(int id) override {
        unregisterCalls.push_back(id);
        inForce.erase(id);
    }

    void SetPressHandler(HotkeyPressHandler handler) override { pressHandler = std::move(handler); }

    /// Refuses, at the end of a Start, the combinations the desktop is told not to bind.
    std::map<int, THotkeyResult> FinishRegistrations() override {
        std::map<int, THotkeyResult> refused;
        for (auto registration = inForce.begin(); registration != inForce.end();) {
            if (unboundAtFinish.count({registration->second.modifiers, registration->second.virtualKey}) != 0) {
                refused[registration->first] = {HotkeyStatus::NotBound, {}};
                registration = inForce.erase(registration);
            } else {
                if (pendingAtFinish.count({registration->second.modifiers, registration->second.virtualKey}) != 0) {
                    refused[registration->first] = {HotkeyStatus::Pending, {}};
                }
                ++registration;
            }
        }
        return refused;
    }

    void SetSettledHandler(HotkeySettledHandler handler) override { settledHandler = std::move(handler); }

    /// Presses a combination: reaches the handler, with the id it is held under, only when a registration holds it,
    /// as the window system does. Returns whether it was delivered.
    bool Press(unsigned modifiers, std::int32_t virtualKey) {
        for (const auto& [id, registration] : inForce) {
            if (registration.modifiers == modifiers && registration.virtualKey == virtualKey && pressHandler) {
                pressHandler(id);
                return true;
            }
        }
        return false;
    }

    /// Delivers a press of the registration `id` whether or not it is still held (a message that was already
    /// queued, a shortcut the desktop still runs).
    void DeliverQueuedPress(int id) {
        if (pressHandler) {
            pressHandler(id);
        }
    }

    std::set<std::pair<unsigned, std::int32_t>> heldElsewhere;               ///< combinations another program holds
    std::set<std::int32_t> unknownKeys;                                      ///< keys without a key on the keyboard
    std::set<std::pair<unsigned, std::int32_t>> unboundAtFinish;             ///< combinations the desktop does not bind
    std::set<std::pair<unsigned, std::int32_t>> pendingAtFinish;             ///< combinations the desktop decides later
    std::map<std::pair<unsigned, std::int32_t>, std::string> refusalReasons; ///< what the desktop says of them
    std::map<int, Registration> inForce;                                     ///< id -> registration in force
    std::vector<Registration> registerCalls;
    std::vector<int> unregisterCalls;
    HotkeyPressHandler pressHandler;
    HotkeySettledHandler settledHandler;
};

} // namespace velmora::test
