#include "CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sys/wait.h>

namespace mendora::test {
namespace {

namespace fs = std::filesystem;

using Result = CliResult;

std::string Quote(const std::string& s)
{
    return "'" + s + "'";
}

std::multiset<std::string> FileContents(const std::string& folder, const std::string& ext)
{
    std::multiset<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ext)
            out.insert(ReadFileBytes(e.path().string()));
    return out;
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Four listed messages and two deleted ones, with blocks out of order.
struct CTestMailbox {
    CMailboxWriter writer;
    std::multiset<std::string> existing; // texts of the listed messages
    explicit CTestMailbox(std::uint32_t seed)
    {
        std::mt19937 rng(seed);
        writer.SetScatterPercent(50, seed);
        for (unsigned i = 0; i < 6; ++i) {
            std::string text = MakeMessageText(rng, i);
            if (i % 3 != 2)
                existing.insert(text);
            writer.AddMessage(std::move(text), i % 3 == 2);
        }
    }
};

TEST(SaveCli, UsageErrors)
{
    for (const char* args : {"save", "save a.dbx", "save a.dbx --format eml", "save a.dbx --out d",
                             "save a.dbx --format mbox --out d", "save a.dbx --format eml --out d --scope some",
                             "save a.dbx --format eml --out d --scope selected",
                             "save a.dbx --format eml --format dbx --out d", "save a.dbx b.dbx --format eml --out d",
                             "save --format eml --out d", "save a.dbx --format eml --out",
                             "save a.dbx --format eml --out d --json"}) {
        SCOPED_TRACE(args);
        const Result r = Cli(args);
        EXPECT_EQ(r.exit, 2);
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_NE(Cli("--help").out.find("mendora-cli save MAILBOX --format eml|dbx"), std::string::npos);
}

TEST(SaveCli, EmlFilesByScope)
{
    CTestMailbox box(21);
    CScratchDir dir;
    const std::string mailbox = dir.File("Inbox.dbx");
    box.writer.Write(mailbox);
    const std::string before = ReadFileBytes(mailbox);

    struct Case {
        const char* scope;
        std::size_t files;
        std::size_t existing;
        std::size_t deleted;
    };
    for (const Case& c : {Case{"", 6, 4, 2}, Case{"all", 6, 4, 2}, Case{"all-but-deleted", 4, 4, 0},
                          Case{"all-but-existing", 2, 0, 2}}) {
        SCOPED_TRACE(c.scope);
        const std::string out = dir.File(std::string("out-") + c.scope); // created by the save
        const std::string scope = *c.scope ? std::string(" --scope ") + c.scope : std::string();
        const Result r = Cli("save " + mailbox + " --format eml" + scope + " --out " + out);
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_NE(r.out.find("Emails          :  " + std::to_string(c.files) + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Existing        :  " + std::to_string(c.existing) + "\n"), std::string::npos);
        EXPECT_NE(r.out.find("Deleted         :  " + std::to_string(c.deleted) + "\n"), std::string::npos);
        const std::multiset<std::string> files = FileContents(out, ".eml");
        EXPECT_EQ(files.size(), c.files);
        if (c.deleted == 0) {
            EXPECT_EQ(files, box.existing); // listed messages come out as they were stored
        }
    }
    EXPECT_EQ(ReadFileBytes(mailbox), before);
}

TEST(SaveCli, DbxSaveScansAsTheSameMessagesAllExisting)
{
    CTestMailbox box(22);
    CScratchDir dir;
    const std::string mailbox = dir.File("Inbox.dbx");
    box.writer.Write(mailbox);
    const std::string out = dir.File("out");

    const Result r = Cli("save " + mailbox + " --format dbx --out " + out);
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("Saved to        :  " + out + "/Inbox.dbx\n"), std::string::npos) << r.out;
    // Saving again finds the name taken and picks a new one.
    ASSERT_EQ(Cli("save " + mailbox + " --format dbx --out " + out).exit, 0);
    ASSERT_TRUE(fs::exists(out + "/Inbox (2).dbx"));

    const Result original = Cli("scan " + mailbox + " --json");
    const Result saved = Cli("scan " + Quote(out + "/Inbox.dbx") + " --json");
    const Result second = Cli("scan " + Quote(out + "/Inbox (2).dbx") + " --json");
    ASSERT_EQ(saved.exit, 0);
    const auto rowsOf = [](const std::string& json) { return json.substr(json.find("\"status\"")); };
    EXPECT_EQ(rowsOf(saved.out), rowsOf(second.out));
    EXPECT_EQ(Count(saved.out, "\"status\": \"Existing\""), 6u);
    EXPECT_EQ(Count(saved.out, "\"status\": \"Deleted\""), 0u);
    EXPECT_EQ(Count(original.out, "\"subject\": "), Count(saved.out, "\"subject\": "));
}

TEST(SaveCli, FolderOfMailboxesGoesIntoOneSubfolderEach)
{
    CScratchDir store;
    CTestMailbox inbox(23), sent(24);
    inbox.writer.Write(store.File("Inbox.dbx"));
    sent.writer.Write(store.File("Sent Items.DBX"));
    std::ofstream(store.File("notes.txt")) << "not a mailbox";
    CScratchDir dest;

    Result r = Cli("save " + store.Path() + " --format eml --scope all-but-deleted --out " + dest.Path());
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(FileContents(dest.Path() + "/Inbox", ".eml"), inbox.existing);
    EXPECT_EQ(FileContents(dest.Path() + "/Sent Items", ".eml"), sent.existing);
    std::set<std::string> top;
    for (const auto& e : fs::directory_iterator(dest.Path()))
        top.insert(e.path().filename().string());
    EXPECT_EQ(top, (std::set<std::string>{"Inbox", "Sent Items"}));

    r = Cli("save " + store.Path() + " --format dbx --out " + dest.File("dbx"));
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(dest.File("dbx/Inbox/Inbox.dbx")));
    EXPECT_TRUE(fs::is_regular_file(dest.File("dbx/Sent Items/Sent Items.dbx")));

    CScratchDir empty;
    EXPECT_EQ(Cli("save " + empty.Path() + " --format eml --out " + dest.File("x")).exit, 1);
}

TEST(SaveCli, FolderThatCannotBeWritten)
{
    CTestMailbox box(25);
    CScratchDir dir;
    const std::string mailbox = dir.File("Inbox.dbx");
    box.writer.Write(mailbox);
    std::ofstream(dir.File("file")) << "x";
    for (const std::string& out : {dir.File("file"), dir.File("file/sub"), dir.File("no/such/dir")}) {
        SCOPED_TRACE(out);
        for (const char* format : {"eml", "dbx"}) {
            const Result r = Cli("save " + mailbox + " --format " + format + " --out " + out);
            EXPECT_EQ(r.exit, 1);
            EXPECT_NE(r.err.find("Cannot write to " + out), std::string::npos) << r.err;
        }
    }
    EXPECT_EQ(ReadFileBytes(dir.File("file")), "x");
    if (::geteuid() != 0) { // the superuser writes into any folder
        const std::string locked = dir.File("locked");
        fs::create_directory(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        const Result r = Cli("save " + mailbox + " --format eml --out " + locked);
        EXPECT_EQ(r.exit, 1);
        EXPECT_NE(r.err.find("Cannot write to"), std::string::npos);
        fs::permissions(locked, fs::perms::owner_all);
    }

    const Result missing = Cli("save /nonexistent.dbx --format eml --out " + dir.File("o"));
    EXPECT_EQ(missing.exit, 1);
    EXPECT_EQ(missing.err, "Unable to open file...\n");
}

} // namespace
} // namespace mendora::test
