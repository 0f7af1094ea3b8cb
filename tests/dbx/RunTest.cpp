#include "DbxTestUtil.h"
#include "dbx/RecoveryWorker.h"

#include <gtest/gtest.h>

namespace mendora::test {
namespace {

const std::string kOpening(texts::kOpening), kP1(texts::kPhase1), kP2(texts::kPhase2),
    kP3(texts::kPhase3), kDone(texts::kRecoveryDone), kAborted(texts::kUserAborted),
    kRepaired(texts::kRepairingDone);

// Two indexed messages and two deleted ones.
std::vector<std::uint8_t> SmallMailbox()
{
    std::mt19937 rng(1);
    CMailboxWriter w;
    for (unsigned i = 0; i < 4; ++i)
        w.AddMessage(MakeMessageText(rng, i), i >= 2);
    return w.Build();
}

struct RunResult {
    bool opened;
    CRecordingObserver obs;
    CRecordingSink sink;
};

// Runs over bytes; stopAt names the event (or "message") at which Stop is pressed.
std::unique_ptr<RunResult> RunOver(const std::vector<std::uint8_t>& bytes,
                                   const std::string& stopAt = "")
{
    auto r = std::make_unique<RunResult>();
    CMailboxOnDisk mb(bytes);
    r->obs.onEvent = [&](const std::string& e) {
        if (e == "status:" + stopAt)
            mb.engine.RequestAbort();
    };
    r->sink.onMessage = [&](const RecordedMessage&) {
        if (stopAt == "message")
            mb.engine.RequestAbort();
    };
    r->opened = mb.engine.Run(mb.path, r->obs, r->sink);
    return r;
}

TEST(Run, StatusSequences)
{
    struct Case {
        const char* name;
        std::string stopAt;
        std::vector<std::string> statuses;
        std::size_t messages;
    };
    const Case cases[] = {
        {"normal", "", {kOpening, kP1, kP2, kP3, kDone, kRepaired}, 4},
        {"stop during phase 1", "message", {kOpening, kP1, kAborted}, 1},
        {"stop during phase 2", kP2, {kOpening, kP1, kP2, kAborted}, 2},
        {"stop during phase 3", kP3, {kOpening, kP1, kP2, kP3, kDone, kAborted}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = RunOver(SmallMailbox(), c.stopAt);
        EXPECT_TRUE(r->opened);
        EXPECT_EQ(r->obs.statuses, c.statuses);
        EXPECT_EQ(r->sink.messages.size(), c.messages);
    }
}

TEST(Run, StopDuringPhaseThreeFinishesTheMessageUnderWay)
{
    std::mt19937 rng(1);
    CMailboxWriter w;
    for (unsigned i = 0; i < 3; ++i)
        w.AddMessage(MakeMessageText(rng, i), true);
    CMailboxOnDisk mb(w.Build());
    CRecordingObserver obs;
    CRecordingSink sink;
    sink.onMessage = [&](const RecordedMessage&) { mb.engine.RequestAbort(); };
    mb.engine.Run(mb.path, obs, sink);
    EXPECT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(obs.statuses, (std::vector<std::string>{kOpening, kP1, kP2, kP3, kDone, kAborted}));
}

TEST(Run, FileThatCannotBeOpened)
{
    CDbxRecovery engine;
    CRecordingObserver obs;
    CRecordingSink sink;
    EXPECT_FALSE(engine.Run("/nonexistent/mail.dbx", obs, sink));
    EXPECT_EQ(obs.events,
              (std::vector<std::string>{"status:" + kOpening,
                                        "box:Unable to open file...|Mendora for Outlook Express|64"}));
    CScratchDir dir; // a folder is not a mailbox either
    EXPECT_FALSE(engine.Run(dir.Path(), obs, sink));
    EXPECT_TRUE(sink.messages.empty());
}

TEST(Run, TinyFileStillRunsThePhases)
{
    auto r = RunOver({1, 2, 3});
    EXPECT_EQ(r->obs.statuses, (std::vector<std::string>{kOpening, kP1, kP2, kP3, kDone, kRepaired}));
    EXPECT_TRUE(r->sink.messages.empty());
}

TEST(Run, ProgressPositions)
{
    // An index count of 10 whose root holds 4 values: phase 1 still steps by 10.
    CMailboxImage img;
    img.Header(10, 0x3000);
    img.Node(0x3000, 0, {{0x100}, {0x200}, {0x300}, {0x400}});
    img.EnsureSize(200000);
    CMailboxImage copy = img;
    auto r = RunOver(copy.bytes);

    const auto& ev = r->obs.events;
    const auto p1 = std::find(ev.begin(), ev.end(), "status:" + kP1);
    const auto p2 = std::find(ev.begin(), ev.end(), "status:" + kP2);
    std::vector<std::string> phase1(p1 + 1, p2);
    std::vector<std::string> expected;
    for (int i = 0; i <= 90; i += 10)
        expected.push_back("progress:" + std::to_string(i));
    expected.push_back("progress:0"); // phase 2 resets the bar before its status
    EXPECT_EQ(phase1, expected);

    // Positions are sent only when they change, and stay within 0..100.
    for (std::size_t i = 1; i < r->obs.progress.size(); ++i)
        EXPECT_NE(r->obs.progress[i], r->obs.progress[i - 1]);
    for (int p : r->obs.progress) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 100);
    }
}

TEST(Run, WorkerRunsOnItsOwnThreadAndReportsTheEnd)
{
    CScratchDir dir;
    CMailboxImage img;
    img.bytes = SmallMailbox();
    img.Save(dir.File("m.dbx"));

    struct Observer : CRecordingObserver {
        std::vector<std::string> lifecycle;
        std::thread::id thread;
        void OnRunStarting() override
        {
            thread = std::this_thread::get_id();
            lifecycle.push_back("starting");
        }
        void OnRunFinished() override { lifecycle.push_back("finished"); }
    } obs;
    CRecordingSink sink;
    CDbxRecovery engine;
    engine.RequestAbort(); // a stale flag from before is cleared by the worker
    CRecoveryWorker worker;
    ASSERT_TRUE(worker.Start(engine, dir.File("m.dbx"), obs, sink));
    worker.Join();
    EXPECT_FALSE(worker.Running());
    EXPECT_NE(obs.thread, std::this_thread::get_id());
    EXPECT_EQ(obs.lifecycle, (std::vector<std::string>{"starting", "finished"}));
    EXPECT_EQ(sink.messages.size(), 4u);
    EXPECT_TRUE(engine.IsSourceOpen()); // kept open for previews and saving
}

} // namespace
} // namespace mendora::test
