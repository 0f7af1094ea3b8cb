#include "DbxTestUtil.h"

#include <gtest/gtest.h>

namespace mendora::test {
namespace {

using E = CMailboxImage::Entry;

// A file big enough that the counts used here are believable (count <= length / 12).
CMailboxImage Roomy()
{
    CMailboxImage img;
    img.Header(0, 0);
    img.EnsureSize(0x20000);
    return img;
}

std::vector<std::uint32_t> Walk(const CMailboxImage& img, std::uint32_t root, std::uint32_t count,
                                bool* ok = nullptr)
{
    CMailboxOnDisk mb(img);
    bool r = mb.engine.CollectIndexOffsets(root, count);
    if (ok)
        *ok = r;
    return mb.engine.IndexOffsets();
}

TEST(IndexWalk, FillsSlotsInOrderByDeclaredCounts)
{
    CMailboxImage img = Roomy();
    img.Node(0x3000, 0, {{0x111, 0x5000, 1}}, 0x4000, 1);
    img.Node(0x4000, 0x3000, {{0x222}});
    img.Node(0x5000, 0x3000, {{0x333}});
    EXPECT_EQ(Walk(img, 0x3000, 3), (std::vector<std::uint32_t>{0x222, 0x111, 0x333}));
}

TEST(IndexWalk, RejectedSubtreeKeepsItsSlotsAtZero)
{
    CMailboxImage img = Roomy();
    // The first child claims 2 values but was read from a place it does not name as its own.
    img.Node(0x3000, 0, {{0x111}, {0x222, 0x5000, 1}}, 0x4000, 2);
    img.Node(0x4000, 0x3000, {{0xAAA}, {0xBBB}});
    img.Put32(0x4000, 0x4004);
    img.Node(0x5000, 0x3000, {{0x333}});
    EXPECT_EQ(Walk(img, 0x3000, 5), (std::vector<std::uint32_t>{0, 0, 0x111, 0x222, 0x333}));
}

TEST(IndexWalk, NodeChecks)
{
    struct Case {
        const char* name;
        int entryCount;           // entries declared by the child
        std::uint32_t childSelf;  // self offset written in the child
        std::uint32_t childParent;
        bool childAccepted;
    };
    const Case cases[] = {
        {"51 entries", 51, 0x4000, 0x3000, true},
        {"52 entries", 52, 0x4000, 0x3000, false},
        {"self offset mismatch", 1, 0x4010, 0x3000, false},
        {"parent names another node", 1, 0x4000, 0x3800, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMailboxImage img = Roomy();
        std::vector<E> entries(51);
        for (std::uint32_t i = 0; i < 51; ++i)
            entries[i].value = 0x10000 + i;
        img.Node(0x3000, 0, {{0x999}}, 0x4000, 51);
        img.Node(0x4000, 0x3000, entries, 0, 0, c.entryCount);
        img.Put32(0x4000, c.childSelf);
        img.Put32(0x4000 + 0x0C, c.childParent);
        const auto slots = Walk(img, 0x3000, 52);
        ASSERT_EQ(slots.size(), 52u);
        EXPECT_EQ(slots[0], c.childAccepted ? 0x10000u : 0u);
        EXPECT_EQ(slots[50], c.childAccepted ? 0x10000u + 50 : 0u);
        EXPECT_EQ(slots[51], 0x999u); // the parent's own value keeps its place
    }
}

TEST(IndexWalk, RootWithParentIsRejected)
{
    CMailboxImage img = Roomy();
    img.Node(0x3000, 0x1234, {{0x111}});
    EXPECT_EQ(Walk(img, 0x3000, 1), (std::vector<std::uint32_t>{0}));
}

TEST(IndexWalk, ValueBeyondCapacityEndsTheNode)
{
    CMailboxImage img = Roomy();
    img.Node(0x3000, 0, {{0x111}, {0x222}, {0x333}});
    EXPECT_EQ(Walk(img, 0x3000, 2), (std::vector<std::uint32_t>{0x111, 0x222}));
}

TEST(IndexWalk, SubtreeThatDoesNotFitIsSkipped)
{
    CMailboxImage img = Roomy();
    img.Node(0x3000, 0, {{0x111, 0x4000, 5}, {0x222}});
    img.Node(0x4000, 0x3000, {{0xAAA}});
    // The child declares 5 values, more than the 3 slots after the first value.
    EXPECT_EQ(Walk(img, 0x3000, 4), (std::vector<std::uint32_t>{0x111, 0, 0, 0}));
}

TEST(IndexWalk, CountAboveWhatTheFileHoldsFindsNothing)
{
    CMailboxImage img = Roomy();
    img.Node(0x3000, 0, {{0x111}});
    bool ok = true;
    EXPECT_TRUE(Walk(img, 0x3000, 0xFFFFFFF0u, &ok).empty());
    EXPECT_FALSE(ok);
    const std::uint32_t limit = static_cast<std::uint32_t>(img.bytes.size() / 12);
    EXPECT_EQ(Walk(img, 0x3000, limit, &ok).size(), limit);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Walk(img, 0x3000, limit + 1, &ok).empty());
    EXPECT_FALSE(ok);
}

TEST(IndexWalk, NodeBeyondTheEndOfTheFileIsNotRead)
{
    CMailboxImage img = Roomy();
    img.Node(0x3000, 0, {{0x111, 0x7FFFFFF0, 1}, {0x222}});
    EXPECT_EQ(Walk(img, 0x3000, 3), (std::vector<std::uint32_t>{0x111, 0, 0x222}));
}

TEST(IndexWalk, DepthIsBounded)
{
    // A chain of nodes, each the first child of the one before, one value each.
    constexpr std::uint32_t kLevels = 70;
    CMailboxImage img = Roomy();
    for (std::uint32_t level = 0; level < kLevels; ++level) {
        const std::uint32_t at = 0x3000 + level * 0x280;
        const std::uint32_t child = level + 1 < kLevels ? at + 0x280 : 0;
        img.Node(at, level == 0 ? 0 : at - 0x280, {{0x100 + level}}, child, kLevels - level - 1);
    }
    const auto slots = Walk(img, 0x3000, kLevels);
    ASSERT_EQ(slots.size(), kLevels);
    // Slots run from the deepest level up; levels 0..64 are read, 65..69 are not.
    for (std::uint32_t level = 0; level < kLevels; ++level) {
        const std::uint32_t slot = kLevels - 1 - level;
        EXPECT_EQ(slots[slot], level <= CDbxRecovery::kMaxIndexDepth ? 0x100 + level : 0u)
            << "level " << level;
    }
}

TEST(IndexWalk, ChildNamedByManyEntriesIsNotVisitedWithoutEnd)
{
    // Ten levels, each node's 51 entries all naming the same child (declaring no values, so
    // every visit fits): 51^10 visits if nothing bounded the walk. This must return at once.
    CMailboxImage img = Roomy();
    constexpr std::uint32_t kLevels = 10;
    for (std::uint32_t l = 0; l < kLevels; ++l) {
        const std::uint32_t at = 0x3000 + l * 0x280;
        std::vector<E> entries(51);
        for (auto& e : entries)
            e = {0x100 + l, l + 1 < kLevels ? at + 0x280 : 0, 0};
        img.Node(at, l == 0 ? 0 : at - 0x280, entries);
    }
    const auto slots = Walk(img, 0x3000, 60);
    ASSERT_EQ(slots.size(), 60u);
    EXPECT_EQ(slots[50], 0x100u); // the root's last entry
}

TEST(IndexWalk, NodesNamingEachOtherAsParentAndChild)
{
    CMailboxImage img = Roomy();
    img.Node(0x3000, 0, {{0x111, 0x4000, 2}});
    img.Node(0x4000, 0x3000, {{0x222, 0x3000, 1}});
    EXPECT_EQ(Walk(img, 0x3000, 3), (std::vector<std::uint32_t>{0x111, 0x222, 0}));
}

} // namespace
} // namespace mendora::test
