// Writes the demo mailbox: a small Inbox with messages the index still lists, messages deleted
// the way the mail client deletes them, and an orphaned chain no index entry reaches.
//
//   mendora-make-demo OUT.dbx
#include "MailboxBuilder.h"

#include <iostream>

using mendora::test::CMailboxImage;
using mendora::test::CMailboxWriter;

namespace {

std::string Message(const std::string& from, const std::string& to, const std::string& subject,
                    const std::string& date, const std::string& body)
{
    return "Received: from mail.example.net by mx.example.org; " + date + "\r\n"
           "From: " + from + "\r\nTo: " + to + "\r\nSubject: " + subject + "\r\nDate: " + date +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"iso-8859-1\"\r\n"
           "Content-Transfer-Encoding: 7bit\r\n\r\n" + body;
}

std::string Repeat(const std::string& line, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += line + "\r\n";
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: mendora-make-demo OUT.dbx\n";
        return 2;
    }
    CMailboxWriter w;
    w.AddMessage(Message("\"Anna Berg\" <anna.berg@example.net>", "<ben@example.org>",
                         "Minutes of Monday's meeting", "Mon, 5 Jan 2004 09:12:00 +0100",
                         Repeat("Thanks all for coming; the minutes follow below.", 30)));
    w.AddMessage(Message("\"Clara Dahl\" <clara@example.net>", "\"Ben\" <ben@example.org>",
                         "=?ISO-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?=", "Tue, 6 Jan 2004 18:40:10 +0100",
                         Repeat("Viele Gruesse aus Koeln!", 5)));
    w.AddMessage(Message("\"David Engel\" <david@example.net>", "<ben@example.org>",
                         "Invoice 2004-017 (deleted)", "Wed, 7 Jan 2004 11:05:00 +0100",
                         Repeat("Please find the invoice details below. Amount due: 120.00 EUR.", 20)),
                 true);
    w.AddMessage("Received: from mail.example.net by mx.example.org; Thu, 8 Jan 2004 08:00:00 +0100\r\n"
                 "From: \"Eva Fischer\" <eva@example.net>\r\nTo: <ben@example.org>\r\n"
                 "Subject: Holiday photos\r\nDate: Thu, 8 Jan 2004 07:59:00 +0100\r\n"
                 "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
                 "--b1\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nTwo pictures from the lake.\r\n"
                 "--b1\r\nContent-Type: image/jpeg; name=\"lake.jpg\"\r\n"
                 "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"lake.jpg\"\r\n\r\n" +
                     Repeat("/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAMCAgMCAgMDAwMEAwMEBQgFBQQEBQoHBwYI", 24) +
                     "--b1--\r\n");
    w.AddMessage(Message("\"Farid Garcia\" <farid@example.net>", "<ben@example.org>",
                         "Re: budget draft (deleted)", "Fri, 9 Jan 2004 14:30:00 +0100",
                         Repeat("> Could you check the figures for March?", 3) +
                             Repeat("Yes, they look right to me.", 12)),
                 true);
    w.AddMessage("Received: from mail.example.net by mx.example.org; Sat, 10 Jan 2004 10:00:00 +0100\r\n"
                 "From: \"Greta Hansen\" <greta@example.net>\r\nTo: <ben@example.org>\r\n"
                 "Subject: Newsletter January\r\nDate: Sat, 10 Jan 2004 09:58:00 +0100\r\n"
                 "MIME-Version: 1.0\r\nContent-Type: text/html; charset=\"utf-8\"\r\n\r\n"
                 "<html><body><h1>January</h1><p>News from the club.</p></body></html>\r\n");
    w.SetScatterPercent(50, 2004);
    std::vector<std::uint8_t> bytes = w.Build();

    // An orphan: a message whose blocks are intact but that no index entry names, as after a
    // damaged index.
    CMailboxImage img;
    img.bytes = std::move(bytes);
    const auto end = static_cast<std::uint32_t>((img.bytes.size() + 3) / 4 * 4);
    const std::string orphan =
        Message("\"Hugo Ivanova\" <hugo@example.net>", "<ben@example.org>",
                "Train times (orphaned)", "Sun, 11 Jan 2004 16:20:00 +0100",
                Repeat("The 9:14 is cancelled; take the 9:44 instead.", 15));
    std::vector<std::uint32_t> blocks;
    for (std::size_t i = 0; i * 512 < orphan.size(); ++i)
        blocks.push_back(end + static_cast<std::uint32_t>(i) * 0x210);
    img.Chain(blocks, orphan);
    img.Put32(0x7C, static_cast<std::uint32_t>(img.bytes.size()));
    img.Save(argv[1]);
    return 0;
}
