#pragma once

#include "IbusEngineNote.h"
#include "ImePieces.h"
#include "platform/BusThread.h"

#include <QDBusConnection>
#include <QMetaObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace velmora {

class TIbusEngineObject;

/// Velmora's own engine on the user's IBus daemon. While it is the daemon's global engine, the application whose
/// input method has the keyboard focus (on GNOME every GTK application: the desktop passes their keys through
/// IBus) gets the pieces of a text from it in order: the characters of a piece committed as one string, whatever
/// the keyboard layout, then its Return and Tab keys as key events. A piece goes out when the engine sees the press
/// of the trigger key, a key that types nothing, so that it arrives after the keys sent before it. The engine's
/// calls are answered on a thread of its own; the other methods belong to one thread (the typist's). When the Qt
/// application is about to quit, the engine leaves the daemon (the bus cannot be used after that).
class TIbusEngine {
public:
    /// Connects to the user's daemon and registers the engine; none when no daemon is found or it refuses.
    /// `triggerKey`: the evdev key code of the trigger key. Throws PlatformError when the daemon's address file is
    /// not the user's own.
    static std::unique_ptr<TIbusEngine> Connect(std::uint32_t triggerKey);
    /// Puts back the user's engine that a copy which ended in the middle of a text (killed) left noted, when the
    /// global engine is still that copy's (or none); throws PlatformError as Connect.
    static void RepairLeftEngine();
    /// Leaves the daemon, if the application has not quit yet.
    ~TIbusEngine();
    TIbusEngine(const TIbusEngine&) = delete;
    TIbusEngine& operator=(const TIbusEngine&) = delete;

    /// Makes the engine the global one, remembering the user's (also in a note for the next copy); false when the
    /// daemon refused or did not say which engine is global, or another copy's engine is.
    bool Activate();
    /// Whether an application's input method has the focus, so that pieces reach it; waits up to `timeout` for the
    /// daemon to say where the focus is after Activate.
    bool InputFocused(std::chrono::milliseconds timeout);
    /// Queues a piece for the next press of the trigger key.
    void Queue(TImePiece piece);
    /// Waits until the pieces queued went out, up to `timeout`; false then, and the pieces left are dropped.
    bool WaitSent(std::chrono::milliseconds timeout);
    /// After a piece that ended with `lastKey`: waits until the application shows that it handled the piece's keys
    /// (its text around the cursor or its focus changed since the piece was queued), asking it about every 20 ms, up to
    /// `timeout`.
    bool WaitKeysHandled(StrokeKind lastKey, std::chrono::milliseconds timeout);
    /// Before the keys of a chord pass the engine: waits up to `settle` for the application to tell its text around
    /// the cursor since the focus came, and notes that text and the focus, which the keys' effect is compared with.
    void MarkKeys(std::chrono::milliseconds settle);
    /// Waits until a key other than the trigger key was let go of since MarkKeys, up to `timeout`.
    bool WaitKeyPassed(std::chrono::milliseconds timeout);
    /// Waits until the application shows that it handled the keys since MarkKeys (its text around the cursor, the
    /// cursor, the selection or its focus changed), asking it about every 20 ms, up to `timeout`.
    bool WaitKeysHandledSinceMark(std::chrono::milliseconds timeout);
    /// Makes the user's engine the global one again, unless the user chose another meanwhile.
    void Deactivate();
    /// Gives the user's engine back and leaves the daemon, which drops the global engine when an engine registered
    /// at run time goes away: the user's is set again then. From any thread; the engine does nothing after it.
    void Leave();

    /// What the engine hears, updated on its thread.
    struct TState {
        QString enginePath;                   ///< the engine object the daemon uses now
        std::deque<TImePiece> pending;        ///< pieces waiting for the trigger key
        bool focused = false;                 ///< an application's input method (not the daemon's own) has the focus
        unsigned long focusChanges = 0;       ///< focus-in and focus-out calls so far
        unsigned long focusIns = 0;           ///< focus-in calls so far, the daemon's own context's included
        unsigned long activatedFocusIns = 0;  ///< focusIns when the engine was last made the global one
        unsigned long surroundings = 0;       ///< changes of the text around the cursor so far
        QString beforeCursor;                 ///< the text before the cursor, as the application last told
        unsigned long queuedFocusChanges = 0; ///< focusChanges when the last piece was queued
        unsigned long queuedSurroundings = 0; ///< surroundings when the last piece was queued
        QString surrounding;                  ///< the text around the cursor, the cursor and the anchor, as last told
        bool surroundedSinceFocus = false;    ///< the application told its text around the cursor since the focus came
        unsigned long passedReleases = 0;     ///< releases of keys other than the trigger key that went by so far
    };

private:
    friend class TIbusEngineObject;
    TIbusEngine(QDBusConnection bus, std::uint32_t triggerKey);
    /// Waits up to `timeout` until `done` holds of the state (asked with FMutex held).
    template <class TDone>
    bool WaitForState(TDone done, std::chrono::milliseconds timeout);
    void EmitEmptyCommit();
    /// Waits up to `timeout` until `done` holds, making the application tell its text around the cursor anew about
    /// every 20 ms.
    template <class TDone>
    bool WaitAskingSurrounding(TDone done, std::chrono::milliseconds timeout);
    /// Puts the user's engine back where the engine is still the global one, and removes the note (FControl held).
    void PutBackUserEngine();

    const std::uint32_t FTriggerKey;
    const QString FEngineName; ///< this copy's engine
    const TIbusEngineNotes FNotes;
    std::string FAddress; ///< the daemon's
    std::mutex FControl;  ///< held around the use of the connection, which Leave ends
    QDBusConnection FBus;
    QString FUserEngine; ///< the global engine before Activate; empty when there was none
    bool FActive = false;
    bool FLeft = false;
    TState FMark; ///< the state MarkKeys noted
    QMetaObject::Connection FQuitWatch;

    std::mutex FMutex;
    std::condition_variable FChanged;
    TState FState;

    TIbusEngineObject* FObject = nullptr; ///< hosted by FThread
    TBusThread FThread;                   ///< last: its objects go before the state they use
};

} // namespace velmora
