// When the mouse hook gives the person's clipboard back after the copy it
// caused. No window system here: the hook feeds in the clipboard's sequence
// numbers and the time, and carries out the step that comes back.
#pragma once

#include <cstdint>

namespace hookrules {

// How long the program in front may take to answer the hook's Ctrl+C, and
// how soon after that copy was handled the clipboard must be given back.
const uint32_t CopyWaitMs = 1000;
const uint32_t GiveBackWithinMs = 300;

enum class GiveBackStep {
    Wait,     // nothing to do now
    GiveBack, // put back what the clipboard held before the copy
    Forget,   // drop what was kept: the copy never came, or the clipboard is someone else's now
};

// Follows one automatic copy from the press of Ctrl+C to the clipboard given
// back. Only the copy the hook caused is undone, and only while nothing else
// has changed the clipboard since. Times are milliseconds that wrap.
//
// The clipboard is described by its sequence number and its owner (a window
// as a number, 0 for none). Rendering a format on request moves the number
// on without a new content; a new content has a new owner, or no owner.
class ClipboardGiveBack {
public:
    // Ctrl+C was pressed with the clipboard at this sequence number. A
    // press while one is in flight keeps what was kept before the first.
    void CopyPressed(uint32_t seq, uint32_t nowMs);
    // The program has handled a clipboard change and passed it on. byTarget:
    // the change may be the program in front answering the Ctrl+C.
    GiveBackStep ChangeHandled(uint32_t seq, uintptr_t owner, bool byTarget, uint32_t nowMs);
    // A timer or posted message of the hook came.
    GiveBackStep Due(uint32_t seq, uintptr_t owner, uint32_t nowMs);
    // The clipboard was given back, or what was kept is gone.
    void Reset();
    bool Active() const { return state_ != State::Idle; }

private:
    enum class State { Idle, AwaitingCopy, CopyHandled };
    bool Expired(uint32_t nowMs) const;
    bool StillTheCopy(uint32_t seq, uintptr_t owner) const;

    State state_ = State::Idle;
    uint32_t seq_ = 0;      // before the copy, then the copy's own
    uintptr_t owner_ = 0;   // the copy's owner
    uint32_t deadline_ = 0;
};

} // namespace hookrules
