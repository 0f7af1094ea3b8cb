#include "DbxTestUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace mendora::test {
namespace {

std::string Pattern(std::size_t n, char seed)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(seed + i % 23);
    return s;
}

CMailboxImage WithHeader()
{
    CMailboxImage img;
    img.Header(0, 0);
    return img;
}

std::string ExtractTo(CMailboxOnDisk& mb, std::uint32_t first, bool* ok = nullptr,
                      bool* mark = nullptr)
{
    const std::string out = mb.dir.File("out.eml");
    ::unlink(out.c_str());
    const bool r = mb.engine.ExtractMessageTo(out, first, mark);
    if (ok)
        *ok = r;
    return ReadFileBytes(out);
}

TEST(Extraction, ConcatenatesTheChainByteForByte)
{
    CMailboxImage img = WithHeader();
    const std::string text = Pattern(1124, 'a');
    img.Chain({0x3000, 0x5000, 0x4000}, text);
    CMailboxOnDisk mb(img);

    bool ok = false;
    EXPECT_EQ(ExtractTo(mb, 0x3000, &ok), text);
    EXPECT_TRUE(ok);

    std::string name = "dd.eml";
    ASSERT_TRUE(mb.engine.ExtractMessage(mb.engine.TempFolder(), name, 0x3000));
    EXPECT_EQ(name, "dd.eml");
    EXPECT_EQ(ReadFileBytes(mb.engine.TempFolder() + name), text);
    EXPECT_EQ(mb.engine.ClaimedBlocks().Order(), (std::vector<std::uint32_t>{0x3000, 0x5000, 0x4000}));

    std::string buffered;
    ASSERT_TRUE(mb.engine.ExtractMessageToBuffer(0x3000, buffered));
    EXPECT_EQ(buffered, text);
}

TEST(Extraction, EmptyChainsProduceNothing)
{
    CMailboxImage img = WithHeader();
    img.Block(0x3000, 512, 0, 0, "");
    CMailboxOnDisk mb(img);
    bool ok = true;
    EXPECT_EQ(ExtractTo(mb, 0x3000, &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_FALSE(std::filesystem::exists(mb.dir.File("out.eml")));
    EXPECT_FALSE(mb.engine.ExtractMessageTo(mb.dir.File("out.eml"), 0));

    std::string name = "dd.eml";
    EXPECT_FALSE(mb.engine.ExtractMessage(mb.engine.TempFolder(), name, 0x3000));
    EXPECT_FALSE(std::filesystem::exists(mb.engine.TempFolder() + "dd.eml"));
}

TEST(Extraction, ZeroFillFollowsTheLastHeaderRead)
{
    struct Case {
        const char* name;
        std::uint32_t sizes[3];
        bool filled;
    };
    const Case cases[] = {
        {"all 512", {512, 512, 512}, false},
        {"last block 0x1000", {512, 512, 0x1000}, true},
        {"first block 0x1000", {0x1000, 512, 512}, false},
        {"deleted 0x1FC", {0x1FC, 0x1FC, 0x1FC}, true},
    };
    std::string text = Pattern(1200, 'A');
    text[3] = '\0';       // first block
    text[600] = '\0';     // second block
    text[1100] = '\0';    // third block
    std::string filled = text;
    std::replace(filled.begin(), filled.end(), '\0', '_');

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMailboxImage img = WithHeader();
        img.Chain({0x3000, 0x3210, 0x3420}, text);
        for (int i = 0; i < 3; ++i)
            img.Put32(0x3000 + 0x210 * static_cast<std::uint32_t>(i) + 4, c.sizes[i]);
        CMailboxOnDisk mb(img);
        bool mark = !c.filled;
        EXPECT_EQ(ExtractTo(mb, 0x3000, nullptr, &mark), c.filled ? filled : text);
        EXPECT_EQ(mark, c.filled);
        std::string name = "dd.eml";
        ASSERT_TRUE(mb.engine.ExtractMessage(mb.engine.TempFolder(), name, 0x3000));
        EXPECT_EQ(mb.engine.ZeroFillMark(), c.filled);
        EXPECT_EQ(ReadFileBytes(mb.engine.TempFolder() + name), c.filled ? filled : text);
    }
}

TEST(Extraction, PreviewLeavesTheRunsMarkAlone)
{
    CMailboxImage img = WithHeader();
    img.Block(0x3000, 0x1FC, 10, 0, "0123456789");
    img.Block(0x4000, 512, 10, 0, "abcdefghij");
    CMailboxOnDisk mb(img);
    std::string name = "dd.eml";
    ASSERT_TRUE(mb.engine.ExtractMessage(mb.engine.TempFolder(), name, 0x3000));
    ASSERT_TRUE(mb.engine.ZeroFillMark());
    bool previewMark = true;
    ASSERT_TRUE(mb.engine.ExtractMessageTo(mb.dir.File("p.eml"), 0x4000, &previewMark));
    EXPECT_FALSE(previewMark);
    EXPECT_TRUE(mb.engine.ZeroFillMark());
}

TEST(Extraction, DataLengthAbove512GivesItsFirst512Bytes)
{
    CMailboxImage img = WithHeader();
    const std::string first = Pattern(700, 'a');
    img.Block(0x3000, 512, 700, 0x4000, first);
    img.Block(0x4000, 512, 5, 0, "tail!");
    CMailboxOnDisk mb(img);
    EXPECT_EQ(ExtractTo(mb, 0x3000), first.substr(0, 512) + "tail!");
}

TEST(Extraction, ChainsThatLeaveTheFile)
{
    {
        SCOPED_TRACE("next offset beyond the end");
        CMailboxImage img = WithHeader();
        img.Block(0x3000, 512, 4, 0x7FFFFF00, "abcd");
        CMailboxOnDisk mb(img);
        bool ok = false;
        EXPECT_EQ(ExtractTo(mb, 0x3000, &ok), "abcd");
        EXPECT_TRUE(ok);
        std::string name = "dd.eml";
        ASSERT_TRUE(mb.engine.ExtractMessage(mb.engine.TempFolder(), name, 0x3000));
        // The offset beyond the end is claimed too.
        EXPECT_EQ(mb.engine.ClaimedBlocks().Order(), (std::vector<std::uint32_t>{0x3000, 0x7FFFFF00}));
    }
    {
        SCOPED_TRACE("data cut by the end of the file");
        CMailboxImage img = WithHeader();
        img.Block(0x3000, 512, 400, 0, "short");
        img.bytes.resize(0x3010 + 5);
        CMailboxOnDisk mb(img);
        EXPECT_EQ(ExtractTo(mb, 0x3000), "short");
    }
    {
        SCOPED_TRACE("header cut by the end of the file");
        CMailboxImage img = WithHeader();
        img.Block(0x3000, 512, 3, 0x4000, "abc");
        img.Block(0x4000, 512, 400, 0, "");
        img.bytes.resize(0x4000 + 10); // the second header lacks its next field
        CMailboxOnDisk mb(img);
        EXPECT_EQ(ExtractTo(mb, 0x3000), "abc");
    }
}

TEST(Extraction, LoopingChainsEnd)
{
    struct Case {
        const char* name;
        std::uint32_t nextOfLast;
    };
    const Case cases[] = {{"last points to first", 0x3000}, {"last points to itself", 0x5000},
                          {"last points to middle", 0x4000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMailboxImage img = WithHeader();
        img.Block(0x3000, 512, 3, 0x4000, "AAA");
        img.Block(0x4000, 512, 3, 0x5000, "BBB");
        img.Block(0x5000, 0x1FC, 3, c.nextOfLast, "CCC");
        CMailboxOnDisk mb(img);
        // Cut before the first repeated block; the mark is that of the last block read.
        EXPECT_EQ(ExtractTo(mb, 0x3000), "AAABBBCCC");
        std::string name = "dd.eml";
        ASSERT_TRUE(mb.engine.ExtractMessage(mb.engine.TempFolder(), name, 0x3000));
        EXPECT_TRUE(mb.engine.ZeroFillMark());
        EXPECT_EQ(mb.engine.ClaimedBlocks().Order().size(), 3u);
    }
}

TEST(Extraction, LongLoopingChainEnds)
{
    // 200 blocks, the last pointing back to the 100th: past the short-chain bookkeeping.
    CMailboxImage img = WithHeader();
    std::string expected;
    for (std::uint32_t i = 0; i < 200; ++i) {
        const std::uint32_t at = 0x3000 + 0x20 * i;
        const std::uint32_t next = i + 1 < 200 ? at + 0x20 : 0x3000 + 0x20 * 100;
        img.Block(at, 512, 2, next, std::to_string(i % 10) + "x");
        expected += std::to_string(i % 10) + "x";
    }
    CMailboxOnDisk mb(img);
    EXPECT_EQ(ExtractTo(mb, 0x3000), expected);
}

TEST(Extraction, OverlappingBlocksCannotMakeAMessageLargerThanTheFile)
{
    // Every 4-byte position holds its own offset: each block's next field names the block 12
    // bytes on and its data length reads as more than 512, so 512 bytes would be copied for
    // every 12 bytes of file.
    CMailboxImage img;
    img.EnsureSize(64 * 1024);
    for (std::uint32_t p = 0; p < img.bytes.size(); p += 4)
        img.Put32(p, p);
    CMailboxOnDisk mb(img);
    std::string text;
    ASSERT_TRUE(mb.engine.ExtractMessageToBuffer(16, text));
    EXPECT_LE(text.size(), img.bytes.size());
    EXPECT_GT(text.size(), img.bytes.size() - 512);

    // The whole run over such a file ends, with every message within the same bound.
    CRecordingObserver obs;
    CRecordingSink sink;
    ASSERT_TRUE(mb.engine.Run(mb.path, obs, sink));
    EXPECT_EQ(obs.statuses.back(), std::string(texts::kRepairingDone));
    for (const auto& m : sink.messages)
        EXPECT_LE(m.text.size(), img.bytes.size());
}

TEST(Extraction, BusyNamesAreReplacedInsideTheTempFolder)
{
    CMailboxImage img = WithHeader();
    img.Block(0x3000, 512, 5, 0, "hello");
    CMailboxOnDisk mb(img);
    const std::string folder = mb.engine.TempFolder();
    // A folder cannot be deleted as a file, so these names stay busy.
    ASSERT_TRUE(std::filesystem::create_directory(folder + "dd.eml"));
    std::string name = "dd.eml";
    ASSERT_TRUE(mb.engine.ExtractMessage(folder, name, 0x3000));
    EXPECT_EQ(name, "0dd.eml");
    EXPECT_EQ(ReadFileBytes(folder + name), "hello");

    ASSERT_TRUE(std::filesystem::remove(folder + "0dd.eml"));
    ASSERT_TRUE(std::filesystem::create_directory(folder + "0dd.eml"));
    name = "dd.eml";
    ASSERT_TRUE(mb.engine.ExtractMessage(folder, name, 0x3000));
    EXPECT_NE(name, "dd.eml");
    EXPECT_NE(name, "0dd.eml");
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_TRUE(name.ends_with(".eml"));
    EXPECT_EQ(ReadFileBytes(folder + name), "hello");

    // A file already there is replaced.
    std::ofstream(folder + "x.eml") << "old contents that are longer";
    name = "x.eml";
    ASSERT_TRUE(mb.engine.ExtractMessage(folder, name, 0x3000));
    EXPECT_EQ(name, "x.eml");
    EXPECT_EQ(ReadFileBytes(folder + name), "hello");
}

TEST(Extraction, OutputNeverFollowsASymbolicLink)
{
    CMailboxImage img = WithHeader();
    img.Block(0x3000, 512, 5, 0, "hello");
    CMailboxOnDisk mb(img);
    const std::string target = mb.dir.File("victim");
    std::ofstream(target) << "keep";
    const std::string link = mb.dir.File("link.eml");
    std::filesystem::create_symlink(target, link);
    EXPECT_FALSE(mb.engine.ExtractMessageTo(link, 0x3000));
    EXPECT_EQ(ReadFileBytes(target), "keep");

    // In the temp folder a planted link is removed, not written through.
    std::filesystem::create_symlink(target, mb.engine.TempFolder() + "dd.eml");
    std::string name = "dd.eml";
    ASSERT_TRUE(mb.engine.ExtractMessage(mb.engine.TempFolder(), name, 0x3000));
    EXPECT_EQ(ReadFileBytes(target), "keep");
    EXPECT_EQ(ReadFileBytes(mb.engine.TempFolder() + name), "hello");
}

TEST(Extraction, TempFolderIsPrivateAndRemovedWithTheEngine)
{
    std::string folder;
    {
        CDbxRecovery engine;
        folder = engine.TempFolder();
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.back(), '/');
        struct stat st {};
        ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        std::ofstream(folder + "dd.eml") << "x";
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(Extraction, EveryMessageOfAWrittenMailboxComesOutByteForByte)
{
    std::mt19937 rng(7);
    CMailboxWriter writer;
    writer.SetScatterPercent(30, 11);
    for (unsigned i = 0; i < 120; ++i)
        writer.AddMessage(MakeMessageText(rng, i));
    CMailboxOnDisk mb(writer.Build());
    for (const WrittenMessage& m : writer.Messages())
        EXPECT_EQ(ExtractTo(mb, m.firstBlock), m.text) << "message at " << m.firstBlock;
}

} // namespace
} // namespace mendora::test
