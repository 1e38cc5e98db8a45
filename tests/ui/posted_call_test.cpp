// Calls posted from other threads to the UI thread, and the way back that a window closes.
#include "ui/posted_call.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace marl::ui {
namespace {

TEST(PostedCall, RunsOnTheReceiversThreadInTheOrderPosted) {
    CallReceiver receiver;
    std::vector<int> order;  // written by the calls only, on this thread
    std::vector<bool> on_ui_thread;
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i) {
            receiver.PostCall([&, i] {
                order.push_back(i);
                on_ui_thread.push_back(QThread::currentThread() == receiver.thread());
            });
        }
    });
    poster.join();
    QTRY_COMPARE(order.size(), size_t{50});
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
    EXPECT_EQ(std::count(on_ui_thread.begin(), on_ui_thread.end(), true), 50);
}

TEST(PostedCall, NothingRunsOnceTheWayBackIsClosedOrItsReceiverIsGone) {
    bool ran = false;
    {
        auto receiver = std::make_unique<CallReceiver>();
        auto back = std::make_shared<ReturnPath>(receiver.get());
        // Posted while open, but the receiver goes before the loop turns: dropped unrun.
        std::thread([back, &ran] { back->Post([&ran] { ran = true; }); }).join();
        back->Close();
        receiver.reset();
        // Posted after the close: never queued.
        std::thread([back, &ran] { back->Post([&ran] { ran = true; }); }).join();
    }
    QCoreApplication::processEvents();
    QTest::qWait(20);
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace marl::ui
