// The drive thread: work off the asking thread, answers back on it, in order, and a bound on every
// wait for a drive that does not answer.
#include "engine/DriveThread.h"
#include "ScriptedDriveLayer.h"
#include "TestSupport.h"
#include "app/MessageBox.h"
#include "base/KestraneError.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(DriveThread, WorkRunsOffTheAskingThreadAndAnswersComeBackOnItInOrder)
{
    DriveThread drives;
    QObject receiver;
    QThread *const asking = QThread::currentThread();
    std::vector<int> answers;
    std::vector<int> done; // written on the drive thread only, read once every answer is in
    bool answeredOnAskingThread = true;
    for (int i = 0; i < 5; ++i) {
        if (i == 2)
            drives.post([&done] { done.push_back(-1); }); // posted work keeps its place in the order
        drives.ask(
            &receiver,
            [&done, asking, i] {
                done.push_back(QThread::currentThread() == asking ? 100 + i : i);
                return i * 10;
            },
            [&, i](std::optional<int> result) {
                answeredOnAskingThread = answeredOnAskingThread && QThread::currentThread() == asking;
                answers.push_back(result.value_or(-1));
                EXPECT_EQ(result, i * 10);
            });
    }
    EXPECT_TRUE(answers.empty()) << "answers come from the event loop, never inside ask()";
    ASSERT_TRUE(TestSupport::waitFor([&] { return answers.size() == 5; }, 10000));
    EXPECT_EQ(answers, (std::vector<int> {0, 10, 20, 30, 40}));
    EXPECT_EQ(done, (std::vector<int> {0, 1, -1, 2, 3, 4}));
    EXPECT_TRUE(answeredOnAskingThread);
}

TEST(DriveThread, AnOverdueQuestionIsAnsweredWithNothingAndItsLateResultDropped)
{
    auto gate = std::make_shared<AnswerGate>();
    DriveThread drives(100ms);
    QObject receiver;
    std::atomic<bool> hungWorkEnded = false;
    std::atomic<bool> queuedWorkRan = false;
    std::vector<std::optional<int>> answers;
    gate->close();
    // The first work hangs on the drive; the second waits behind it.
    drives.ask(
        &receiver,
        [gate, &hungWorkEnded] {
            gate->pass();
            hungWorkEnded = true;
            return 1;
        },
        [&](std::optional<int> result) { answers.push_back(result); });
    drives.ask(
        &receiver,
        [&queuedWorkRan] {
            queuedWorkRan = true;
            return 2;
        },
        [&](std::optional<int> result) { answers.push_back(result); });
    ASSERT_TRUE(TestSupport::waitFor([&] { return answers.size() == 2; }, 10000));
    EXPECT_EQ(answers, (std::vector<std::optional<int>> {std::nullopt, std::nullopt}));

    // The drive comes back: the hung work ends, its answer is dropped, the overdue work never runs,
    // and the next question is answered as usual.
    gate->open();
    std::optional<int> next;
    drives.ask(
        &receiver, [] { return 3; }, [&](std::optional<int> result) { next = result; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return next.has_value(); }, 10000));
    EXPECT_EQ(next, 3);
    EXPECT_TRUE(hungWorkEnded);
    EXPECT_FALSE(queuedWorkRan);
    EXPECT_EQ(answers.size(), 2u);
}

TEST(DriveThread, NoAnswerReachesADestroyedReceiver)
{
    DriveThread drives(100ms);
    auto gone = std::make_unique<QObject>();
    QObject stays;
    bool goneAnswered = false;
    bool staysAnswered = false;
    drives.ask(
        gone.get(), [] { return 1; }, [&](std::optional<int>) { goneAnswered = true; });
    gone.reset();
    drives.ask(
        &stays, [] { return 2; }, [&](std::optional<int>) { staysAnswered = true; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return staysAnswered; }, 10000));
    // The overdue path must not reach it either.
    TestSupport::waitFor([] { return false; }, 200);
    EXPECT_FALSE(goneAnswered);
}

TEST(DriveThread, AnErrorOfTheWorkReachesTheErrorBoxInPlaceOfTheAnswer)
{
    DriveThread drives;
    QObject receiver;
    MessageBoxSeam::takeShown();
    bool answered = false;
    drives.ask(
        &receiver, []() -> int { throw KestraneError(QStringLiteral("The drive fell off the bus")); },
        [&](std::optional<int>) { answered = true; });
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("The drive fell off the bus."), 10000));
    EXPECT_EQ(MessageBoxSeam::takeShown().value(0).kind, 0);
    EXPECT_FALSE(answered);
}

TEST(DriveThread, StoppingDoesNotWaitForeverOnAHungDrive)
{
    auto gate = std::make_shared<AnswerGate>();
    std::atomic<bool> begun = false;
    std::atomic<bool> ended = false;
    gate->close();
    {
        DriveThread drives(100ms);
        QObject receiver;
        drives.ask(
            &receiver,
            [gate, &begun, &ended] {
                begun = true;
                gate->pass();
                ended = true;
                return 0;
            },
            [](std::optional<int>) { ADD_FAILURE() << "no answer after the drive thread is gone"; });
        ASSERT_TRUE(TestSupport::waitFor([&] { return begun.load(); }, 10000));
    } // returns once the bound has passed, leaving the hung thread behind
    gate->open();
    ASSERT_TRUE(TestSupport::waitFor([&] { return ended.load(); }, 10000));
    TestSupport::waitFor([] { return false; }, 100); // its late answer finds nobody
}

} // namespace
