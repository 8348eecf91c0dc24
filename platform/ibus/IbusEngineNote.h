#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

/// The name under which copy `pid` registers its IBus engine: each copy its own, so that two copies never answer
/// for one engine.
std::string IbusEngineNameOf(pid_t pid);
/// The copy whose engine `engine` names; none when it is not Velmora's.
std::optional<pid_t> IbusEngineCopy(const std::string& engine);

/// A note that a copy left in the user's runtime folder while its engine was IBus's global one.
struct TIbusEngineNote {
    pid_t copy = 0;
    std::string userEngine; ///< the engine to put back
    std::string path;
};

/// Notes of the user's engine in `folder` (the user's runtime folder): written while Velmora's engine is IBus's
/// global one, removed once the user's is back, so that the next copy can put back the engine of a copy that ended
/// in the middle of a text (killed). With an empty folder nothing is written.
class TIbusEngineNotes {
public:
    /// The notes of copy `pid` in `folder`.
    TIbusEngineNotes(std::string folder, pid_t pid);

    /// Notes `userEngine` as the one to put back; false when it could not be written.
    bool Write(const std::string& userEngine) const;
    /// Removes this copy's note.
    void Remove() const;
    /// The notes of copies that `running` says have ended.
    std::vector<TIbusEngineNote> LeftBehind(const std::function<bool(pid_t)>& running) const;

private:
    std::string FFolder;
    pid_t FPid;
};

/// At a copy's start: the engine to make global again, given the global engine now (empty: none) and the notes of
/// copies that ended, when the global engine is a Velmora engine of no running copy (or none is global).
std::optional<std::string> IbusEngineToPutBack(const std::string& global, const std::vector<TIbusEngineNote>& left,
                                               const std::function<bool(pid_t)>& running);

/// Whether process `pid` is running.
bool ProcessRunning(pid_t pid);

} // namespace velmora
