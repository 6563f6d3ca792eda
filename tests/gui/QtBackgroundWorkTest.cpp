// File work on worker threads with its progress dialog, on the real event
// loop and the real clock.
#include "platform/qt/QtBackgroundWork.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tolmar {
namespace {

using namespace std::chrono_literals;

// Runs the event loop until `done` holds, at most `ms`.
bool waitUntil(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Work that runs until it is cancelled (or `stop` is set), as a long save does.
std::function<void()> untilCancelled(std::shared_ptr<WorkProgress> progress, std::atomic<bool> &ended,
                                     std::atomic<bool> *stop = nullptr)
{
    return [progress, &ended, stop] {
        while (!progress->cancelled() && !(stop && *stop))
            std::this_thread::sleep_for(2ms);
        ended = true;
    };
}

QProgressDialog *progressDialogOf(QWidget &window)
{
    return window.findChild<QProgressDialog *>();
}

TEST(QtBackgroundWork, WorkRunsOnAWorkerAndFinishesOnTheUiThread)
{
    QtBackgroundWork work;
    const std::thread::id ui = std::this_thread::get_id();
    std::thread::id worker;
    std::thread::id finisher;
    std::atomic<bool> workDone{false};
    bool workDoneBeforeFinish = false;
    int finishedCount = 0;
    work.start("Saving", std::make_shared<WorkProgress>(),
               [&] {
                   worker = std::this_thread::get_id();
                   workDone = true;
               },
               [&] {
                   finisher = std::this_thread::get_id();
                   workDoneBeforeFinish = workDone;
                   ++finishedCount;
               });
    EXPECT_EQ(finishedCount, 0) << "never during start";
    EXPECT_EQ(work.running(), 1u);
    ASSERT_TRUE(waitUntil([&] { return finishedCount > 0; }));
    EXPECT_NE(worker, ui);
    EXPECT_EQ(finisher, ui);
    EXPECT_TRUE(workDoneBeforeFinish);
    QTest::qWait(50);
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(work.running(), 0u);
}

TEST(QtBackgroundWork, ShortWorkShowsNoProgress)
{
    QWidget window;
    window.show();
    QtBackgroundWork work(&window);
    bool finished = false;
    bool progressSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { progressSeen |= progressDialogOf(window) != nullptr; });
    watch.start(10);
    work.start("Saving", std::make_shared<WorkProgress>(), [] { std::this_thread::sleep_for(100ms); },
               [&] { finished = true; });
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    EXPECT_FALSE(progressSeen);
}

TEST(QtBackgroundWork, LongWorkShowsProgressAndCancelStopsIt)
{
    QWidget window;
    window.show();
    QtBackgroundWork work(&window);
    auto progress = std::make_shared<WorkProgress>();
    progress->setTotal(1000);
    progress->setDone(250);
    std::atomic<bool> ended{false};
    bool finished = false;
    bool cancelledAtFinish = false;
    QElapsedTimer clock;
    clock.start();
    work.start("Saving readings.xml", progress, untilCancelled(progress, ended), [&] {
        finished = true;
        cancelledAtFinish = progress->cancelled();
    });

    ASSERT_TRUE(waitUntil([&] { return progressDialogOf(window) && progressDialogOf(window)->isVisible(); }));
    EXPECT_GE(clock.elapsed(), QtBackgroundWork::progressDelayMs - 20);
    QProgressDialog *dialog = progressDialogOf(window);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_EQ(dialog->labelText(), "Saving readings.xml");
    auto *bar = dialog->findChild<QProgressBar *>();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(waitUntil([&] { return bar->value() == 250; }, 1000));
    EXPECT_EQ(bar->maximum(), 1000);
    progress->setDone(600);
    EXPECT_TRUE(waitUntil([&] { return bar->value() == 600; }, 1000)) << "polled while it runs";
    EXPECT_FALSE(finished);

    auto *cancel = dialog->findChild<QPushButton *>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_TRUE(progress->cancelled());
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    EXPECT_TRUE(ended);
    EXPECT_TRUE(cancelledAtFinish) << "the finishing step sees how the work ended";
    EXPECT_EQ(progressDialogOf(window), nullptr) << "the dialog goes with the work";
}

// The progress bar does not cover an open question; it shows once the
// question is answered.
TEST(QtBackgroundWork, ProgressWaitsForAnOpenMessageBox)
{
    QWidget window;
    window.show();
    QtBackgroundWork work(&window);
    QMessageBox question(QMessageBox::Question, "Tolmar", "Are you sure?", QMessageBox::Yes | QMessageBox::No,
                         &window);
    question.setWindowModality(Qt::ApplicationModal);
    question.show();
    auto progress = std::make_shared<WorkProgress>();
    std::atomic<bool> ended{false};
    bool finished = false;
    work.start("Saving", progress, untilCancelled(progress, ended), [&] { finished = true; });
    QTest::qWait(QtBackgroundWork::progressDelayMs + 4 * QtBackgroundWork::pollIntervalMs);
    EXPECT_EQ(progressDialogOf(window), nullptr);
    question.hide();
    EXPECT_TRUE(waitUntil([&] { return progressDialogOf(window) != nullptr; }, 1000));
    progress->cancel();
    ASSERT_TRUE(waitUntil([&] { return finished; }));
}

TEST(QtBackgroundWork, TheBarCountsTotalsBeyondInt)
{
    QWidget window;
    QtBackgroundWork work(&window);
    const struct { std::uint64_t total, done; } cases[] = {
        {10'000'000'000ull, 5'000'000'000ull},
        {std::uint64_t(INT_MAX) + 1, std::uint64_t(INT_MAX) + 1},
        {0, 0}, // unknown size: a busy bar
    };
    for (const auto &c : cases) {
        auto progress = std::make_shared<WorkProgress>();
        progress->setTotal(c.total);
        progress->setDone(c.done);
        std::atomic<bool> ended{false};
        bool finished = false;
        work.start("Loading", progress, untilCancelled(progress, ended), [&] { finished = true; });
        ASSERT_TRUE(waitUntil([&] { return progressDialogOf(window) != nullptr; }));
        auto *bar = progressDialogOf(window)->findChild<QProgressBar *>();
        QTest::qWait(2 * QtBackgroundWork::pollIntervalMs);
        if (c.total == 0) {
            EXPECT_EQ(bar->maximum(), 0);
        } else {
            EXPECT_GT(bar->maximum(), 0) << c.total;
            EXPECT_NEAR(double(bar->value()) / bar->maximum(), double(c.done) / double(c.total), 1e-6) << c.total;
        }
        progress->cancel();
        ASSERT_TRUE(waitUntil([&] { return finished; }));
    }
}

TEST(QtBackgroundWork, DestroyingItJoinsRunningWorkAndDropsTheFinish)
{
    auto work = std::make_unique<QtBackgroundWork>();
    auto progress = std::make_shared<WorkProgress>();
    std::atomic<bool> ended{false};
    bool finished = false;
    work->start("Saving", progress, untilCancelled(progress, ended), [&] { finished = true; });
    QTest::qWait(50);
    work.reset();
    EXPECT_TRUE(ended) << "joined";
    EXPECT_TRUE(progress->cancelled());
    QTest::qWait(50);
    EXPECT_FALSE(finished);

    // Work that already ended but whose finish is still queued is dropped too.
    work = std::make_unique<QtBackgroundWork>();
    std::atomic<bool> ran{false};
    work->start("Saving", std::make_shared<WorkProgress>(), [&] { ran = true; }, [&] { finished = true; });
    while (!ran)
        std::this_thread::sleep_for(1ms);
    work->shutDown();
    QTest::qWait(50);
    EXPECT_FALSE(finished);
    // And nothing starts any more.
    work->start("Saving", std::make_shared<WorkProgress>(), [&] { ran = false; }, [&] { finished = true; });
    QTest::qWait(50);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(finished);
    EXPECT_EQ(work->running(), 0u);
}

TEST(QtBackgroundWork, SeveralPiecesRunAtOnce)
{
    QWidget window;
    window.show();
    QtBackgroundWork work(&window);
    constexpr int pieces = 4;
    std::vector<std::shared_ptr<WorkProgress>> progress;
    std::atomic<bool> stop[pieces] = {};
    std::atomic<bool> ended[pieces] = {};
    std::vector<int> finishOrder;
    for (int i = 0; i < pieces; ++i) {
        progress.push_back(std::make_shared<WorkProgress>());
        work.start("Piece " + std::to_string(i), progress.back(), untilCancelled(progress.back(), ended[i], &stop[i]),
                   [&, i] {
                       EXPECT_TRUE(ended[i]);
                       finishOrder.push_back(i);
                   });
    }
    EXPECT_EQ(work.running(), std::size_t(pieces));
    ASSERT_TRUE(waitUntil([&] { return window.findChildren<QProgressDialog *>().size() == pieces; }));
    // They end in any order, each with its own finish.
    for (int i : {2, 0, 3, 1}) {
        stop[i] = true;
        ASSERT_TRUE(waitUntil([&] { return !finishOrder.empty() && finishOrder.back() == i; })) << i;
    }
    EXPECT_EQ(finishOrder, (std::vector<int>{2, 0, 3, 1}));
    EXPECT_TRUE(window.findChildren<QProgressDialog *>().empty());

    // A finish may start the next piece.
    bool second = false;
    work.start("First", std::make_shared<WorkProgress>(), [] {}, [&] {
        work.start("Second", std::make_shared<WorkProgress>(), [] {}, [&] { second = true; });
    });
    EXPECT_TRUE(waitUntil([&] { return second; }));
}

// Work that throws has not completed: it ends as cancelled, and the finish
// still runs, so the program leaves its busy state.
TEST(QtBackgroundWork, WorkThatThrowsEndsAsCancelled)
{
    QtBackgroundWork work;
    auto progress = std::make_shared<WorkProgress>();
    bool finished = false;
    bool cancelled = false;
    work.start("Loading", progress, [] { throw std::bad_alloc(); }, [&] {
        finished = true;
        cancelled = progress->cancelled();
    });
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    EXPECT_TRUE(cancelled);
}

} // namespace
} // namespace tolmar
