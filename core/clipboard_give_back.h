// When the mouse hook gives the person's clipboard back after the copy it
// caused. No window system here: the hook feeds in the clipboard's sequence
// numbers, the person's copy keys and the time, and carries out the step
// that comes back.
#pragma once

#include <cstdint>

namespace hookrules {

// How long the program in front may take to answer the hook's copy, and
// how soon after that copy was handled the clipboard must be given back.
const uint32_t CopyWaitMs = 1000;
const uint32_t GiveBackWithinMs = 300;

enum class GiveBackStep {
    Wait,     // nothing to do now
    GiveBack, // put back what the clipboard held before the copy
    Forget,   // drop what was kept: the copy never came, or the clipboard is someone else's now
};

// Follows one automatic copy from the moment it is asked for to the
// clipboard given back. Only the copy the hook caused is undone, and only
// while nothing else has changed the clipboard since. Times are
// milliseconds that wrap.
//
// Every new content of the clipboard reaches the program's viewer as a
// change; the first one the program in front makes after the hook asked is
// the hook's copy. Rendering a format on request moves the sequence number
// on without a change being announced: that is still the same copy. The
// owner of the clipboard tells nothing: an edit control owns every copy
// made in it, the person's included.
class ClipboardGiveBack {
public:
    // The copy was asked for with the clipboard at this sequence number. A
    // request while one is in flight keeps what was kept before the first.
    void CopyPressed(uint32_t seq, uint32_t nowMs);
    // The program has handled a clipboard change and passed it on. byTarget:
    // the change may be the program in front answering the hook.
    GiveBackStep ChangeHandled(uint32_t seq, bool byTarget, uint32_t nowMs);
    // The hook made no copy after all (nothing to copy, or keys it could not
    // send). The clipboard holding an earlier copy of the hook's, not yet
    // undone, is still given back.
    GiveBackStep CopyAbandoned(uint32_t seq, uint32_t nowMs);
    // The person pressed a key that copies or cuts: from then on the
    // clipboard is theirs.
    GiveBackStep PersonCopied();
    // A timer or posted message of the hook came.
    GiveBackStep Due(uint32_t seq, uint32_t nowMs);
    // The clipboard was given back, or what was kept is gone.
    void Reset();
    bool Active() const { return state_ != State::Idle; }

private:
    enum class State { Idle, AwaitingCopy, CopyHandled };
    bool Expired(uint32_t nowMs) const;

    State state_ = State::Idle;
    uint32_t seq_ = 0;      // before the copy, then the copy's own
    uint32_t lastSeen_ = 0; // by a timer, while the copy waits to be undone
    bool earlier_ = false;  // asked for while an earlier copy waited to be undone
    uint32_t deadline_ = 0;
};

} // namespace hookrules
