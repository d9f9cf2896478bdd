#pragma once
// The registered window messages. Registering a name yields the same number everywhere in the
// process; numbers start where the window system's registered range starts.

#include <cstdint>
#include <string>

namespace Threading {

uint32_t RegisterWindowMessage(const std::wstring& name);

struct RegisteredMessages {
    uint32_t UM_DONE;
    uint32_t UM_SET_DISPLAY_STRING;
    uint32_t UM_CURVE_READY;
    uint32_t UM_PROC_TERMINATED;
    uint32_t UM_VALUE_CHANGED;
    uint32_t UM_CHECK_MSG_QUEUE;
    uint32_t UM_RECALC_TARGETS;
    uint32_t UM_RUN_TASK;
    uint32_t UM_ADD_STRING;
    uint32_t UM_DEVICE_CHANGED;
};

// The whole set, registered on first use.
const RegisteredMessages& Messages();

// Progress-bar messages carried through the bridge to the dialog that owns the bar.
inline constexpr uint32_t PBM_SETPOS = 0x0402;
inline constexpr uint32_t PBM_SETRANGE32 = 0x0406;

}  // namespace Threading
