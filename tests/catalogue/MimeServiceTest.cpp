#include "catalogue/MimeService.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace mendora {
namespace {

using Field = std::string (CMimeMessage::*)() const;

// 2005-03-01 10:00:00 UTC and neighbours, as seconds since the epoch.
constexpr std::int64_t kMar1At1000 = 1109671200;
constexpr std::int64_t kMar1At1000And5 = 1109671205;
constexpr std::int64_t kFeb28At1300 = 1109595600;

CMimeMessage MustParse(std::string_view text)
{
    std::optional<CMimeMessage> message = ParseMimeMessage(text);
    if (!message)
        throw std::runtime_error("message did not parse");
    return std::move(*message);
}

// Structural UTF-8 check (lead byte, then continuation bytes): enough to catch raw 8-bit bytes.
bool IsUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        if (lead < 0x80)
            length = 1;
        else if ((lead & 0xE0) == 0xC0)
            length = 2;
        else if ((lead & 0xF0) == 0xE0)
            length = 3;
        else if ((lead & 0xF8) == 0xF0)
            length = 4;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Header fields

TEST(MimeServiceHeaders, PlainMessageGivesDisplayText)
{
    const CMimeMessage message = MustParse(
        "From: John Doe <john@example.com>\r\n"
        "To: alice@example.com, \"Doe, Jane\" <jane@example.com>\r\n"
        "Cc: Bob <bob@example.org>\r\n"
        "Subject: Quarterly figures\r\n"
        "Date: Tue, 01 Mar 2005 10:00:00 +0000\r\n"
        "\r\n"
        "Hello.\r\n");

    EXPECT_EQ(message.From(), "John Doe <john@example.com>");
    EXPECT_EQ(message.To(), "alice@example.com, \"Doe, Jane\" <jane@example.com>");
    EXPECT_EQ(message.CC(), "Bob <bob@example.org>");
    EXPECT_EQ(message.Subject(), "Quarterly figures");
    EXPECT_EQ(message.ReceivedTime(), kMar1At1000);
    EXPECT_EQ(message.TextBody(), "Hello.\r\n");
    EXPECT_EQ(message.HTMLBody(), "");
    EXPECT_TRUE(message.AttachmentFileNames().empty());
}

TEST(MimeServiceHeaders, AbsentFieldsAreEmpty)
{
    const CMimeMessage message = MustParse("Message-ID: <only@example.com>\r\n\r\n");

    EXPECT_EQ(message.From(), "");
    EXPECT_EQ(message.To(), "");
    EXPECT_EQ(message.CC(), "");
    EXPECT_EQ(message.Subject(), "");
    EXPECT_EQ(message.ReceivedTime(), std::nullopt);
    EXPECT_EQ(message.TextBody(), "");
    EXPECT_EQ(message.HTMLBody(), "");
    EXPECT_TRUE(message.AttachmentFileNames().empty());
}

struct HeaderCase {
    const char* what;
    const char* header; // one header line, CRLF included
    Field field;
    const char* expected;
};

TEST(MimeServiceHeaders, DecodesEncodedWordsAndCharsets)
{
    const HeaderCase cases[] = {
        {"ISO-8859-1 Q", "Subject: =?ISO-8859-1?Q?Gr=FC=DFe_aus_M=FCnchen?=\r\n",
         &CMimeMessage::Subject, "Grüße aus München"},
        {"UTF-8 B", "Subject: =?UTF-8?B?0J/RgNC40LLQtdGCLCDQvNC40YA=?=\r\n",
         &CMimeMessage::Subject, "Привет, мир"},
        {"KOI8-R B", "Subject: =?KOI8-R?B?8NLJ18XU?=\r\n", &CMimeMessage::Subject, "Привет"},
        {"Windows-1252 Q", "Subject: =?windows-1252?Q?=93quoted=94_=80100?=\r\n",
         &CMimeMessage::Subject, "“quoted” €100"},
        {"adjacent encoded words join", "Subject: =?UTF-8?Q?ab?= =?UTF-8?Q?cd?=\r\n",
         &CMimeMessage::Subject, "abcd"},
        {"encoded word inside plain text", "Subject: Re: =?iso-8859-1?q?caf=E9?= ok\r\n",
         &CMimeMessage::Subject, "Re: café ok"},
        {"folded", "Subject: a long\r\n subject\r\n", &CMimeMessage::Subject,
         "a long subject"},
        {"raw 8-bit without charset", "Subject: Caf\xE9 au lait\r\n", &CMimeMessage::Subject,
         "Café au lait"},
        {"encoded display name", "From: =?ISO-8859-1?Q?J=F6rg_M=FCller?= <jm@example.de>\r\n",
         &CMimeMessage::From, "Jörg Müller <jm@example.de>"},
        {"bare address", "To: <solo@example.net>\r\n", &CMimeMessage::To, "solo@example.net"},
        {"group", "To: Team: a@example.com, b@example.com;\r\n", &CMimeMessage::To,
         "Team: a@example.com, b@example.com;"},
        {"address without domain", "Cc: postmaster\r\n", &CMimeMessage::CC, "postmaster"},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.what);
        const CMimeMessage message = MustParse(std::string(c.header) + "\r\nbody\r\n");
        EXPECT_EQ((message.*c.field)(), c.expected);
    }
}

// ---------------------------------------------------------------------------------------------
// ReceivedTime

TEST(MimeServiceReceivedTime, NewestReceivedElseDateElseNone)
{
    struct Case {
        const char* what;
        const char* headers;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"latest of several Received, whatever their order",
         "Received: from c by d;\r\n\tTue, 1 Mar 2005 11:00:00 +0200\r\n"  // 09:00 UTC, folded
         "Received: from a by b; Tue, 1 Mar 2005 10:00:05 +0000\r\n"
         "Received: from e by f with SMTP id 12345\r\n"                   // no date part
         "Received: from g by h; not a date at all\r\n"
         "Date: Mon, 28 Feb 2005 08:00:00 -0500\r\n",
         kMar1At1000And5},
        {"date after the last semicolon",
         "Received: from a (x; y) by b; Tue, 1 Mar 2005 10:00:00 +0000\r\n", kMar1At1000},
        {"Date only", "Date: Mon, 28 Feb 2005 08:00:00 -0500\r\n", kFeb28At1300},
        {"Received without usable dates falls back to Date",
         "Received: from e by f with SMTP id 12345\r\n"
         "Received: from g by h; not a date at all\r\n"
         "Date: Mon, 28 Feb 2005 08:00:00 -0500\r\n",
         kFeb28At1300},
        {"neither", "Subject: undated\r\n", std::nullopt},
        {"unparseable Date", "Date: someday\r\n", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CMimeMessage message = MustParse(std::string(c.headers) + "\r\nbody\r\n");
        EXPECT_EQ(message.ReceivedTime(), c.expected);
    }
}

// ---------------------------------------------------------------------------------------------
// Bodies

TEST(MimeServiceBodies, DecodesTransferEncodingAndCharset)
{
    struct Case {
        const char* what;
        std::string message;
        const char* expected;
    };
    const Case cases[] = {
        {"quoted-printable ISO-8859-1",
         "Content-Type: text/plain; charset=ISO-8859-1\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n"
         "\r\n"
         "Gr=FC=DFe, sch=F6ne Stra=DFe=\r\n"
         " und mehr\r\n",
         "Grüße, schöne Straße und mehr\r\n"},
        {"base64 KOI8-R",
         "Content-Type: text/plain; charset=\"koi8-r\"\r\n"
         "Content-Transfer-Encoding: base64\r\n"
         "\r\n"
         "89/F29gg1sUgxd2jINzUycggzdHHy8nIIMbSwc7D1drTy8nIIMLVzM/L\r\n",
         "Съешь же ещё этих мягких французских булок"},
        {"ISO-8859-1 label read as Windows-1252",
         "Content-Type: text/plain; charset=iso-8859-1\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n"
         "\r\n"
         "=80 5, caf=E9",
         "€ 5, café"},
        {"8-bit without charset, not UTF-8",
         "Content-Type: text/plain\r\n"
         "Content-Transfer-Encoding: 8bit\r\n"
         "\r\n"
         "\x93Hi\x94 \x80",
         "“Hi” €"},
        {"8-bit without charset, valid UTF-8",
         "Content-Type: text/plain\r\n"
         "\r\n"
         "naïve",
         "naïve"},
        {"invalid bytes in declared UTF-8",
         "Content-Type: text/plain; charset=utf-8\r\n"
         "\r\n"
         "ok \xFF end",
         "ok \xEF\xBF\xBD end"},
        {"invalid sequence in Shift_JIS",
         "Content-Type: text/plain; charset=shift_jis\r\n"
         "\r\n"
         "a\x81\x20z",
         "a\xEF\xBF\xBD z"},
        {"unknown charset",
         "Content-Type: text/plain; charset=x-made-up\r\n"
         "\r\n"
         "caf\xE9",
         "café"},
        {"no Content-Type at all", "Subject: x\r\n\r\nplain text\r\n", "plain text\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CMimeMessage message = MustParse(c.message);
        EXPECT_EQ(message.TextBody(), c.expected);
    }
}

TEST(MimeServiceBodies, HtmlOnlyMessage)
{
    const CMimeMessage message = MustParse(
        "Content-Type: text/html; charset=windows-1252\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n"
        "\r\n"
        "<p>=93Hi=94</p>\r\n");

    EXPECT_EQ(message.HTMLBody(), "<p>“Hi”</p>\r\n");
    EXPECT_EQ(message.TextBody(), "");
    EXPECT_TRUE(message.AttachmentFileNames().empty());
}

// The alternative sits after an attached text file, which must not be taken for the body.
TEST(MimeServiceBodies, AlternativeInsideMixedSkipsTextAttachments)
{
    const CMimeMessage message = MustParse(
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
        "\r\n"
        "--outer\r\n"
        "Content-Type: text/plain; name=\"notes.txt\"\r\n"
        "Content-Disposition: attachment\r\n"
        "\r\n"
        "attached notes\r\n"
        "--outer\r\n"
        "Content-Type: multipart/alternative; boundary=\"inner\"\r\n"
        "\r\n"
        "--inner\r\n"
        "Content-Type: text/plain; charset=utf-8\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "\r\n"
        "0J/RgNC40LLQtdGCLCDQvNC40YA=\r\n"
        "--inner\r\n"
        "Content-Type: text/html; charset=utf-8\r\n"
        "\r\n"
        "<b>Hi</b>\r\n"
        "--inner--\r\n"
        "--outer--\r\n");

    EXPECT_EQ(message.TextBody(), "Привет, мир");
    EXPECT_EQ(message.HTMLBody(), "<b>Hi</b>");
    EXPECT_EQ(message.AttachmentFileNames(), std::vector<std::string>{"notes.txt"});
}

// ---------------------------------------------------------------------------------------------
// Attachments

std::string Mixed(std::string_view parts)
{
    return "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"b\"\r\n"
           "\r\n"
           "--b\r\n"
           "Content-Type: text/plain\r\n"
           "\r\n"
           "the body\r\n" +
           std::string(parts) + "--b--\r\n";
}

TEST(MimeServiceAttachments, OneEntryPerAttachmentInOrder)
{
    struct Case {
        const char* what;
        std::string message;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"three attachments, only the third named",
         Mixed("--b\r\n"
               "Content-Type: application/octet-stream\r\n"
               "Content-Disposition: attachment\r\n"
               "Content-Transfer-Encoding: base64\r\n"
               "\r\n"
               "AAECAw==\r\n"
               "--b\r\n"
               "Content-Type: image/gif\r\n"
               "Content-Disposition: inline\r\n"
               "\r\n"
               "GIF89a\r\n"
               "--b\r\n"
               "Content-Type: application/pdf; name=\"report.pdf\"\r\n"
               "\r\n"
               "%PDF\r\n"),
         {"", "", "report.pdf"}},
        {"names from each place they can be",
         Mixed("--b\r\n"
               "Content-Type: application/octet-stream\r\n"
               "Content-Disposition: attachment; filename*=iso-8859-1''B%FCro%20plan.txt\r\n"
               "\r\n"
               "x\r\n"
               "--b\r\n"
               "Content-Type: image/jpeg; name=\"photo.jpg\"\r\n"
               "\r\n"
               "x\r\n"
               "--b\r\n"
               "Content-Type: application/msword;\r\n"
               "\tname=\"=?iso-8859-1?Q?r=E9sum=E9.doc?=\"\r\n"
               "Content-Disposition: attachment;\r\n"
               "\tfilename=\"=?iso-8859-1?Q?r=E9sum=E9.doc?=\"\r\n"
               "\r\n"
               "x\r\n"
               "--b\r\n"
               "Content-Type: application/zip\r\n"
               "Content-Disposition: attachment; filename*0=\"very long \";\r\n"
               " filename*1=\"name.zip\"\r\n"
               "\r\n"
               "x\r\n"),
         {"Büro plan.txt", "photo.jpg", "résumé.doc", "very long name.zip"}},
        {"attached message counts once, its own parts do not",
         Mixed("--b\r\n"
               "Content-Type: message/rfc822\r\n"
               "\r\n"
               "Subject: forwarded\r\n"
               "Content-Type: multipart/mixed; boundary=\"fwd\"\r\n"
               "\r\n"
               "--fwd\r\n"
               "Content-Type: text/plain\r\n"
               "\r\n"
               "inner body\r\n"
               "--fwd\r\n"
               "Content-Type: application/pdf; name=\"inner.pdf\"\r\n"
               "\r\n"
               "x\r\n"
               "--fwd--\r\n"),
         {""}},
        {"text part marked as attachment",
         Mixed("--b\r\n"
               "Content-Type: text/plain\r\n"
               "Content-Disposition: attachment\r\n"
               "\r\n"
               "log lines\r\n"),
         {""}},
        {"further inline text parts are neither body nor attachment",
         Mixed("--b\r\n"
               "Content-Type: text/plain\r\n"
               "\r\n"
               "more text\r\n"
               "--b\r\n"
               "Content-Type: text/enriched\r\n"
               "\r\n"
               "<bold>more</bold>\r\n"),
         {}},
        {"single-part message that is itself a file",
         "Content-Type: application/pdf; name=\"x.pdf\"\r\n"
         "Content-Transfer-Encoding: base64\r\n"
         "\r\n"
         "JVBERg==\r\n",
         {"x.pdf"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CMimeMessage message = MustParse(c.message);
        EXPECT_EQ(message.AttachmentFileNames(), c.expected);
    }
}

// ---------------------------------------------------------------------------------------------
// Damaged input and files

// Bytes that do not open with a header block (or a blank line before a body) are no message at
// all: none. Anything else parses, with empty header fields where nothing could be read and a
// body that is still valid UTF-8. Nothing crashes and nothing throws.
TEST(MimeServiceDamagedInput, NoneWithoutHeaderBlockElseEmptyFields)
{
    struct Case {
        const char* what;
        std::string bytes;
        bool parses;
    };
    std::string noise;
    for (int i = 0; i < 2048; ++i)
        noise.push_back(static_cast<char>((i * 131 + 7) % 256));
    const Case cases[] = {
        {"empty", "", false},
        {"binary noise", noise, false},
        {"NULs", std::string(64, '\0'), false},
        {"words without headers", "just some words\r\n", false},
        {"blank line, then noise", "\r\n" + noise, true},
        {"only blank lines", "\r\n\r\n\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<CMimeMessage> message = ParseMimeMessage(c.bytes);
        ASSERT_EQ(message.has_value(), c.parses);
        if (!message)
            continue;
        EXPECT_EQ(message->From(), "");
        EXPECT_EQ(message->To(), "");
        EXPECT_EQ(message->CC(), "");
        EXPECT_EQ(message->Subject(), "");
        EXPECT_EQ(message->ReceivedTime(), std::nullopt);
        EXPECT_EQ(message->HTMLBody(), "");
        EXPECT_TRUE(IsUtf8(message->TextBody()));
        EXPECT_TRUE(message->AttachmentFileNames().empty());
    }
}

// Header values made of bytes that fit no charset still come out as UTF-8.
TEST(MimeServiceDamagedInput, UnmappableHeaderBytesGiveUtf8)
{
    const CMimeMessage message = MustParse(
        "From: \x81\x8D\xFF <x@example.com>\r\n"
        "Subject: =?utf-8?B?/w==?= \x8F\x90\x9D\r\n"
        "Content-Type: application/octet-stream; name=\"\x9D\xFF.bin\"\r\n"
        "\r\n"
        "x\r\n");

    EXPECT_TRUE(IsUtf8(message.From()));
    EXPECT_NE(message.From().find("<x@example.com>"), std::string::npos);
    EXPECT_TRUE(IsUtf8(message.Subject()));
    ASSERT_EQ(message.AttachmentFileNames().size(), 1U);
    EXPECT_TRUE(IsUtf8(message.AttachmentFileNames()[0]));
}

// A message cut off inside its parts, with broken base64 and a boundary that never closes.
TEST(MimeServiceDamagedInput, TruncatedMultipartKeepsWhatIsThere)
{
    const CMimeMessage message = MustParse(
        "Subject: cut short\r\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n"
        "\r\n"
        "--b\r\n"
        "Content-Type: text/plain; charset=utf-8\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "\r\n"
        "aGVsbG8h*!\r\n"
        "--b\r\n"
        "Content-Type: image/png; name=\"half.png\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "\r\n"
        "iVBORw0KGgoAAQID");

    EXPECT_EQ(message.Subject(), "cut short");
    EXPECT_EQ(message.TextBody(), "hello!");
    EXPECT_EQ(message.AttachmentFileNames(), std::vector<std::string>{"half.png"});
}

TEST(MimeServiceFiles, MissingFileIsNone)
{
    EXPECT_FALSE(OpenMimeMessage(testing::TempDir() + "/no-such-dir/absent.eml").has_value());
}

TEST(MimeServiceFiles, OpensMessageFromFile)
{
    const std::string path = testing::TempDir() + "/mime-service-test.eml";
    {
        std::ofstream out(path, std::ios::binary);
        out << "From: a@example.com\r\nSubject: =?UTF-8?Q?from_disk_=E2=9C=93?=\r\n\r\nbody\r\n";
    }
    const std::optional<CMimeMessage> message = OpenMimeMessage(path);
    std::remove(path.c_str());

    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->Subject(), "from disk ✓");
    EXPECT_EQ(message->TextBody(), "body\r\n");
}

// ---------------------------------------------------------------------------------------------
// Threads

// The recovery parses on several threads at once; the first parses also race to set GMime up.
TEST(MimeServiceThreads, ParallelParsesAgree)
{
    const std::string text = Mixed("--b\r\n"
                                   "Content-Type: application/pdf; name=\"report.pdf\"\r\n"
                                   "Content-Transfer-Encoding: base64\r\n"
                                   "\r\n"
                                   "JVBERg==\r\n");
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int& failed : failures) {
        threads.emplace_back([&text, &failed] {
            for (int i = 0; i < 200; ++i) {
                const std::optional<CMimeMessage> message =
                    ParseMimeMessage("Subject: =?KOI8-R?B?8NLJ18XU?=\r\n" + text);
                if (!message || message->Subject() != "Привет" ||
                    message->TextBody() != "the body" ||
                    message->AttachmentFileNames() != std::vector<std::string>{"report.pdf"})
                    ++failed;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const int failed : failures)
        EXPECT_EQ(failed, 0);
}

} // namespace
} // namespace mendora
