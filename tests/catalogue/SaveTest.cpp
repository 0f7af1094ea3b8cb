#include "../dbx/DbxTestUtil.h"
#include "catalogue/Catalogue.h"
#include "catalogue/SaveWriters.h"
#include "dbx/DbxWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>

namespace mendora::test {
namespace {

namespace fs = std::filesystem;

std::string Msg(const std::string& subject, const std::string& from = "Anna Berg <anna@example.net>",
                const std::string& date = "Mon, 5 Jan 2004 09:12:00 +0000")
{
    return "From: " + from + "\r\nTo: \"Jensen, Ben\" <ben@example.org>, mia@example.org\r\n"
           "Subject: " + subject + "\r\nDate: " + date + "\r\nMessage-ID: <" + subject +
           "@example.net>\r\n\r\nHello.\r\n";
}

// A mailbox on disk, scanned into a catalogue as the desktop program does it.
struct CScannedMailbox {
    CMailboxWriter writer;
    CScratchDir dir;
    std::string path;
    CDbxRecovery engine;
    CCatalogue catalogue;
    std::vector<RecoveredMessage> rows; // oldest first

    void Scan()
    {
        path = dir.File("source.dbx");
        writer.Write(path);
        CRecordingObserver observer;
        {
            CCatalogueSink sink(catalogue, 1);
            ASSERT_TRUE(engine.Run(path, observer, sink));
        }
        rows = catalogue.Rows();
        std::reverse(rows.begin(), rows.end());
    }
    std::string Extract(std::uint32_t firstBlock) const
    {
        const std::string p = dir.File("check.eml");
        EXPECT_TRUE(engine.ExtractMessageTo(p, firstBlock));
        return ReadFileBytes(p);
    }
};

std::set<std::string> Entries(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

bool ValidUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

TEST(SafeFileName, HostileStems)
{
    std::string twoByte, threeByte;
    for (int i = 0; i < 150; ++i)
        twoByte += "\xC3\xA9"; // é
    for (int i = 0; i < 100; ++i)
        threeByte += "\xE2\x82\xAC"; // €
    struct Case {
        std::string stem;
        unsigned number;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"../x", 1, "_x.eml"},
        {"..\\..\\windows\\x", 1, "_.._windows_x.eml"},
        {"/etc/passwd", 1, "_etc_passwd.eml"},
        {"con", 1, "_con.eml"},
        {"CON", 1, "_CON.eml"},
        {"Nul.txt", 1, "_Nul.txt.eml"},
        {"com1", 1, "_com1.eml"},
        {"LPT9 ", 1, "_LPT9.eml"},
        {"con", 2, "con (2).eml"},
        {"console", 1, "console.eml"},
        {"a<b>c:d\"e|f?g*h", 1, "a_b_c_d_e_f_g_h.eml"},
        {std::string("tab\there\x01\x1f\x7f") + '\0' + "end", 1, "tab_here____end.eml"},
        {"line\r\nbreak", 1, "line__break.eml"},
        {"trailing. . .", 1, "trailing.eml"},
        {" .hidden", 1, "hidden.eml"},
        {"", 1, "message.eml"},
        {"...", 3, "message (3).eml"},
        {"bad \xFF\xC3( utf8 \xED\xA0\x80 \xC0\xAF", 1, "bad __( utf8 ___ __.eml"},
        {"Grüße aus Köln", 1, "Grüße aus Köln.eml"},
        {std::string(300, 'a'), 1, std::string(146, 'a') + ".eml"},
        {std::string(300, 'a'), 12, std::string(141, 'a') + " (12).eml"},
        {std::string(145, 'a') + "  . x", 1, std::string(145, 'a') + ".eml"},
        {twoByte, 1, twoByte.substr(0, 146) + ".eml"},
        {twoByte, 12, twoByte.substr(0, 140) + " (12).eml"},
        {threeByte, 1, threeByte.substr(0, 144) + ".eml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        const std::string name = SafeFileName(c.stem, ".eml", c.number);
        EXPECT_EQ(name, c.expected);
        EXPECT_LE(name.size(), 150u);
        EXPECT_TRUE(ValidUtf8(name));
    }
}

TEST(SafeFileName, AddressesAndStems)
{
    struct Case {
        std::string list, name, address;
    };
    for (const Case& c : std::vector<Case>{
             {"Anna Berg <anna@example.net>", "Anna Berg", "anna@example.net"},
             {"\"Jensen, Ben\" <ben@example.org>, mia@example.org", "Jensen, Ben", "ben@example.org"},
             {"mia@example.org, ben@example.org", "", "mia@example.org"},
             {"\"a \\\"q\\\" b\" <q@x>", "a \"q\" b", "q@x"},
             {"", "", ""}}) {
        SCOPED_TRACE(c.list);
        const MailAddress a = FirstAddress(c.list);
        EXPECT_EQ(a.name, c.name);
        EXPECT_EQ(a.address, c.address);
    }
    RecoveredMessage row;
    row.from = "Anna Berg <anna@example.net>";
    row.subject = "Minutes";
    row.receivedTime = 1073293920; // 2004-01-05 09:12:00 UTC
    EXPECT_EQ(MessageFileStem(row), "2004-01-05 09.12.00 - Anna Berg - Minutes");
    row.receivedTime.reset();
    row.from = "anna@example.net";
    row.subject.clear();
    EXPECT_EQ(MessageFileStem(row), "anna@example.net - (no subject)");
}

TEST(SaveScope, RowsInScope)
{
    std::vector<RecoveredMessage> rows(4);
    for (std::uint32_t i = 0; i < rows.size(); ++i) {
        rows[i].firstBlock = 100 + i;
        rows[i].status = i % 2 ? MessageStatus::Deleted : MessageStatus::Existing;
    }
    struct Case {
        const char* what;
        SaveScope scope;
        std::vector<bool> checked, highlighted;
        std::vector<std::uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {"all", SaveScope::SaveAll, {}, {}, {100, 101, 102, 103}},
        {"all but deleted", SaveScope::SaveAllButDeleted, {}, {}, {100, 102}},
        {"all but existing", SaveScope::SaveAllButExisting, {}, {}, {101, 103}},
        {"checked rows win", SaveScope::SaveSelected, {false, true, false, true}, {true}, {101, 103}},
        {"else highlighted", SaveScope::SaveSelected, {false, false}, {false, false, true}, {102}},
        {"nothing selected", SaveScope::SaveSelected, {}, {}, {}},
        {"selection ignored", SaveScope::SaveAllButDeleted, {true, true}, {}, {100, 102}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint32_t> got;
        for (const RecoveredMessage& r : RowsInScope(rows, c.scope, c.checked, c.highlighted))
            got.push_back(r.firstBlock);
        EXPECT_EQ(got, c.expected);
    }
}

// Records what a save reports and can raise the stop flag.
struct CRecordingSaveObserver : ISaveObserver {
    std::vector<std::string> items;
    std::vector<std::string> statuses;
    std::vector<SaveProgress> progress;
    std::function<void(std::size_t)> onItem;
    bool finished = false;

    void OnSaveItem(std::string_view subject) override
    {
        items.emplace_back(subject);
        if (onItem)
            onItem(items.size());
    }
    void OnSaveStatus(std::string_view text) override { statuses.emplace_back(text); }
    void OnSaveProgress(const SaveProgress& p) override { progress.push_back(p); }
    void OnSaveFinished(const SaveResult&) override { finished = true; }
};

TEST(SaveEml, HostileSubjectsStayInsideTheFolder)
{
    CScannedMailbox mb;
    mb.writer.AddMessage(Msg("first"));
    mb.writer.AddMessage(Msg("second"), true);
    mb.Scan();
    ASSERT_EQ(mb.rows.size(), 2u);

    // Rows as the list could hold them, every one pointing at a real message.
    const std::vector<std::string> subjects = {
        "../x", "../../../../tmp/evil", "con", std::string(300, 's'), "a/b\\c",
        std::string("ctl\x01\x02\x1b[31m\n"), "", "\xFF\xFE"};
    std::vector<RecoveredMessage> rows;
    for (std::size_t i = 0; i < subjects.size(); ++i) {
        RecoveredMessage r = mb.rows[i % 2];
        r.subject = subjects[i];
        r.from = i == 2 ? "" : "../Mallory <m@x>";
        r.receivedTime = i == 2 ? std::nullopt : std::optional<std::int64_t>(1073293920 + 60 * i);
        rows.push_back(r);
    }
    CScratchDir root;
    const std::string out = root.File("out");
    ASSERT_EQ(::mkdir(out.c_str(), 0700), 0);

    CRecordingSaveObserver observer;
    const SaveResult result = SaveMessages(mb.engine, rows, {SaveFormat::SaveAsEml, out}, &observer);
    ASSERT_TRUE(result.Ok()) << result.error;
    EXPECT_EQ(result.counts.written, rows.size());
    EXPECT_EQ(result.counts.existing, 4u);
    EXPECT_EQ(result.counts.deleted, 4u);
    EXPECT_EQ(result.counts.skipped, 0u);
    EXPECT_EQ(observer.items, subjects);
    ASSERT_EQ(observer.progress.size(), rows.size());
    EXPECT_EQ(observer.progress.back().position, 100);
    EXPECT_EQ(observer.statuses.back(), savetexts::kSaved);
    EXPECT_TRUE(observer.finished);

    EXPECT_EQ(Entries(root.Path()), std::set<std::string>{"out"});
    const std::set<std::string> names = Entries(out);
    ASSERT_EQ(names.size(), rows.size());
    EXPECT_EQ(names, std::set<std::string>(result.files.begin(), result.files.end()));
    EXPECT_EQ(names.count("(unknown sender) - con.eml"), 1u); // not a device name once joined
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string& name = result.files[i];
        SCOPED_TRACE(name);
        EXPECT_LE(name.size(), 150u);
        EXPECT_TRUE(ValidUtf8(name));
        EXPECT_EQ(name.find('/'), std::string::npos);
        EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"\\|?*").find(c) != std::string_view::npos;
        }));
        EXPECT_EQ(ReadFileBytes(out + "/" + name), mb.Extract(rows[i].firstBlock));
        struct stat st {};
        ASSERT_EQ(::lstat((out + "/" + name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        if (rows[i].receivedTime) {
            EXPECT_EQ(st.st_mtime, *rows[i].receivedTime);
        }
    }
    EXPECT_EQ(result.files[3].size(), 150u); // the 300-character subject, cut
}

// The temp file reaches the folder by a second link when both are on one file system, and by a
// copy otherwise (/dev/shm is a file system of its own where it exists).
class SaveEmlClash : public ::testing::TestWithParam<const char*> {};

TEST_P(SaveEmlClash, NumbersNamesAndNeverReplacesAFile)
{
    const std::string tempRoot = GetParam();
    if (!tempRoot.empty() && ::access(tempRoot.c_str(), W_OK) != 0)
        GTEST_SKIP() << tempRoot << " is not there";
    CScannedMailbox mb;
    mb.writer.AddMessage(Msg("same"));
    mb.Scan();
    ASSERT_EQ(mb.rows.size(), 1u);

    const char* oldTmp = std::getenv("TMPDIR");
    const std::string saved = oldTmp ? oldTmp : "";
    if (!tempRoot.empty())
        ::setenv("TMPDIR", tempRoot.c_str(), 1);
    CDbxRecovery engine; // its temp folder under TMPDIR
    if (oldTmp)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    ASSERT_TRUE(engine.OpenSource(mb.path));

    CScratchDir out;
    const std::string stem = MessageFileStem(mb.rows[0]);
    const std::string outside = out.File("outside.txt");
    {
        std::ofstream(out.File(stem + ".eml")) << "keep 1";
        std::ofstream(out.File(stem + " (3).eml")) << "keep 3";
        std::ofstream(outside) << "outside";
    }
    ASSERT_EQ(::symlink(outside.c_str(), out.File(stem + " (4).eml").c_str()), 0);

    const std::vector<RecoveredMessage> rows(3, mb.rows[0]);
    SaveResult r = SaveMessages(engine, rows, {SaveFormat::SaveAsEml, out.Path()});
    ASSERT_TRUE(r.Ok()) << r.error;
    EXPECT_EQ(r.files, (std::vector<std::string>{stem + " (2).eml", stem + " (5).eml", stem + " (6).eml"}));
    // A second save into the same folder finds the names taken.
    r = SaveMessages(engine, {mb.rows[0]}, {SaveFormat::SaveAsEml, out.Path()});
    ASSERT_TRUE(r.Ok()) << r.error;
    EXPECT_EQ(r.files, std::vector<std::string>{stem + " (7).eml"});

    EXPECT_EQ(ReadFileBytes(out.File(stem + ".eml")), "keep 1");
    EXPECT_EQ(ReadFileBytes(out.File(stem + " (3).eml")), "keep 3");
    EXPECT_EQ(ReadFileBytes(outside), "outside");
    EXPECT_TRUE(fs::is_symlink(out.File(stem + " (4).eml")));
    for (const char* n : {" (2).eml", " (5).eml", " (6).eml", " (7).eml"})
        EXPECT_EQ(ReadFileBytes(out.File(stem + n)), mb.writer.Messages()[0].text) << n;
    // Nothing is left behind in the engine's temp folder.
    EXPECT_TRUE(fs::is_empty(engine.TempFolder()));
}

INSTANTIATE_TEST_SUITE_P(TempFolders, SaveEmlClash, ::testing::Values("", "/dev/shm"));

TEST(SaveEml, FolderThatCannotBeWritten)
{
    CScannedMailbox mb;
    mb.writer.AddMessage(Msg("one"));
    mb.Scan();
    CScratchDir root;
    std::ofstream(root.File("file")) << "x";
    for (const std::string& folder : {root.File("file"), root.File("missing"), root.File("file/sub"),
                                      std::string()}) {
        SCOPED_TRACE(folder);
        for (SaveFormat format : {SaveFormat::SaveAsEml, SaveFormat::SaveAsDbx}) {
            CRecordingSaveObserver observer;
            const SaveResult r = SaveMessages(mb.engine, mb.rows, {format, folder}, &observer);
            EXPECT_FALSE(r.Ok());
            EXPECT_EQ(r.counts.written, 0u);
            EXPECT_EQ(observer.statuses.back(), savetexts::kFailed);
        }
    }
    EXPECT_EQ(Entries(root.Path()), std::set<std::string>{"file"});
    EXPECT_EQ(ReadFileBytes(root.File("file")), "x");
}

TEST(SaveEml, StopFlagAndUnreadableRows)
{
    CScannedMailbox mb;
    for (const char* s : {"a", "b", "c", "d"})
        mb.writer.AddMessage(Msg(s));
    mb.Scan();
    ASSERT_EQ(mb.rows.size(), 4u);
    std::vector<RecoveredMessage> rows = mb.rows;
    rows[1].firstBlock = 0; // a row whose message is gone
    CScratchDir out;
    CRecordingSaveObserver observer;
    observer.onItem = [&](std::size_t n) {
        if (n == 3)
            mb.engine.RequestSaveStop();
    };
    const SaveResult r = SaveMessages(mb.engine, rows, {SaveFormat::SaveAsEml, out.Path()}, &observer);
    ASSERT_TRUE(r.Ok()) << r.error;
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.counts.written, 2u);
    EXPECT_EQ(r.counts.skipped, 1u);
    EXPECT_EQ(r.counts.done, 3u);
    EXPECT_EQ(Entries(out.Path()).size(), 2u);
    EXPECT_EQ(observer.statuses.back(), savetexts::kStopped);
}

// --- .dbx -------------------------------------------------------------------------------------

struct InfoStrings {
    std::uint32_t index = 0;
    std::uint32_t firstBlock = 0;
    std::map<unsigned, std::string> strings;
};

// Reads the attributes of the message-information object at offset straight from the file.
InfoStrings DecodeInfo(const std::string& file, std::uint32_t offset)
{
    auto u32 = [&](std::size_t at) {
        return LoadU32LE(reinterpret_cast<const std::uint8_t*>(file.data() + at));
    };
    InfoStrings out;
    const std::uint32_t body = u32(offset + 4);
    const auto count = static_cast<unsigned char>(file[offset + 10]);
    const std::size_t data = offset + 12 + 4u * count;
    for (unsigned i = 0; i < count; ++i) {
        const std::uint32_t w = u32(offset + 12 + 4 * i);
        const unsigned id = w & 0x7F;
        const std::uint32_t v = w >> 8;
        const bool isInline = (w & 0x80) != 0;
        if (id == 0)
            out.index = isInline ? v : u32(data + v);
        else if (id == 4)
            out.firstBlock = isInline ? v : u32(data + v);
        else if (!isInline && id != 2 && id != 6 && id != 0x12 && data + v < offset + 12 + body)
            out.strings[id] = std::string(file.c_str() + data + v);
    }
    return out;
}

TEST(SaveDbx, RoundTripListsEveryMessageAsExistingWithTheSameBytes)
{
    std::mt19937 rng(11);
    CScannedMailbox mb;
    mb.writer.SetScatterPercent(50, 7);
    for (unsigned i = 0; i < 12; ++i)
        mb.writer.AddMessage(MakeMessageText(rng, i), i % 4 == 1);
    mb.writer.AddMessage(Msg("Re: Fwd: plans", "\"Berg, Anna\" <anna@example.net>"));
    mb.Scan();
    ASSERT_EQ(mb.rows.size(), 13u);
    ASSERT_TRUE(std::any_of(mb.rows.begin(), mb.rows.end(),
                            [](const RecoveredMessage& r) { return r.status == MessageStatus::Deleted; }));

    CScratchDir out;
    std::ofstream(out.File("Inbox.dbx")) << "an older mailbox";
    SaveRequest request{SaveFormat::SaveAsDbx, out.Path(), "Inbox"};
    CRecordingSaveObserver observer;
    const SaveResult r = SaveMessages(mb.engine, mb.rows, request, &observer);
    ASSERT_TRUE(r.Ok()) << r.error;
    EXPECT_EQ(r.counts.written, 13u);
    EXPECT_EQ(r.counts.deleted, 3u);
    EXPECT_EQ(r.destination, out.Path() + "/Inbox (2).dbx");
    EXPECT_EQ(ReadFileBytes(out.File("Inbox.dbx")), "an older mailbox");
    EXPECT_EQ(Entries(out.Path()), (std::set<std::string>{"Inbox.dbx", "Inbox (2).dbx"}));

    // Our own reader lists every saved message as an existing one, in the order saved.
    CDbxRecovery again;
    CRecordingObserver runObserver;
    CRecordingSink sink;
    ASSERT_TRUE(again.Run(r.destination, runObserver, sink));
    ASSERT_EQ(sink.messages.size(), mb.rows.size());
    for (std::size_t i = 0; i < mb.rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(sink.messages[i].deleted);
        EXPECT_EQ(sink.messages[i].text, mb.Extract(mb.rows[i].firstBlock));
    }
    CCatalogue catalogue;
    {
        CDbxRecovery third;
        CCatalogueSink catalogueSink(catalogue, 1);
        ASSERT_TRUE(third.Run(r.destination, runObserver, catalogueSink));
    }
    ASSERT_EQ(catalogue.RowCount(), mb.rows.size());
    catalogue.ForEachRow([](const RecoveredMessage& row) {
        EXPECT_EQ(row.status, MessageStatus::Existing);
    });

    // The objects carry what the rows and the message text say.
    const std::string file = ReadFileBytes(r.destination);
    const auto u32 = [&](std::size_t at) {
        return LoadU32LE(reinterpret_cast<const std::uint8_t*>(file.data() + at));
    };
    EXPECT_EQ(u32(0), 0xFE12ADCFu);
    EXPECT_EQ(u32(4), 0x6F74FDC5u);
    EXPECT_EQ(u32(0x7C), file.size());
    EXPECT_EQ(u32(0x5C), 13u);
    EXPECT_EQ(std::string(file.c_str() + 0x24BC + 0x105), "Inbox");
    ASSERT_TRUE(again.CollectIndexOffsets(u32(0xE4), u32(0xC4)));
    ASSERT_EQ(again.IndexOffsets().size(), 13u);
    const auto plans = std::find_if(mb.rows.begin(), mb.rows.end(), [](const RecoveredMessage& row) {
        return row.subject == "Re: Fwd: plans";
    });
    ASSERT_NE(plans, mb.rows.end());
    const auto at = static_cast<std::size_t>(plans - mb.rows.begin());
    InfoStrings last = DecodeInfo(file, again.IndexOffsets()[at]);
    EXPECT_EQ(last.index, at + 1);
    EXPECT_EQ(last.strings[0x05], "plans");
    EXPECT_EQ(last.strings[0x07], "<Re: Fwd: plans@example.net>");
    EXPECT_EQ(last.strings[0x08], "Re: Fwd: plans");
    EXPECT_EQ(last.strings[0x0D], "Berg, Anna");
    EXPECT_EQ(last.strings[0x0E], "anna@example.net");
    EXPECT_EQ(last.strings[0x13], "Jensen, Ben");
    EXPECT_EQ(last.strings[0x14], "ben@example.org");
    for (std::size_t i = 0; i < 13; ++i) {
        InfoStrings info = DecodeInfo(file, again.IndexOffsets()[i]);
        EXPECT_EQ(info.index, i + 1);
        EXPECT_EQ(info.strings[0x08], mb.rows[i].subject);
        EXPECT_EQ(u32(info.firstBlock), info.firstBlock); // a block header where it points
        EXPECT_EQ(u32(info.firstBlock + 4), 0x200u);
    }
}

// Walks the tree at node, checking self, parent and counts; returns the values below it and
// records each leaf's depth.
std::uint64_t WalkTree(const std::string& file, std::uint32_t node, std::uint32_t parent,
                       unsigned depth, std::set<unsigned>& leafDepths)
{
    auto u32 = [&](std::size_t at) {
        return LoadU32LE(reinterpret_cast<const std::uint8_t*>(file.data() + at));
    };
    EXPECT_EQ(u32(node), node);
    EXPECT_EQ(u32(node + 0x0C), parent);
    const unsigned entries = static_cast<unsigned char>(file[node + 0x11]);
    EXPECT_LE(entries, 51u);
    std::uint64_t values = entries;
    bool leaf = true;
    if (const std::uint32_t first = u32(node + 0x08)) {
        leaf = false;
        EXPECT_EQ(WalkTree(file, first, node, depth + 1, leafDepths), u32(node + 0x14));
        values += u32(node + 0x14);
    }
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t e = node + 0x18 + 12 * i;
        if (const std::uint32_t child = u32(e + 4)) {
            leaf = false;
            EXPECT_EQ(WalkTree(file, child, node, depth + 1, leafDepths), u32(e + 8));
            values += u32(e + 8);
        }
    }
    if (leaf)
        leafDepths.insert(depth);
    return values;
}

TEST(DbxWriter, BalancedTreesOfEverySize)
{
    for (std::uint32_t count : {0u, 1u, 51u, 52u, 53u, 2703u, 2704u, 2705u, 6000u}) {
        SCOPED_TRACE(count);
        CScratchDir dir;
        const std::string path = dir.File("out.dbx");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        std::vector<std::string> texts;
        {
            CDbxWriter writer(fd, "Box");
            for (std::uint32_t i = 0; i < count; ++i) {
                // Sizes around the block size: 1 byte, exactly 512, 513, several blocks.
                static constexpr std::size_t kSizes[] = {1, 511, 512, 513, 1024, 1500};
                std::string t = "Subject: " + std::to_string(i) + "\r\n\r\n";
                t.resize(std::max(t.size(), kSizes[i % 6]), 'x');
                ASSERT_TRUE(writer.AddMessage(t, DbxMessageFields{}));
                texts.push_back(std::move(t));
            }
            EXPECT_FALSE(writer.AddMessage(std::string_view(), DbxMessageFields{}));
            writer.Finish();
        }
        const std::string file = ReadFileBytes(path);
        const auto root = LoadU32LE(reinterpret_cast<const std::uint8_t*>(file.data() + 0xE4));
        EXPECT_EQ(LoadU32LE(reinterpret_cast<const std::uint8_t*>(file.data() + 0xC4)), count);
        if (count > 0) {
            std::set<unsigned> leafDepths;
            EXPECT_EQ(WalkTree(file, root, 0, 0, leafDepths), count);
            EXPECT_EQ(leafDepths.size(), 1u);
        } else {
            EXPECT_EQ(root, 0u);
        }
        // The index lists every message in the order written. (The byte scan may then offer
        // the tree's nodes as one lost chain: it is no message and the catalogue drops it.)
        CDbxRecovery engine;
        CRecordingObserver observer;
        CRecordingSink sink;
        ASSERT_TRUE(engine.Run(path, observer, sink));
        ASSERT_GE(sink.messages.size(), count);
        for (std::uint32_t i = 0; i < count; ++i) {
            ASSERT_EQ(sink.messages[i].text, texts[i]) << i;
            ASSERT_FALSE(sink.messages[i].deleted);
        }
        for (std::size_t i = count; i < sink.messages.size(); ++i)
            EXPECT_TRUE(sink.messages[i].deleted);
        if (count == 2705) {
            CDbxRecovery listed;
            CCatalogue catalogue;
            {
                CCatalogueSink rows(catalogue, 1);
                ASSERT_TRUE(listed.Run(path, observer, rows));
            }
            EXPECT_EQ(catalogue.RowCount(), count);
        }
    }
}

TEST(DbxWriter, ReportsAFailedWrite)
{
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    const int fd = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    CDbxWriter writer(fd, "Box");
    // The buffer takes the first messages; the file refuses them at the latest when finishing.
    EXPECT_THROW(
        {
            for (int i = 0; i < 2000; ++i)
                writer.AddMessage(std::string(600, 'x'), DbxMessageFields{});
            writer.Finish();
        },
        CWriteError);
}

TEST(SaveDbx, StoppedSaveLeavesAMailboxOfWhatWasWritten)
{
    CScannedMailbox mb;
    for (const char* s : {"a", "b", "c"})
        mb.writer.AddMessage(Msg(s));
    mb.Scan();
    CScratchDir out;
    CRecordingSaveObserver observer;
    observer.onItem = [&](std::size_t n) {
        if (n == 2)
            mb.engine.RequestSaveStop();
    };
    const SaveResult r = SaveMessages(mb.engine, mb.rows, {SaveFormat::SaveAsDbx, out.Path()}, &observer);
    ASSERT_TRUE(r.Ok()) << r.error;
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.counts.written, 2u);
    EXPECT_EQ(r.destination, out.Path() + "/Recovered.dbx");
    CDbxRecovery again;
    CRecordingObserver runObserver;
    CRecordingSink sink;
    ASSERT_TRUE(again.Run(r.destination, runObserver, sink));
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[1].text, mb.writer.Messages()[1].text);
}

} // namespace
} // namespace mendora::test
