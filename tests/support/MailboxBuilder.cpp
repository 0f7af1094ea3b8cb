#include "MailboxBuilder.h"

#include "dbx/ByteOrder.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <stdexcept>

namespace mendora::test {

// ---------------------------------------------------------------------------------------------
// CMailboxImage

void CMailboxImage::EnsureSize(std::uint64_t size)
{
    if (bytes.size() < size)
        bytes.resize(size, 0);
}

void CMailboxImage::Put8(std::uint64_t at, std::uint8_t v)
{
    EnsureSize(at + 1);
    bytes[at] = v;
}

void CMailboxImage::Put16(std::uint64_t at, std::uint16_t v)
{
    EnsureSize(at + 2);
    StoreU16LE(bytes.data() + at, v);
}

void CMailboxImage::Put32(std::uint64_t at, std::uint32_t v)
{
    EnsureSize(at + 4);
    StoreU32LE(bytes.data() + at, v);
}

void CMailboxImage::PutBytes(std::uint64_t at, std::string_view data)
{
    EnsureSize(at + data.size());
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

void CMailboxImage::Header(std::uint32_t indexCount, std::uint32_t indexRoot)
{
    EnsureSize(0x24BC);
    Put32(0x00, 0xFE12ADCF);
    Put32(0x04, 0x6F74FDC5);
    Put32(0x08, 0x11D1E366);
    Put32(0x0C, 0xC0004E9A);
    Put32(0xC4, indexCount);
    Put32(0xE4, indexRoot);
}

void CMailboxImage::Node(std::uint32_t at, std::uint32_t parent, const std::vector<Entry>& entries,
                         std::uint32_t firstChild, std::uint32_t firstChildCount, int entryCount)
{
    EnsureSize(std::uint64_t(at) + 0x27C);
    Put32(at + 0x00, at);
    Put32(at + 0x08, firstChild);
    Put32(at + 0x0C, parent);
    Put8(at + 0x11, static_cast<std::uint8_t>(entryCount < 0 ? entries.size() : entryCount));
    Put32(at + 0x14, firstChildCount);
    for (std::size_t i = 0; i < entries.size() && i < 51; ++i) {
        const std::uint64_t e = at + 0x18 + 12 * i;
        Put32(e + 0, entries[i].value);
        Put32(e + 4, entries[i].child);
        Put32(e + 8, entries[i].childCount);
    }
}

CMailboxImage::Attr CMailboxImage::DataU32(std::uint8_t id, std::uint32_t value)
{
    std::string b(4, '\0');
    StoreU32LE(reinterpret_cast<std::uint8_t*>(b.data()), value);
    return Data(id, b);
}

std::uint32_t CMailboxImage::Info(std::uint32_t at, const std::vector<Attr>& attrs)
{
    std::string entries;
    std::string data;
    for (const Attr& a : attrs) {
        std::uint32_t w = a.id;
        if (a.isInline) {
            w |= 0x80 | (a.inlineValue << 8);
        } else {
            w |= static_cast<std::uint32_t>(data.size()) << 8;
            data += a.data;
        }
        std::uint8_t b[4];
        StoreU32LE(b, w);
        entries.append(reinterpret_cast<const char*>(b), 4);
    }
    std::string body = entries + data;
    while ((12 + body.size()) % 4 != 0)
        body.push_back('\0');
    InfoRaw(at, static_cast<std::uint32_t>(body.size()), static_cast<std::uint8_t>(attrs.size()),
            body);
    return static_cast<std::uint32_t>(12 + body.size());
}

void CMailboxImage::InfoRaw(std::uint32_t at, std::uint32_t bodyLength, std::uint8_t attrCount,
                            std::string_view body)
{
    Put32(at + 0, at);
    Put32(at + 4, bodyLength);
    Put16(at + 8, static_cast<std::uint16_t>(12 + body.size()));
    Put8(at + 10, attrCount);
    Put8(at + 11, 1);
    PutBytes(at + 12, body);
}

void CMailboxImage::Block(std::uint32_t at, std::uint32_t blockSize, std::uint32_t dataLength,
                          std::uint32_t next, std::string_view data)
{
    Put32(at + 0, at);
    Put32(at + 4, blockSize);
    Put32(at + 8, dataLength);
    Put32(at + 12, next);
    PutBytes(at + 16, data);
}

void CMailboxImage::Chain(const std::vector<std::uint32_t>& offsets, std::string_view text,
                          std::uint32_t lastBlockSize)
{
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::size_t from = std::min(text.size(), i * 512);
        const bool last = i + 1 == offsets.size();
        const std::string_view part = last ? text.substr(from) : text.substr(from, 512);
        Block(offsets[i], last ? lastBlockSize : 512, static_cast<std::uint32_t>(part.size()),
              last ? 0 : offsets[i + 1], part);
    }
}

void CMailboxImage::DeletedChain(const std::vector<std::uint32_t>& offsets, std::string_view text)
{
    Chain(offsets, text);
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        Put32(offsets[i] + 4, 0x1FC);
        Put32(offsets[i] + 8, 0x210);
        Put32(offsets[i] + 16, i == 0 ? 0 : offsets[i - 1]);
    }
}

void CMailboxImage::Save(const std::string& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string DeletedMessageText(const std::vector<std::uint32_t>& offsets, std::string_view text,
                               std::string_view staleFill)
{
    std::string out;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        std::string block(512, '\0');
        const std::size_t from = std::min(text.size(), i * 512);
        const std::string_view part = text.substr(from, 512);
        std::copy(part.begin(), part.end(), block.begin());
        for (std::size_t k = part.size(); k < 512; ++k)
            block[k] = k - part.size() < staleFill.size() ? staleFill[k - part.size()] : '\0';
        StoreU32LE(reinterpret_cast<std::uint8_t*>(block.data()), i == 0 ? 0 : offsets[i - 1]);
        std::replace(block.begin(), block.end(), '\0', '_');
        out += block;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// CMailboxWriter

namespace {

constexpr std::uint32_t kFirstFree = 0x24BC + 0x618;
constexpr std::uint32_t kBlockStride = 0x210;

std::string HeaderValue(const std::string& text, std::string_view name)
{
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t eol = text.find("\r\n", at);
        if (eol == std::string::npos)
            eol = text.size();
        if (eol == at)
            break; // end of the header
        std::string_view line(text.data() + at, eol - at);
        if (line.size() > name.size() && line[name.size()] == ':' &&
            std::equal(name.begin(), name.end(), line.begin(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
            std::string_view v = line.substr(name.size() + 1);
            while (!v.empty() && v.front() == ' ')
                v.remove_prefix(1);
            return std::string(v);
        }
        at = eol + 2;
    }
    return {};
}

std::string FileTime(std::uint64_t unixSeconds)
{
    std::uint64_t ft = (unixSeconds + 11644473600ull) * 10000000ull;
    std::string b(8, '\0');
    for (int i = 0; i < 8; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<char>((ft >> (8 * i)) & 0xFF);
    return b;
}

std::string Z(std::string s)
{
    s.push_back('\0');
    return s;
}

} // namespace

void CMailboxWriter::AddMessage(std::string text, bool deleted)
{
    WrittenMessage m;
    m.text = std::move(text);
    m.deleted = deleted;
    m_messages.push_back(std::move(m));
}

void CMailboxWriter::SetScatterPercent(unsigned percent, std::uint32_t seed)
{
    m_scatterPercent = percent;
    m_rng.seed(seed);
}

std::uint32_t CMailboxWriter::BuildTree(std::vector<std::uint8_t>& file,
                                        const std::vector<std::uint32_t>& values,
                                        std::size_t begin, std::size_t end, std::uint32_t parent,
                                        std::uint32_t& next)
{
    const std::uint32_t at = next;
    next += 0x27C;
    CMailboxImage img;
    img.bytes.swap(file);
    std::vector<CMailboxImage::Entry> entries;
    std::uint32_t firstChild = 0;
    std::uint32_t firstChildCount = 0;
    const std::size_t n = end - begin;
    if (n <= 51) {
        for (std::size_t i = begin; i < end; ++i)
            entries.push_back({values[i], 0, 0});
        img.Node(at, parent, entries);
        img.bytes.swap(file);
        return at;
    }
    // 50 entries and 51 subtrees of nearly equal size between them.
    const std::size_t kEntries = 50;
    const std::size_t rest = n - kEntries;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    std::vector<std::size_t> separators;
    std::size_t pos = begin;
    for (std::size_t c = 0; c <= kEntries; ++c) {
        const std::size_t size = rest / (kEntries + 1) + (c < rest % (kEntries + 1) ? 1 : 0);
        ranges.emplace_back(pos, pos + size);
        pos += size;
        if (c < kEntries)
            separators.push_back(pos++);
    }
    img.bytes.swap(file);
    std::vector<std::uint32_t> children;
    for (const auto& r : ranges)
        children.push_back(r.first == r.second ? 0 : BuildTree(file, values, r.first, r.second, at, next));
    img.bytes.swap(file);
    firstChild = children[0];
    firstChildCount = static_cast<std::uint32_t>(ranges[0].second - ranges[0].first);
    for (std::size_t e = 0; e < kEntries; ++e)
        entries.push_back({values[separators[e]], children[e + 1],
                           static_cast<std::uint32_t>(ranges[e + 1].second - ranges[e + 1].first)});
    img.Node(at, parent, entries, firstChild, firstChildCount);
    img.bytes.swap(file);
    return at;
}

std::vector<std::uint8_t> CMailboxWriter::Build()
{
    CMailboxImage img;
    img.Header(0, 0);
    img.EnsureSize(kFirstFree);
    // File info of a local folder.
    img.Put32(0x1C, 0x618);
    img.Put32(0x24BC, 1);
    img.Put8(0x24BC + 4, 3);
    img.PutBytes(0x24BC + 0x105, m_folderName.substr(0, 260));

    // Room for every block, each message-information object and the tree nodes, so that a
    // large mailbox is laid out without the image being copied as it grows.
    std::uint64_t estimate = kFirstFree;
    for (const WrittenMessage& m : m_messages)
        estimate += std::max<std::size_t>(1, (m.text.size() + 511) / 512) * kBlockStride + 256;
    estimate += m_messages.size() / 25 * 0x27C;
    img.bytes.reserve(estimate);

    std::uint32_t cursor = kFirstFree;
    for (WrittenMessage& m : m_messages) {
        const std::size_t count = std::max<std::size_t>(1, (m.text.size() + 511) / 512);
        m.blocks.clear();
        for (std::size_t i = 0; i < count; ++i) {
            m.blocks.push_back(cursor);
            cursor += kBlockStride;
        }
        if (count > 1 && m_scatterPercent > 0 && m_rng() % 100 < m_scatterPercent)
            std::shuffle(m.blocks.begin(), m.blocks.end(), m_rng);
        m.firstBlock = m.blocks.front();
        if (m.deleted)
            img.DeletedChain(m.blocks, m.text);
        else
            img.Chain(m.blocks, m.text);
        img.EnsureSize(cursor);
    }

    std::vector<std::uint32_t> infos;
    std::uint32_t index = 0;
    for (const WrittenMessage& m : m_messages) {
        if (m.deleted)
            continue;
        ++index;
        const std::uint64_t when = 1072915200ull + 3600ull * index;
        std::vector<CMailboxImage::Attr> attrs;
        attrs.push_back(CMailboxImage::Inline(0x00, index));
        attrs.push_back(CMailboxImage::Inline(0x01, 0x81));
        attrs.push_back(CMailboxImage::Data(0x02, FileTime(when)));
        if (m.firstBlock < (1u << 24))
            attrs.push_back(CMailboxImage::Inline(0x04, m.firstBlock));
        else
            attrs.push_back(CMailboxImage::DataU32(0x04, m.firstBlock));
        const std::string subject = HeaderValue(m.text, "Subject");
        attrs.push_back(CMailboxImage::Data(0x05, Z(subject)));
        attrs.push_back(CMailboxImage::Data(0x07, Z(HeaderValue(m.text, "Message-ID"))));
        attrs.push_back(CMailboxImage::Data(0x08, Z(subject)));
        attrs.push_back(CMailboxImage::Data(0x0D, Z(HeaderValue(m.text, "From"))));
        attrs.push_back(CMailboxImage::Inline(0x11, static_cast<std::uint32_t>(m.text.size())));
        attrs.push_back(CMailboxImage::Data(0x12, FileTime(when)));
        infos.push_back(cursor);
        cursor += img.Info(cursor, attrs);
    }

    std::uint32_t root = 0;
    if (!infos.empty()) {
        std::uint32_t next = cursor;
        root = BuildTree(img.bytes, infos, 0, infos.size(), 0, next);
        cursor = next;
        img.EnsureSize(cursor);
    }
    img.Put32(0xC4, static_cast<std::uint32_t>(infos.size()));
    img.Put32(0xE4, root);
    img.Put32(0x5C, index);
    img.Put32(0x7C, cursor);
    return std::move(img.bytes);
}

void CMailboxWriter::Write(const std::string& path)
{
    CMailboxImage img;
    img.bytes = Build();
    img.Save(path);
}

// ---------------------------------------------------------------------------------------------
// Message texts

namespace {

const char* const kFirstNames[] = {"Anna", "Ben", "Clara", "David", "Eva", "Farid", "Greta",
                                   "Hugo", "Ines", "Jonas", "Kira", "Luis", "Mia", "Nils"};
const char* const kLastNames[] = {"Berg", "Costa", "Dahl", "Engel", "Fischer", "Garcia",
                                  "Hansen", "Ivanova", "Jensen", "Keller", "Lindqvist", "Moreau"};
const char* const kWords[] = {"meeting", "report", "invoice", "budget", "draft", "schedule",
                              "holiday", "project", "review", "minutes", "photos", "travel",
                              "contract", "update", "question", "agenda", "summary", "offer"};

std::string Pick(std::mt19937& rng, const char* const* list, std::size_t n)
{
    return list[rng() % n];
}

std::string Sentence(std::mt19937& rng, unsigned words)
{
    std::string s;
    for (unsigned i = 0; i < words; ++i) {
        if (i)
            s += ' ';
        s += Pick(rng, kWords, std::size(kWords));
    }
    if (!s.empty())
        s[0] = static_cast<char>(std::toupper(s[0]));
    return s + ".";
}

std::string Paragraphs(std::mt19937& rng, std::size_t bytes)
{
    std::string body;
    std::string line;
    while (body.size() < bytes) {
        std::string s = Sentence(rng, 4 + rng() % 8);
        if (line.size() + s.size() + 1 > 72) {
            body += line + "\r\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + s;
    }
    return body + line + "\r\n";
}

std::string Base64(std::mt19937& rng, std::size_t rawBytes)
{
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t chars = (rawBytes + 2) / 3 * 4;
    for (std::size_t i = 0; i < chars; ++i) {
        out += alphabet[rng() % 64];
        if (i % 76 == 75)
            out += "\r\n";
    }
    return out + "\r\n";
}

std::string Rfc822Date(std::uint64_t t)
{
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %d %s %d %02d:%02d:%02d +0000", days[tm.tm_wday],
                  tm.tm_mday, months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return buf;
}

} // namespace

std::string MakeMessageText(std::mt19937& rng, unsigned index)
{
    const std::string fromFirst = Pick(rng, kFirstNames, std::size(kFirstNames));
    const std::string fromLast = Pick(rng, kLastNames, std::size(kLastNames));
    const std::string toFirst = Pick(rng, kFirstNames, std::size(kFirstNames));
    const std::string toLast = Pick(rng, kLastNames, std::size(kLastNames));
    const std::uint64_t when = 1072915200ull + 3571ull * index + rng() % 600;
    const std::string subject = Sentence(rng, 2 + rng() % 4);
    std::string h;
    h += "Received: from mail.example.net ([192.0.2." + std::to_string(1 + rng() % 250) +
         "]) by mx.example.org; " + Rfc822Date(when + 5) + "\r\n";
    h += "From: \"" + fromFirst + " " + fromLast + "\" <" + fromFirst + "." + fromLast +
         "@example.net>\r\n";
    h += "To: \"" + toFirst + " " + toLast + "\" <" + toFirst + "@example.org>\r\n";
    h += "Subject: " + subject.substr(0, subject.size() - 1) + " #" + std::to_string(index) + "\r\n";
    h += "Date: " + Rfc822Date(when) + "\r\n";
    h += "Message-ID: <" + std::to_string(index) + "." + std::to_string(rng() % 100000) +
         "@example.net>\r\n";
    h += "MIME-Version: 1.0\r\n";
    h += "X-Mailer: Microsoft Outlook Express 6.00.2900.2180\r\n";

    const unsigned kind = rng() % 100;
    if (kind < 60) {
        h += "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n";
        h += "Content-Transfer-Encoding: 7bit\r\n\r\n";
        return h + Paragraphs(rng, 400 + rng() % 2100);
    }
    const std::string boundary = "----=_NextPart_000_" + std::to_string(1000 + index);
    const std::string text = Paragraphs(rng, 300 + rng() % 1500);
    if (kind < 85) {
        h += "Content-Type: multipart/alternative;\r\n\tboundary=\"" + boundary + "\"\r\n\r\n";
        h += "This is a multi-part message in MIME format.\r\n\r\n";
        h += "--" + boundary + "\r\nContent-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\n"
             "Content-Transfer-Encoding: 7bit\r\n\r\n" + text + "\r\n";
        h += "--" + boundary + "\r\nContent-Type: text/html;\r\n\tcharset=\"iso-8859-1\"\r\n"
             "Content-Transfer-Encoding: 7bit\r\n\r\n<HTML><BODY><P>" + text +
             "</P></BODY></HTML>\r\n";
        return h + "--" + boundary + "--\r\n";
    }
    h += "Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary + "\"\r\n\r\n";
    h += "This is a multi-part message in MIME format.\r\n\r\n";
    h += "--" + boundary + "\r\nContent-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\n"
         "Content-Transfer-Encoding: 7bit\r\n\r\n" + text + "\r\n";
    const std::string file = Pick(rng, kWords, std::size(kWords)) + std::to_string(index) + ".pdf";
    // Most attachments are a few kilobytes; one in twenty is a larger document whose chain
    // runs to dozens of blocks.
    const std::size_t raw = rng() % 20 == 0 ? 16000 + rng() % 20000 : 800 + rng() % 2600;
    h += "--" + boundary + "\r\nContent-Type: application/pdf;\r\n\tname=\"" + file +
         "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n"
         "\tfilename=\"" + file + "\"\r\n\r\n" + Base64(rng, raw) + "\r\n";
    return h + "--" + boundary + "--\r\n";
}

} // namespace mendora::test
