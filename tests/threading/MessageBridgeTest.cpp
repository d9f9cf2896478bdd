#include "threading/MessageBridge.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "threading/Errors.h"
#include "threading/RegisteredMessages.h"

using Threading::MessageBridge;
using Threading::WND_MSG;

namespace {

struct Delivery {
    Threading::WindowHandle hwnd;
    uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::wstring text;
};

class RecordingWindow : public Threading::IWindow {
public:
    std::intptr_t OnMessage(const WND_MSG& m) override {
        got.push_back({m.hwnd, m.message, m.wParam, m.lParam, m.Text()});
        if (onMessage)
            onMessage(m);
        return 0;
    }
    std::vector<Delivery> got;
    std::function<void(const WND_MSG&)> onMessage;
};

}  // namespace

TEST(MessageBridge, NullHandleGoesToMainWindow) {
    MessageBridge bridge;
    bridge.Start();
    RecordingWindow main, other;
    auto hMain = bridge.Windows().Register(&main);
    bridge.Windows().Register(&other);
    bridge.Windows().SetMainWindow(hMain);
    EXPECT_EQ(bridge.PostToWindow(Threading::kNoWindow, 0x8001, 7, -3), 0);
    EXPECT_EQ(bridge.Drain(), 1u);
    ASSERT_EQ(main.got.size(), 1u);
    EXPECT_EQ(main.got[0].hwnd, hMain);
    EXPECT_EQ(main.got[0].wParam, 7u);
    EXPECT_EQ(main.got[0].lParam, -3);
    EXPECT_TRUE(other.got.empty());
}

TEST(MessageBridge, MessageToVanishedWindowIsDroppedAndOthersStillArrive) {
    MessageBridge bridge;
    RecordingWindow a;
    RecordingWindow* gone = new RecordingWindow;
    auto hA = bridge.Windows().Register(&a);
    auto hGone = bridge.Windows().Register(gone);
    bridge.PostText(hGone, 1, 0, L"for nobody");
    bridge.PostToWindow(hA, 2, 0, 0);
    bridge.Windows().Unregister(hGone);
    delete gone;
    // A new window never receives the old handle.
    RecordingWindow b;
    EXPECT_NE(bridge.Windows().Register(&b), hGone);
    EXPECT_EQ(bridge.Drain(), 2u);
    EXPECT_EQ(bridge.Pending(), 0u);
    ASSERT_EQ(a.got.size(), 1u);
    EXPECT_TRUE(b.got.empty());
    // Without a main window a null target reaches nobody.
    bridge.PostToWindow(Threading::kNoWindow, 3, 0, 0);
    EXPECT_EQ(bridge.Drain(), 1u);
    EXPECT_EQ(a.got.size(), 1u);
}

TEST(MessageBridge, TextTravelsWithTheRecord) {
    MessageBridge bridge;
    RecordingWindow w;
    auto h = bridge.Windows().Register(&w);
    bridge.PostText(h, Threading::Messages().UM_SET_DISPLAY_STRING, 0, L"Checking\u00e9");
    const std::wstring* seen = nullptr;
    w.onMessage = [&](const WND_MSG& m) {
        seen = reinterpret_cast<const std::wstring*>(m.lParam);
        EXPECT_EQ(*seen, L"Checking\u00e9");
    };
    bridge.Drain();
    ASSERT_EQ(w.got.size(), 1u);
    EXPECT_EQ(w.got[0].text, L"Checking\u00e9");
    EXPECT_NE(seen, nullptr);
}

TEST(MessageBridge, MessagesPostedWhileDrainingArriveInTheSameDrain) {
    MessageBridge bridge;
    RecordingWindow w;
    auto h = bridge.Windows().Register(&w);
    w.onMessage = [&](const WND_MSG& m) {
        if (m.message < 3)
            bridge.PostToWindow(h, m.message + 1, 0, 0);
    };
    bridge.PostToWindow(h, 1, 0, 0);
    EXPECT_EQ(bridge.Drain(), 3u);
    ASSERT_EQ(w.got.size(), 3u);
    EXPECT_EQ(w.got[2].message, 3u);
}

TEST(MessageBridge, PostsFromTwoThreadsKeepOneGlobalOrder) {
    MessageBridge bridge;
    RecordingWindow w;
    auto h = bridge.Windows().Register(&w);
    // Each post takes a ticket under the same lock, so the tickets give the posting order.
    std::mutex order;
    std::intptr_t ticket = 0;
    constexpr int kPerThread = 500;
    auto poster = [&](std::uintptr_t id) {
        for (int i = 0; i < kPerThread; ++i) {
            std::lock_guard<std::mutex> g(order);
            bridge.PostToWindow(h, 1, id, ticket++);
        }
    };
    std::thread t1(poster, 1), t2(poster, 2);
    size_t delivered = 0;
    while (delivered < 2 * kPerThread)
        delivered += bridge.Drain();
    t1.join();
    t2.join();
    ASSERT_EQ(w.got.size(), 2u * kPerThread);
    for (size_t i = 0; i < w.got.size(); ++i)
        ASSERT_EQ(w.got[i].lParam, static_cast<std::intptr_t>(i));
}

TEST(MessageBridge, ShutdownFreesQueueAndDropsLaterPosts) {
    MessageBridge bridge;
    RecordingWindow w;
    auto h = bridge.Windows().Register(&w);
    bridge.Start();
    bridge.PostText(h, 1, 0, L"never shown");
    bridge.Shutdown();
    EXPECT_EQ(bridge.GetState(), MessageBridge::State::Stopped);
    EXPECT_EQ(bridge.Pending(), 0u);
    bridge.PostToWindow(h, 2, 0, 0);
    EXPECT_EQ(bridge.Drain(), 0u);
    EXPECT_TRUE(w.got.empty());
}

TEST(MessageBridge, WaitForMessage) {
    MessageBridge bridge;
    Threading::VirtualClock clock(std::chrono::milliseconds(1));
    EXPECT_FALSE(bridge.WaitForMessage(clock, std::chrono::milliseconds(50)));
    EXPECT_EQ(clock.Elapsed(), std::chrono::milliseconds(50));
    bridge.PostToWindow(1, 1, 0, 0);
    EXPECT_TRUE(bridge.WaitForMessage(clock, std::chrono::milliseconds(50)));
    EXPECT_EQ(clock.Elapsed(), std::chrono::milliseconds(50));
}

TEST(RegisteredMessages, NamesGiveStableDistinctNumbers) {
    const auto& m = Threading::Messages();
    const std::pair<uint32_t, const wchar_t*> expected[] = {
        {m.UM_DONE, L"UM_DONE-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"},
        {m.UM_SET_DISPLAY_STRING, L"UM_SET_DISPLAY_STRING-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"},
        {m.UM_CURVE_READY, L"UM_CURVE_READY-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"},
        {m.UM_PROC_TERMINATED, L"UM_PROC_TERMINATED-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"},
        {m.UM_VALUE_CHANGED, L"UM_VALUE_CHANGED-{4A85C2E3-4C4D-480e-A6FF-97E7804B09C0}"},
        {m.UM_CHECK_MSG_QUEUE, L"UM_CHECK_MSG_QUEUE-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"},
        {m.UM_RECALC_TARGETS, L"UM_RECALC_TARGETS-{4A85C2E3-4C4D-480e-A6FF-97E7804B09C0}"},
        {m.UM_RUN_TASK, L"UM_RUN_TASK-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"},
        {m.UM_ADD_STRING, L"UM_ADD_STRING-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"},
        {m.UM_DEVICE_CHANGED, L"UM_DEVICE_CHANGED-{F104D146-2E3F-4d35-9A07-1BCE83D4A0C9}"},
    };
    std::vector<uint32_t> seen;
    for (const auto& [number, name] : expected) {
        EXPECT_EQ(Threading::RegisterWindowMessage(name), number) << tsl::ToUtf8(name);
        EXPECT_GE(number, 0xC000u);
        for (uint32_t other : seen)
            EXPECT_NE(other, number);
        seen.push_back(number);
    }
    EXPECT_NE(Threading::RegisterWindowMessage(L"UM_DONE-{f104d146-2e3f-4d35-9a07-1bce83d4a0c9}x"),
              m.UM_DONE);
}
