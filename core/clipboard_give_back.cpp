#include "core/clipboard_give_back.h"

namespace hookrules {

bool ClipboardGiveBack::Expired(uint32_t nowMs) const
{
    return static_cast<int32_t>(nowMs - deadline_) > 0;
}

void ClipboardGiveBack::CopyPressed(uint32_t seq, uint32_t nowMs)
{
    earlier_ = state_ == State::CopyHandled;
    state_ = State::AwaitingCopy;
    seq_ = seq;
    deadline_ = nowMs + CopyWaitMs;
}

GiveBackStep ClipboardGiveBack::ChangeHandled(uint32_t seq, bool byTarget, uint32_t nowMs)
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
        seq_ = lastSeen_ = seq;
        deadline_ = nowMs + GiveBackWithinMs;
        return GiveBackStep::GiveBack;
    case State::CopyHandled:
        if (seq == seq_)
            return GiveBackStep::Wait; // the same change told twice
        break; // a newer content came before ours was undone: it stays
    }
    Reset();
    return GiveBackStep::Forget;
}

GiveBackStep ClipboardGiveBack::CopyAbandoned(uint32_t seq, uint32_t nowMs)
{
    if (state_ == State::AwaitingCopy && earlier_ && seq == seq_) {
        state_ = State::CopyHandled;
        lastSeen_ = seq;
        deadline_ = nowMs + GiveBackWithinMs;
        return GiveBackStep::GiveBack;
    }
    Reset();
    return GiveBackStep::Forget;
}

GiveBackStep ClipboardGiveBack::PersonCopied()
{
    if (state_ == State::Idle)
        return GiveBackStep::Wait;
    Reset();
    return GiveBackStep::Forget;
}

GiveBackStep ClipboardGiveBack::Due(uint32_t seq, uint32_t nowMs)
{
    switch (state_) {
    case State::Idle:
        return GiveBackStep::Forget;
    case State::AwaitingCopy:
        if (!Expired(nowMs))
            return GiveBackStep::Wait;
        break;
    case State::CopyHandled:
        if (Expired(nowMs))
            break;
        if (seq != lastSeen_) {
            // A render on request, or a new content whose announcement is
            // still on its way: one more look tells them apart.
            lastSeen_ = seq;
            return GiveBackStep::Wait;
        }
        return GiveBackStep::GiveBack;
    }
    Reset();
    return GiveBackStep::Forget;
}

void ClipboardGiveBack::Reset()
{
    state_ = State::Idle;
}

} // namespace hookrules
