#include "../dbx/DbxTestUtil.h"
#include "catalogue/Catalogue.h"

#include <gtest/gtest.h>

namespace mendora::test {
namespace {

std::string Msg(const std::string& headers, const std::string& body = "Hello.\r\n")
{
    return headers + "\r\n" + body;
}

const std::string kPlain = Msg("From: Anna <anna@example.net>\r\nTo: ben@example.org\r\n"
                               "Subject: One\r\nDate: Mon, 5 Jan 2004 09:12:00 +0000\r\n");

std::string WithAttachments(const std::vector<std::string>& dispositions)
{
    std::string m = "From: a@example.net\r\nSubject: files\r\nMIME-Version: 1.0\r\n"
                    "Content-Type: multipart/mixed; boundary=\"xx\"\r\n\r\n"
                    "--xx\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n";
    for (const std::string& d : dispositions)
        m += "--xx\r\nContent-Type: application/octet-stream\r\nContent-Disposition: " + d +
             "\r\nContent-Transfer-Encoding: base64\r\n\r\nAAAA\r\n";
    return m + "--xx--\r\n";
}

TEST(Catalogue, RowsAreInsertedAtTheTopAndCounted)
{
    struct Observer : ICatalogueObserver {
        std::vector<std::string> events;
        void OnRowInserted(const RecoveredMessage& r) override { events.push_back("row:" + r.subject); }
        void OnCounterText(std::string_view t) override { events.emplace_back(t); }
    } obs;
    CCatalogue cat;
    cat.SetObserver(&obs);
    for (const char* s : {"One", "Two", "Three"})
        ASSERT_TRUE(cat.AddRecoveredText(Msg(std::string("From: x@example.net\r\nSubject: ") + s + "\r\n"),
                                         false, 100));
    ASSERT_EQ(cat.RowCount(), 3u);
    EXPECT_EQ(cat.Row(0).subject, "Three");
    EXPECT_EQ(cat.Row(2).subject, "One");
    EXPECT_EQ(cat.CounterText(), "Emails          :  3");
    EXPECT_EQ(obs.events, (std::vector<std::string>{"row:One", "Emails          :  1", "row:Two",
                                                    "Emails          :  2", "row:Three",
                                                    "Emails          :  3"}));
    cat.Clear();
    EXPECT_EQ(cat.RowCount(), 0u);
    EXPECT_EQ(obs.events.back(), "Emails          :  0");
}

TEST(Catalogue, Columns)
{
    CCatalogue cat;
    ASSERT_TRUE(cat.AddRecoveredText(kPlain, true, 0x80000001u));
    const RecoveredMessage r = cat.Row(0);
    EXPECT_EQ(r.ColumnText(RecoveredMessage::kColFrom), "Anna <anna@example.net>");
    EXPECT_EQ(r.ColumnText(RecoveredMessage::kColTo), "ben@example.org");
    EXPECT_EQ(r.ColumnText(RecoveredMessage::kColSubject), "One");
    EXPECT_EQ(r.ColumnText(RecoveredMessage::kColStatus), "Deleted");
    EXPECT_EQ(r.ColumnText(RecoveredMessage::kColOffset), "2147483649"); // unsigned decimal
    EXPECT_EQ(r.receivedTime, 1073293920);
    EXPECT_EQ(r.ColumnText(RecoveredMessage::kColDate), LocaleDateText(1073293920));
    EXPECT_FALSE(r.ColumnText(RecoveredMessage::kColDate).empty());
    EXPECT_EQ(r.ColumnImage(RecoveredMessage::kColMark), 1);
    EXPECT_EQ(r.ColumnImage(RecoveredMessage::kColAttachment), -1);

    ASSERT_TRUE(cat.AddRecoveredText(kPlain, false, 7));
    EXPECT_EQ(cat.Row(0).ColumnText(RecoveredMessage::kColStatus), "Existing");
}

TEST(Catalogue, WhichMessagesAreListed)
{
    struct Case {
        const char* name;
        std::string text;
        bool listed;
        bool attachmentMark;
    };
    const Case cases[] = {
        {"subject only", Msg("Subject: just this\r\n"), true, false},
        {"no from, to or subject", Msg("Date: Mon, 5 Jan 2004 09:12:00 +0000\r\nX-A: b\r\n"), false, false},
        {"not a message", std::string("\0\0\x01\x02 garbage", 12), false, false},
        {"third of three attachments named",
         WithAttachments({"attachment", "attachment", "attachment; filename=\"c.bin\""}), true, true},
        {"attachments without names", WithAttachments({"attachment", "attachment"}), true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCatalogue cat;
        EXPECT_EQ(cat.AddRecoveredText(c.text, false, 1), c.listed);
        EXPECT_EQ(cat.RowCount(), c.listed ? 1u : 0u);
        if (c.listed) {
            EXPECT_EQ(cat.Row(0).hasAttachment, c.attachmentMark);
        }
    }
}

TEST(Catalogue, ReadsExtractedFiles)
{
    CScratchDir dir;
    std::ofstream(dir.File("dd.eml"), std::ios::binary) << kPlain;
    CCatalogue cat;
    EXPECT_TRUE(cat.AddRecoveredMessage(dir.File("dd.eml"), false, 5));
    EXPECT_FALSE(cat.AddRecoveredMessage(dir.File("missing.eml"), false, 6));
    ASSERT_EQ(cat.RowCount(), 1u);
    EXPECT_EQ(cat.Row(0).firstBlock, 5u);
}

TEST(CatalogueSink, ParsesInParallelAndKeepsTheOrder)
{
    std::mt19937 rng(9);
    std::vector<std::string> texts;
    for (unsigned i = 0; i < 600; ++i)
        texts.push_back(i % 7 == 3 ? std::string("no header here") : MakeMessageText(rng, i));
    CCatalogue sequential;
    for (unsigned i = 0; i < texts.size(); ++i)
        sequential.AddRecoveredText(texts[i], i % 2, i + 1);

    CCatalogue parallel;
    {
        CCatalogueSink sink(parallel, 4);
        for (unsigned i = 0; i < texts.size(); ++i) {
            sink.AddRecoveredMessage(texts[i], i % 2, i + 1);
            if (i == 300) {
                // Everything handed over so far is in after a flush.
                sink.Flush();
                std::size_t listedSoFar = 0;
                for (const auto& r : sequential.Rows())
                    listedSoFar += r.firstBlock <= 301;
                EXPECT_EQ(parallel.RowCount(), listedSoFar);
            }
        }
    }
    const auto a = sequential.Rows(), b = parallel.Rows();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].firstBlock, b[i].firstBlock);
        EXPECT_EQ(a[i].subject, b[i].subject);
        EXPECT_EQ(a[i].status, b[i].status);
    }
}

// A run over a mailbox: every status text is sent after the rows of the phases before it.
TEST(CatalogueSink, RowsReachTheCatalogueBeforeTheNextStatus)
{
    std::mt19937 rng(4);
    CMailboxWriter w;
    for (unsigned i = 0; i < 40; ++i)
        w.AddMessage(MakeMessageText(rng, i), i % 4 == 0);
    CMailboxOnDisk mb(w.Build());
    CCatalogue cat;
    std::vector<std::pair<std::string, std::size_t>> seen;
    CRecordingObserver obs;
    obs.onEvent = [&](const std::string& e) {
        if (e.starts_with("status:"))
            seen.emplace_back(e.substr(7), cat.RowCount());
    };
    {
        CCatalogueSink sink(cat);
        mb.engine.Run(mb.path, obs, sink);
    }
    const auto rowsAt = [&](std::string_view status) {
        for (const auto& [s, n] : seen)
            if (s == status)
                return n;
        return std::size_t(-1);
    };
    EXPECT_EQ(rowsAt(texts::kPhase1), 0u);
    EXPECT_EQ(rowsAt(texts::kPhase2), 30u);
    EXPECT_EQ(rowsAt(texts::kPhase3), 30u);
    EXPECT_EQ(rowsAt(texts::kRepairingDone), 40u);
    EXPECT_EQ(cat.Row(0).status, MessageStatus::Deleted);
    EXPECT_EQ(cat.Row(39).status, MessageStatus::Existing);
}

TEST(RealMailboxes, ScanResults)
{
    struct Case {
        const char* file;
        std::vector<std::string> subjects;
    };
    const Case cases[] = {{"Inbox.dbx", {"Welcome to Outlook Express 6"}},
                          {"Outbox.dbx", {}},
                          {"Offline.dbx", {}},
                          {"Folders.dbx", {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = std::string(MENDORA_REAL_MAILBOXES) + "/" + c.file;
        if (!std::filesystem::exists(path))
            GTEST_SKIP() << "real mailboxes not found";
        CDbxRecovery engine;
        CCatalogue cat;
        CRecordingObserver obs;
        {
            CCatalogueSink sink(cat);
            EXPECT_TRUE(engine.Run(path, obs, sink));
        }
        EXPECT_EQ(obs.statuses.back(), texts::kRepairingDone);
        std::vector<std::string> subjects;
        for (const auto& r : cat.Rows()) {
            subjects.push_back(r.subject);
            EXPECT_EQ(r.status, MessageStatus::Existing);
            EXPECT_NE(r.from.find("Outlook Express"), std::string::npos);
        }
        EXPECT_EQ(subjects, c.subjects);
    }
}

} // namespace
} // namespace mendora::test
