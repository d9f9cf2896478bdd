#pragma once
// The answer that declines a message box of a given button set (OK alone can only be accepted).

#include "threading/Prompt.h"

namespace Threading {

inline MsgResult DecliningResult(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgResult::Ok;
        case MsgButtons::YesNo:
            return MsgResult::No;
        case MsgButtons::AbortRetryIgnore:
            return MsgResult::Abort;
        default:
            return MsgResult::Cancel;
    }
}

}  // namespace Threading
