#include "threading/RegisteredMessages.h"

#include <map>
#include <mutex>

namespace Threading {

uint32_t RegisterWindowMessage(const std::wstring& name) {
    static std::mutex lock;
    static std::map<std::wstring, uint32_t> numbers;
    std::lock_guard<std::mutex> g(lock);
    auto [it, added] = numbers.emplace(name, 0);
    if (added)
        it->second = 0xC000 + static_cast<uint32_t>(numbers.size() - 1);
    return it->second;
}

const RegisteredMessages& Messages() {
    static const RegisteredMessages messages{
        RegisterWindowMessage(L"UM_DONE-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"),
        RegisterWindowMessage(L"UM_SET_DISPLAY_STRING-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"),
        RegisterWindowMessage(L"UM_CURVE_READY-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"),
        RegisterWindowMessage(L"UM_PROC_TERMINATED-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"),
        RegisterWindowMessage(L"UM_VALUE_CHANGED-{4A85C2E3-4C4D-480e-A6FF-97E7804B09C0}"),
        RegisterWindowMessage(L"UM_CHECK_MSG_QUEUE-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"),
        RegisterWindowMessage(L"UM_RECALC_TARGETS-{4A85C2E3-4C4D-480e-A6FF-97E7804B09C0}"),
        RegisterWindowMessage(L"UM_RUN_TASK-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"),
        RegisterWindowMessage(L"UM_ADD_STRING-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"),
        RegisterWindowMessage(L"UM_DEVICE_CHANGED-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"),
    };
    return messages;
}

}  // namespace Threading
