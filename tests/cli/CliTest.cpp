#include "CliRunner.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace mendora::test {
namespace {

using Result = CliResult;

TEST(Cli, UsageErrors)
{
    for (const char* args : {"", "bogus", "scan", "scan a.dbx b.dbx", "scan --xml a.dbx",
                             "extract a.dbx", "extract a.dbx 12x", "extract a.dbx -5",
                             "extract a.dbx 4294967296", "extract a.dbx 10 -o", "extract a.dbx 1 2"}) {
        SCOPED_TRACE(args);
        const Result r = Cli(args);
        EXPECT_EQ(r.exit, 2);
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    const Result help = Cli("--help");
    EXPECT_EQ(help.exit, 0);
    EXPECT_NE(help.out.find("mendora-cli scan MAILBOX [--json]"), std::string::npos);
    const Result version = Cli("--version");
    EXPECT_EQ(version.exit, 0);
    EXPECT_EQ(version.out.rfind("mendora-cli ", 0), 0u);
}

TEST(Cli, MailboxThatCannotBeOpened)
{
    for (const char* args : {"scan /nonexistent.dbx", "scan /nonexistent.dbx --json",
                             "extract /nonexistent.dbx 9404"}) {
        SCOPED_TRACE(args);
        const Result r = Cli(args);
        EXPECT_EQ(r.exit, 1);
        EXPECT_EQ(r.err, "Unable to open file...\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST(Cli, ExtractWritesTheMessageAsItIsStored)
{
    std::mt19937 rng(5);
    CMailboxWriter w;
    w.SetScatterPercent(100, 3);
    for (unsigned i = 0; i < 3; ++i)
        w.AddMessage(MakeMessageText(rng, i), i == 1);
    CMailboxOnDisk mb(w.Build());
    const WrittenMessage& m = w.Messages()[2];

    Result r = Cli("extract " + mb.path + " " + std::to_string(m.firstBlock));
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, m.text);

    const std::string file = mb.dir.File("one.eml");
    r = Cli("extract " + mb.path + " " + std::to_string(m.firstBlock) + " -o " + file);
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(ReadFileBytes(file), m.text);

    const WrittenMessage& d = w.Messages()[1];
    r = Cli("extract " + mb.path + " " + std::to_string(d.firstBlock));
    EXPECT_EQ(r.out, DeletedMessageText(d.blocks, d.text, ""));

    r = Cli("extract " + mb.path + " 0");
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "");
}

std::string DemoMailbox()
{
    return std::string(MENDORA_SOURCE_DIR) + "/samples/demo.dbx";
}

TEST(Cli, BundledDemoMailboxIsWhatOurCodeMakes)
{
    CScratchDir dir;
    const std::string made = dir.File("demo.dbx");
    ASSERT_EQ(std::system((std::string(MENDORA_MAKE_DEMO) + " " + made).c_str()), 0);
    EXPECT_TRUE(ReadFileBytes(made) == ReadFileBytes(DemoMailbox()))
        << "samples/demo.dbx is out of date: rebuild it with mendora-make-demo";
}

TEST(Cli, GoldenScanOfTheDemoMailbox)
{
    // The demo holds listed, deleted and orphaned messages; the golden file was checked by
    // hand against what the demo maker wrote.
    CScratchDir dir;
    const std::string copy = dir.File("demo.dbx");
    std::filesystem::copy_file(DemoMailbox(), copy);
    const Result r = Cli("scan " + copy + " --json");
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.err, "");
    std::string golden = ReadFileBytes(std::string(MENDORA_SOURCE_DIR) + "/tests/cli/golden/demo-scan.json");
    const std::string placeholder = "@MAILBOX@";
    golden.replace(golden.find(placeholder), placeholder.size(), copy);
    EXPECT_EQ(r.out, golden);

    const Result table = Cli("scan " + copy);
    EXPECT_EQ(table.exit, 0);
    EXPECT_NE(table.out.find("Emails          :  7\nRepairing  done..\n"), std::string::npos);
    EXPECT_NE(table.out.find("Train times (orphaned)"), std::string::npos);
}

} // namespace
} // namespace mendora::test
