// Mailboxes written by the mail client itself, not by our builder.
#include "DbxTestUtil.h"

#include <gtest/gtest.h>

namespace mendora::test {
namespace {

std::string RealMailbox(const char* name)
{
    return std::string(MENDORA_REAL_MAILBOXES) + "/" + name;
}

TEST(RealMailbox, InboxListsItsOneMessage)
{
    const std::string path = RealMailbox("Inbox.dbx");
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "real mailboxes not found at " << path;
    CDbxRecovery engine;
    ASSERT_TRUE(engine.OpenSource(path));
    ASSERT_TRUE(engine.CollectIndexOffsets(0x1E254, 1));
    ASSERT_EQ(engine.IndexOffsets().size(), 1u);
    ASSERT_NE(engine.IndexOffsets()[0], 0u);
    engine.ReadMessageInfo(engine.IndexOffsets()[0]);
    ASSERT_TRUE(engine.GetAttributeMask() & 0x10);
    const std::uint32_t first = engine.GetAttributeValue(4);

    CScratchDir dir;
    bool mark = true;
    ASSERT_TRUE(engine.ExtractMessageTo(dir.File("m.eml"), first, &mark));
    EXPECT_FALSE(mark);
    const std::string text = ReadFileBytes(dir.File("m.eml"));
    EXPECT_NE(text.find("Subject: Welcome to Outlook Express 6"), std::string::npos);
    EXPECT_EQ(text.find('\0'), std::string::npos);
}

} // namespace
} // namespace mendora::test
