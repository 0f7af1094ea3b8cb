#include "catalogue/MimeService.h"

#include <gtest/gtest.h>

namespace mendora {
namespace {

CMimeMessage Parse(const std::string& text)
{
    std::optional<CMimeMessage> m = ParseMimeMessage(text);
    EXPECT_TRUE(m.has_value());
    if (!m)
        return std::move(*ParseMimeMessage("Subject: x\r\n\r\n"));
    return std::move(*m);
}

TEST(MimeService, HeaderFieldsAsDisplayText)
{
    const CMimeMessage m = Parse("From: \"Berg, Anna\" <anna@example.net>\r\n"
                                 "To: ben@example.org, \"Clara\" <clara@example.org>\r\n"
                                 "Cc: =?UTF-8?Q?D=C3=A1vid?= <d@example.org>\r\n"
                                 "Subject: Hello there\r\n\r\nBody\r\n");
    EXPECT_EQ(m.From(), "\"Berg, Anna\" <anna@example.net>");
    EXPECT_EQ(m.To(), "ben@example.org, Clara <clara@example.org>");
    EXPECT_EQ(m.CC(), "D\xC3\xA1vid <d@example.org>");
    EXPECT_EQ(m.Subject(), "Hello there");

    const CMimeMessage bare = Parse("X-Other: 1\r\n\r\nBody\r\n");
    EXPECT_EQ(bare.From(), "");
    EXPECT_EQ(bare.To(), "");
    EXPECT_EQ(bare.CC(), "");
    EXPECT_EQ(bare.Subject(), "");
    EXPECT_FALSE(bare.ReceivedTime().has_value());
}

TEST(MimeService, EncodedWordsInSeveralCharsets)
{
    const std::pair<const char*, const char*> cases[] = {
        {"=?ISO-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?=", "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln"},
        {"=?UTF-8?B?0J/RgNC40LLQtdGC?=", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"=?KOI8-R?B?8NLJ18XU?=", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"=?windows-1252?Q?=80_and_=93quotes=94?=", "\xE2\x82\xAC and \xE2\x80\x9Cquotes\xE2\x80\x9D"},
        {"Re: =?ISO-8859-1?Q?caf=E9?= time", "Re: caf\xC3\xA9 time"},
    };
    for (const auto& [raw, decoded] : cases)
        EXPECT_EQ(Parse(std::string("Subject: ") + raw + "\r\n\r\nx\r\n").Subject(), decoded) << raw;
}

TEST(MimeService, ReceivedTime)
{
    struct Case {
        const char* name;
        std::string headers;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"newest of several Received",
         "Received: from a by b; Mon, 5 Jan 2004 09:00:00 +0000\r\n"
         "Received: from c by d; Mon, 5 Jan 2004 10:00:00 +0000\r\n"
         "Received: from e by f; Mon, 5 Jan 2004 08:00:00 +0000\r\n"
         "Date: Sun, 4 Jan 2004 00:00:00 +0000\r\n",
         1073296800},
        {"Received without a date falls back to Date",
         "Received: from a by b\r\nDate: Mon, 5 Jan 2004 09:12:00 +0100\r\n", 1073290320},
        {"Date only", "Date: Mon, 5 Jan 2004 09:12:00 +0000\r\n", 1073293920},
        {"neither", "Subject: none\r\n", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Parse(c.headers + "\r\nx\r\n").ReceivedTime(), c.expected) << c.name;
}

TEST(MimeService, BodiesAreDecodedToUtf8)
{
    const CMimeMessage qp = Parse("Subject: q\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
                                  "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                  "Gr=FC=DFe, soft=\r\nbreak\r\n");
    EXPECT_EQ(qp.TextBody(), "Gr\xC3\xBC\xC3\x9F" "e, softbreak\r\n");
    EXPECT_EQ(qp.HTMLBody(), "");

    const CMimeMessage b64 = Parse("Subject: b\r\nContent-Type: text/html; charset=windows-1252\r\n"
                                   "Content-Transfer-Encoding: base64\r\n\r\nPHA+gCA1PC9wPg==\r\n");
    EXPECT_EQ(b64.HTMLBody(), "<p>\xE2\x82\xAC 5</p>");
    EXPECT_EQ(b64.TextBody(), "");

    // No charset and bytes that are not UTF-8: read as Windows-1252, never invalid UTF-8.
    EXPECT_EQ(Parse("Subject: n\r\n\r\ncaf\xE9\r\n").TextBody(), "caf\xC3\xA9\r\n");

    const CMimeMessage alt = Parse(
        "Subject: alt\r\nMIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nplain text\r\n"
        "--b\r\nContent-Type: text/html; charset=us-ascii\r\n\r\n<b>html</b>\r\n--b--\r\n");
    EXPECT_EQ(alt.TextBody(), "plain text");
    EXPECT_EQ(alt.HTMLBody(), "<b>html</b>");
    EXPECT_TRUE(alt.AttachmentFileNames().empty());
}

TEST(MimeService, Attachments)
{
    const CMimeMessage m = Parse(
        "Subject: files\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"x\"\r\n\r\n"
        "--x\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
        "--x\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment\r\n\r\nAAAA\r\n"
        "--x\r\nContent-Type: image/png\r\n\r\ninline image\r\n"
        "--x\r\nContent-Type: application/pdf; name=\"by-type.pdf\"\r\n\r\n%PDF\r\n"
        "--x\r\nContent-Type: text/plain\r\nContent-Disposition: attachment;\r\n"
        " filename*=iso-8859-1''%FCber.txt\r\n\r\nnotes\r\n"
        "--x\r\nContent-Type: message/rfc822\r\n\r\nSubject: inner\r\n\r\ninner body\r\n"
        "--x--\r\n");
    EXPECT_EQ(m.AttachmentFileNames(),
              (std::vector<std::string>{"", "", "by-type.pdf", "\xC3\xBC" "ber.txt", ""}));
    EXPECT_EQ(m.TextBody(), "see attached");
}

TEST(MimeService, WhatCannotBeReadIsNone)
{
    EXPECT_FALSE(ParseMimeMessage("").has_value());
    EXPECT_FALSE(OpenMimeMessage("/nonexistent/dd.eml").has_value());
    // Garbage either yields no message or one without fields; it never crashes.
    const std::string garbage("\x00\x01\xFF\xFE random \x00 bytes", 19);
    if (std::optional<CMimeMessage> m = ParseMimeMessage(garbage)) {
        EXPECT_EQ(m->From() + m->To() + m->Subject(), "");
        m->TextBody();
        m->AttachmentFileNames();
    }
}

} // namespace
} // namespace mendora
