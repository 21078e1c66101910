#include "core/clipboard_give_back.h"

namespace hookrules {

bool ClipboardGiveBack::Expired(uint32_t nowMs) const
{
    return static_cast<int32_t>(nowMs - deadline_) > 0;
}

bool ClipboardGiveBack::StillTheCopy(uint32_t seq, uintptr_t owner) const
{
    return seq == seq_ || (owner != 0 && owner == owner_);
}

void ClipboardGiveBack::CopyPressed(uint32_t seq, uint32_t nowMs)
{
    state_ = State::AwaitingCopy;
    seq_ = seq;
    deadline_ = nowMs + CopyWaitMs;
}

GiveBackStep ClipboardGiveBack::ChangeHandled(uint32_t seq, uintptr_t owner, bool byTarget,
                                              uint32_t nowMs)
{
    switch (state_) {
    case State::Idle:
        return GiveBackStep::Wait;
    case State::AwaitingCopy:
        if (Expired(nowMs))
            break;
        if (seq == seq_)
            return GiveBackStep::Wait; // not a change of the clipboard's content
        if (!byTarget)
            break; // someone else copied first: theirs stays
        state_ = State::CopyHandled;
        seq_ = seq;
        owner_ = owner;
        deadline_ = nowMs + GiveBackWithinMs;
        return GiveBackStep::GiveBack;
    case State::CopyHandled:
        if (StillTheCopy(seq, owner))
            return GiveBackStep::Wait;
        break; // a newer copy came before ours was undone: it stays
    }
    Reset();
    return GiveBackStep::Forget;
}

GiveBackStep ClipboardGiveBack::Due(uint32_t seq, uintptr_t owner, uint32_t nowMs)
{
    switch (state_) {
    case State::Idle:
        return GiveBackStep::Forget;
    case State::AwaitingCopy:
        if (!Expired(nowMs))
            return GiveBackStep::Wait;
        break;
    case State::CopyHandled:
        if (StillTheCopy(seq, owner) && !Expired(nowMs))
            return GiveBackStep::GiveBack;
        break;
    }
    Reset();
    return GiveBackStep::Forget;
}

void ClipboardGiveBack::Reset()
{
    state_ = State::Idle;
}

} // namespace hookrules
