#include "DbxTestUtil.h"

#include <gtest/gtest.h>

namespace mendora::test {
namespace {

CMailboxImage WithHeader(std::uint64_t size = 0x4000)
{
    CMailboxImage img;
    img.Header(0, 0);
    img.EnsureSize(size);
    return img;
}

// Runs phases 2 and 3 alone over an image.
struct ScanResult {
    std::vector<BlockCandidate> candidates;
    std::vector<RecordedMessage> messages;
};

ScanResult Scan(const CMailboxImage& img)
{
    CMailboxOnDisk mb(img);
    CRecordingObserver obs;
    CRecordingSink sink;
    mb.engine.Run(mb.path, obs, sink);
    return {mb.engine.CandidateList(), sink.messages};
}

std::vector<std::uint32_t> Offsets(const std::vector<BlockCandidate>& list)
{
    std::vector<std::uint32_t> v;
    for (const auto& c : list)
        v.push_back(c.offset);
    return v;
}

TEST(Scan, EveryPositionIsExaminedOnceAcrossWindows)
{
    CMailboxImage img = WithHeader(3 * 65532 + 100);
    img.PutBytes(0, std::string(16, '\xEE')); // no candidate at 0
    const std::vector<std::uint32_t> at = {65530, 65531 + 8, 65532 + 40, 2 * 65532,
                                           3 * 65532 - 2, 3 * 65532 + 100 - 4};
    for (std::uint32_t p : at)
        img.Put32(p, p);
    img.Put32(65530 + 4, 0x1234); // the fields after it are taken from the file
    const ScanResult r = Scan(img);
    EXPECT_EQ(Offsets(r.candidates), at);
    ASSERT_FALSE(r.candidates.empty());
    EXPECT_EQ(r.candidates[0].blockSize, 0x1234u);
    // The last position whose four bytes lie in the file: its fields are zero past the end.
    EXPECT_EQ(r.candidates.back().nextBlockOffset, 0u);
}

TEST(Scan, TinyFiles)
{
    struct Case {
        std::size_t length;
        std::vector<std::uint32_t> candidates;
    };
    // All-zero files: position 0 holds 0, which is a candidate once four bytes follow it.
    const Case cases[] = {{0, {}}, {3, {}}, {4, {}}, {5, {0}}, {8, {0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        CMailboxImage img;
        img.bytes.assign(c.length, 0);
        EXPECT_EQ(Offsets(Scan(img).candidates), c.candidates);
    }
}

TEST(Scan, RebuildsADeletedChainFromItsFirstBlock)
{
    // X -> Y -> Z with Z last, laid out of file order.
    const std::uint32_t x = 0x3420, y = 0x3000, z = 0x3210;
    const std::string text = std::string(512, 'x') + std::string(512, 'y') + "zzz";
    CMailboxImage img = WithHeader();
    img.DeletedChain({x, y, z}, text);
    const ScanResult r = Scan(img);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].firstBlock, x);
    EXPECT_TRUE(r.messages[0].deleted);
    EXPECT_EQ(r.messages[0].text, DeletedMessageText({x, y, z}, text, ""));
}

TEST(Scan, LowerPredecessorWins)
{
    const std::uint32_t a = 0x3000, z = 0x3400, b = 0x3800;
    CMailboxImage img = WithHeader();
    img.Block(a, 512, 3, z, "AAA");
    img.Block(b, 512, 3, z, "BBB");
    img.Block(z, 512, 3, 0, "ZZZ");
    const ScanResult r = Scan(img);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].firstBlock, a);
    EXPECT_EQ(r.messages[0].text, "AAAZZZ");
    EXPECT_FALSE(r.messages[0].deleted); // block size 512: listed as existing
}

TEST(Scan, IndexedMessagesAreNotFoundAgain)
{
    std::mt19937 rng(3);
    CMailboxWriter w;
    w.SetScatterPercent(50, 5);
    for (unsigned i = 0; i < 6; ++i)
        w.AddMessage(MakeMessageText(rng, i), i == 2 || i == 4);
    CMailboxOnDisk mb(w.Build());
    CRecordingObserver obs;
    CRecordingSink sink;
    ASSERT_TRUE(mb.engine.Run(mb.path, obs, sink));

    // Phase 1 in index order, then phase 3 in file order of the chain ends.
    std::vector<std::pair<std::uint32_t, bool>> got, want;
    for (const auto& m : sink.messages)
        got.emplace_back(m.firstBlock, m.deleted);
    for (const auto& m : w.Messages())
        if (!m.deleted)
            want.emplace_back(m.firstBlock, false);
    std::vector<const WrittenMessage*> deleted;
    for (const auto& m : w.Messages())
        if (m.deleted)
            deleted.push_back(&m);
    std::sort(deleted.begin(), deleted.end(),
              [](auto* l, auto* r) { return l->blocks.back() < r->blocks.back(); });
    for (auto* m : deleted)
        want.emplace_back(m->firstBlock, true);
    EXPECT_EQ(got, want);
    for (std::size_t i = 0; i < sink.messages.size(); ++i) {
        const auto& m = sink.messages[i];
        const auto& src = *std::find_if(w.Messages().begin(), w.Messages().end(),
                                        [&](const WrittenMessage& x) { return x.firstBlock == m.firstBlock; });
        EXPECT_EQ(m.text, src.deleted ? DeletedMessageText(src.blocks, src.text, "") : src.text);
    }
}

TEST(Scan, FindPredecessorHonoursTheStopFlag)
{
    CMailboxImage img = WithHeader();
    img.Block(0x3000, 512, 3, 0x3400, "AAA");
    img.Block(0x3400, 512, 3, 0, "ZZZ");
    CMailboxOnDisk mb(img);
    EXPECT_EQ(mb.engine.FindPredecessor(0x3400), 0u); // no scan yet: empty list
    CRecordingObserver obs;
    CRecordingSink sink;
    mb.engine.Run(mb.path, obs, sink);
    EXPECT_EQ(mb.engine.FindPredecessor(0x3400), 0x3000u);
    EXPECT_EQ(mb.engine.FindPredecessor(0x3000), 0u);
    mb.engine.RequestAbort();
    EXPECT_EQ(mb.engine.FindPredecessor(0x3400), 0u);
}

} // namespace
} // namespace mendora::test
