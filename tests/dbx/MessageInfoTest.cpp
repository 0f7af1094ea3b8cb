#include "DbxTestUtil.h"

#include <gtest/gtest.h>

namespace mendora::test {
namespace {

using Img = CMailboxImage;

std::uint32_t Word(std::uint8_t id, bool isInline, std::uint32_t v24)
{
    return id | (isInline ? 0x80u : 0u) | (v24 << 8);
}

// A raw object at 0x3000 whose body is the given entry words followed by data bytes.
CMailboxImage RawInfo(const std::vector<std::uint32_t>& words, const std::string& data,
                      std::int64_t bodyLength = -1, int attrCount = -1)
{
    std::string body;
    for (std::uint32_t w : words) {
        std::uint8_t b[4];
        StoreU32LE(b, w);
        body.append(reinterpret_cast<const char*>(b), 4);
    }
    body += data;
    CMailboxImage img;
    img.Header(0, 0);
    img.InfoRaw(0x3000, bodyLength < 0 ? static_cast<std::uint32_t>(body.size())
                                       : static_cast<std::uint32_t>(bodyLength),
                static_cast<std::uint8_t>(attrCount < 0 ? words.size() : attrCount), body);
    img.EnsureSize(0x4000);
    return img;
}

struct Decoded {
    std::uint32_t mask;
    std::uint32_t value4;
};

Decoded Decode(const CMailboxImage& img, std::uint32_t at = 0x3000)
{
    CMailboxOnDisk mb(img);
    mb.engine.ReadMessageInfo(at);
    return {mb.engine.GetAttributeMask(), mb.engine.GetAttributeValue(4)};
}

const std::string kData = "\x11\x22\x33\x44\x55\x66\x77\x88";

TEST(MessageInfo, AttributeFourInlineAndInTheDataArea)
{
    struct Case {
        const char* name;
        std::vector<std::uint32_t> words;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"inline 24-bit", {Word(4, true, 0xABCDEF)}, 0xABCDEF},
        {"span 2", {Word(4, false, 0), Word(5, false, 2)}, 0x2211},
        {"span 3", {Word(4, false, 0), Word(5, false, 3)}, 0x332211},
        {"span 4", {Word(4, false, 0), Word(5, false, 4)}, 0x44332211},
        {"span 6 reads 4", {Word(4, false, 0), Word(5, false, 6)}, 0x44332211},
        {"span 1", {Word(4, false, 0), Word(5, false, 1)}, 0x11},
        {"span 0", {Word(4, false, 0), Word(5, false, 0)}, 0},
        {"last value runs to the end of the body", {Word(4, false, 6)}, 0x8877},
        {"successor before the value: unsigned span", {Word(4, false, 2), Word(5, false, 0)},
         0x66554433},
        {"id above 31 ends the span", {Word(4, false, 0), Word(40, false, 2), Word(5, false, 4)},
         0x2211},
        {"inline entry does not end the span", {Word(4, false, 0), Word(6, true, 1), Word(5, false, 3)},
         0x332211},
        {"a later entry replaces an earlier one", {Word(4, true, 0x111), Word(4, true, 0x222)},
         0x222},
        {"position beyond the body is absent", {Word(4, false, 0x100)}, 0},
        {"value running past the body is absent", {Word(4, false, 6), Word(5, false, 2)}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = Decode(RawInfo(c.words, kData));
        EXPECT_TRUE(d.mask & 0x10);
        EXPECT_EQ(d.value4, c.expected);
    }
}

TEST(MessageInfo, PresenceMask)
{
    // id 36 sets bit 4 without filling slot 4; ids 0..31 set their own bit.
    Decoded d = Decode(RawInfo({Word(36, true, 7), Word(1, true, 1)}, ""));
    EXPECT_EQ(d.mask, (1u << 4) | (1u << 1));
    EXPECT_EQ(d.value4, 0u);

    EXPECT_EQ(Decode(RawInfo({}, kData)).mask, 0u);
}

TEST(MessageInfo, ObjectsThatDoNotCheckOutHaveNoMask)
{
    struct Case {
        const char* name;
        CMailboxImage img;
        std::uint32_t at;
    };
    CMailboxImage wrongSelf = RawInfo({Word(4, true, 5)}, "");
    wrongSelf.Put32(0x3000, 0x3004);
    CMailboxImage hugeBody = RawInfo({Word(4, true, 5)}, "", 0xFFFFFFFF);
    CMailboxImage bodyPastEnd = RawInfo({Word(4, true, 5)}, "");
    bodyPastEnd.Put32(0x3004, static_cast<std::uint32_t>(bodyPastEnd.bytes.size() - 0x3000 - 12 + 1));
    const Case cases[] = {
        {"self offset mismatch", wrongSelf, 0x3000},
        {"beyond the end of the file", RawInfo({}, ""), 0x9000},
        {"body length 0xFFFFFFFF", hugeBody, 0x3000},
        {"body one byte past the end", bodyPastEnd, 0x3000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decode(c.img, c.at).mask, 0u);
    }
}

TEST(MessageInfo, EntriesThatDoNotFitTheBodyAreAbsent)
{
    // Five entries declared, room in the body for two.
    const Decoded d = Decode(RawInfo({Word(4, true, 0x123), Word(2, true, 1)}, "", 8, 5));
    EXPECT_EQ(d.mask, (1u << 4) | (1u << 2));
    EXPECT_EQ(d.value4, 0x123u);
}

TEST(MessageInfo, BuilderObjectRoundTrip)
{
    CMailboxImage img;
    img.Header(0, 0);
    img.Info(0x3000, {Img::Inline(0, 7), Img::Data(2, std::string(8, '\1')), Img::DataU32(4, 0x01020304),
                      Img::Data(8, "Subject")});
    const Decoded d = Decode(img);
    EXPECT_EQ(d.mask, (1u << 0) | (1u << 2) | (1u << 4) | (1u << 8));
    EXPECT_EQ(d.value4, 0x01020304u);
}

} // namespace
} // namespace mendora::test
