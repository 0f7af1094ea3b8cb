#include "dbx/DbxWriter.h"

#include "dbx/ByteOrder.h"
#include "dbx/SourceFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace mendora {

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
constexpr std::uint32_t kBlockHeaderSize = 16;
constexpr std::uint64_t kFileTimeEpochOffset = 11644473600ull; // seconds from 1601 to 1970

// Attribute ids of a message-information object.
enum : std::uint8_t {
    kAttrIndex = 0x00,
    kAttrFlags = 0x01,
    kAttrSentTime = 0x02,
    kAttrFirstBlock = 0x04,
    kAttrNormalizedSubject = 0x05,
    kAttrSavedTime = 0x06,
    kAttrMessageId = 0x07,
    kAttrSubject = 0x08,
    kAttrSenderName = 0x0D,
    kAttrSenderAddress = 0x0E,
    kAttrTextLength = 0x11,
    kAttrReceivedTime = 0x12,
    kAttrReceiverName = 0x13,
    kAttrReceiverAddress = 0x14,
};

[[noreturn]] void ThrowWriteError(const char* what)
{
    throw CWriteError(std::string(what) + ": " + std::strerror(errno));
}

// Builds the entries and the data area of one object.
class CInfoBuilder {
public:
    void Inline(std::uint8_t id, std::uint32_t value)
    {
        Entry(static_cast<std::uint32_t>(id) | 0x80u | (value << 8));
    }
    // A number that fits 24 bits goes inline, a larger one into the data area.
    void Number(std::uint8_t id, std::uint32_t value)
    {
        if (value < (1u << 24)) {
            Inline(id, value);
        } else {
            std::array<std::uint8_t, 4> b{};
            StoreU32LE(b.data(), value);
            Data(id, b.data(), b.size());
        }
    }
    void String(std::uint8_t id, std::string_view s)
    {
        // The value is zero-terminated, so it ends at its first zero byte.
        s = s.substr(0, s.find('\0'));
        std::vector<std::uint8_t> b(s.begin(), s.end());
        b.push_back(0);
        Data(id, b.data(), b.size());
    }
    void Time(std::uint8_t id, std::int64_t unixSeconds)
    {
        const std::int64_t min = -static_cast<std::int64_t>(kFileTimeEpochOffset);
        const std::int64_t max = 910692730085ll; // the last second a FILETIME can hold
        const std::int64_t t = std::clamp<std::int64_t>(unixSeconds, min, max);
        const std::uint64_t ft =
            (static_cast<std::uint64_t>(t + static_cast<std::int64_t>(kFileTimeEpochOffset))) *
            10000000ull;
        std::array<std::uint8_t, 8> b{};
        StoreU32LE(b.data(), static_cast<std::uint32_t>(ft));
        StoreU32LE(b.data() + 4, static_cast<std::uint32_t>(ft >> 32));
        Data(id, b.data(), b.size());
    }

    // Header, entries and data area, padded to a multiple of 4 bytes.
    void Finish(std::uint32_t selfOffset, std::vector<std::uint8_t>& out) const
    {
        std::size_t body = m_entries.size() + m_data.size();
        body += (4 - (12 + body) % 4) % 4;
        out.assign(12 + body, 0);
        StoreU32LE(out.data(), selfOffset);
        StoreU32LE(out.data() + 4, static_cast<std::uint32_t>(body));
        StoreU16LE(out.data() + 8, static_cast<std::uint16_t>(std::min<std::size_t>(out.size(), 0xFFFF)));
        out[10] = static_cast<std::uint8_t>(m_entries.size() / 4);
        out[11] = 1; // change counter
        std::copy(m_entries.begin(), m_entries.end(), out.begin() + 12);
        std::copy(m_data.begin(), m_data.end(),
                  out.begin() + 12 + static_cast<std::ptrdiff_t>(m_entries.size()));
    }

private:
    void Entry(std::uint32_t word)
    {
        std::array<std::uint8_t, 4> b{};
        StoreU32LE(b.data(), word);
        m_entries.insert(m_entries.end(), b.begin(), b.end());
    }
    void Data(std::uint8_t id, const std::uint8_t* p, std::size_t n)
    {
        Entry(static_cast<std::uint32_t>(id) | (static_cast<std::uint32_t>(m_data.size()) << 8));
        m_data.insert(m_data.end(), p, p + n);
    }

    std::vector<std::uint8_t> m_entries;
    std::vector<std::uint8_t> m_data;
};

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// Values a subtree of the given height can hold: 52^height - 1.
std::uint64_t TreeCapacity(unsigned height)
{
    std::uint64_t c = 1;
    for (unsigned i = 0; i < height; ++i)
        c *= CDbxWriter::kNodeEntries + 1;
    return c - 1;
}

} // namespace

// Reads a message text from a descriptor or from memory.
class CDbxWriter::CReader {
public:
    explicit CReader(int fd) : m_fd(fd) {}
    explicit CReader(std::string_view text) : m_text(text) {}

    // Fills exactly n bytes.
    void Read(std::uint8_t* out, std::size_t n)
    {
        if (m_fd < 0) {
            if (m_pos + n > m_text.size())
                throw CReadError("message text ended early");
            std::memcpy(out, m_text.data() + m_pos, n);
            m_pos += n;
            return;
        }
        while (n > 0) {
            const ssize_t got = ::pread(m_fd, out, n, static_cast<off_t>(m_pos));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw CReadError(std::string("read error: ") + std::strerror(errno));
            }
            if (got == 0)
                throw CReadError("message text ended early");
            out += got;
            n -= static_cast<std::size_t>(got);
            m_pos += static_cast<std::uint64_t>(got);
        }
    }

private:
    int m_fd = -1;
    std::string_view m_text;
    std::uint64_t m_pos = 0;
};

CDbxWriter::CDbxWriter(int fd, std::string folderName)
    : m_fd(fd), m_folderName(std::move(folderName))
{
    m_buffer.reserve(kBufferSize);
}

CDbxWriter::~CDbxWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string CDbxWriter::NormalizedSubject(std::string_view subject)
{
    static constexpr std::string_view kPrefixes[] = {"re:", "fw:", "fwd:", "aw:", "wg:", "sv:"};
    for (;;) {
        while (!subject.empty() && (subject.front() == ' ' || subject.front() == '\t'))
            subject.remove_prefix(1);
        bool cut = false;
        for (std::string_view p : kPrefixes) {
            if (StartsWithNoCase(subject, p)) {
                subject.remove_prefix(p.size());
                cut = true;
                break;
            }
        }
        if (!cut)
            return std::string(subject);
    }
}

std::uint64_t CDbxWriter::TreeBytesBound(std::uint64_t values)
{
    // Every leaf but a lone root holds at least 26 values, and there are no more inner nodes
    // than leaves.
    return (2 * (values / 26 + 1) + 1) * kNodeSize;
}

void CDbxWriter::BuildInfo(std::uint32_t firstBlock, std::uint64_t textSize,
                           const DbxMessageFields& f, std::vector<std::uint8_t>& out) const
{
    CInfoBuilder b;
    b.Number(kAttrIndex, static_cast<std::uint32_t>(m_infos.size() + 1));
    b.Number(kAttrFlags, f.flags);
    if (f.sentTime)
        b.Time(kAttrSentTime, *f.sentTime);
    b.Number(kAttrFirstBlock, firstBlock);
    b.String(kAttrNormalizedSubject, NormalizedSubject(f.subject));
    if (f.savedTime)
        b.Time(kAttrSavedTime, *f.savedTime);
    if (!f.messageId.empty())
        b.String(kAttrMessageId, f.messageId);
    b.String(kAttrSubject, f.subject);
    if (!f.senderName.empty())
        b.String(kAttrSenderName, f.senderName);
    if (!f.senderAddress.empty())
        b.String(kAttrSenderAddress, f.senderAddress);
    b.Number(kAttrTextLength, static_cast<std::uint32_t>(std::min<std::uint64_t>(textSize, 0xFFFFFFFFu)));
    if (f.receivedTime)
        b.Time(kAttrReceivedTime, *f.receivedTime);
    if (!f.receiverName.empty())
        b.String(kAttrReceiverName, f.receiverName);
    if (!f.receiverAddress.empty())
        b.String(kAttrReceiverAddress, f.receiverAddress);
    b.Finish(0, out); // the self offset is filled in once the object's place is known
}

bool CDbxWriter::Reserve(std::uint64_t textSize, std::uint32_t& infoSize,
                         std::vector<std::uint8_t>& info, const DbxMessageFields& fields)
{
    if (m_finished)
        throw CWriteError("the mailbox is already finished");
    if (textSize == 0)
        return false;
    const std::uint64_t start = m_started ? m_cursor : std::uint64_t(kHeaderSize) + kFileInfoSize;
    const std::uint64_t blocks = (textSize + kBlockData - 1) / kBlockData;
    const std::uint64_t blockBytes = blocks * kBlockStride;
    if (start + blockBytes > kMaxFileLength)
        return false;
    BuildInfo(static_cast<std::uint32_t>(start), textSize, fields, info);
    infoSize = static_cast<std::uint32_t>(info.size());
    // Room must stay for the tree that will list this message too.
    if (start + blockBytes + infoSize + TreeBytesBound(m_infos.size() + 1) > kMaxFileLength)
        return false;
    if (!m_started) {
        // Header and file info are written by Finish; until then their place holds zeros.
        PutZeros(kHeaderSize + kFileInfoSize);
        m_started = true;
    }
    return true;
}

void CDbxWriter::AppendMessage(CReader& reader, std::uint64_t textSize,
                               std::vector<std::uint8_t>& info)
{
    std::array<std::uint8_t, kBlockStride> block{};
    std::uint64_t left = textSize;
    while (left > 0) {
        const auto self = static_cast<std::uint32_t>(m_cursor);
        const auto used = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, kBlockData));
        left -= used;
        StoreU32LE(block.data() + 0, self);
        StoreU32LE(block.data() + 4, kBlockData);
        StoreU32LE(block.data() + 8, used);
        StoreU32LE(block.data() + 12, left > 0 ? self + kBlockStride : 0);
        reader.Read(block.data() + kBlockHeaderSize, used);
        std::fill(block.begin() + kBlockHeaderSize + used, block.end(), std::uint8_t{0});
        Put(block.data(), block.size());
    }
    const auto infoAt = static_cast<std::uint32_t>(m_cursor);
    StoreU32LE(info.data(), infoAt);
    Put(info.data(), info.size());
    m_infos.push_back(infoAt);
}

bool CDbxWriter::AddMessage(int textFd, const DbxMessageFields& fields)
{
    struct stat st {};
    if (::fstat(textFd, &st) != 0)
        throw CReadError(std::string("cannot read the message text: ") + std::strerror(errno));
    const auto size = static_cast<std::uint64_t>(st.st_size);
    std::uint32_t infoSize = 0;
    std::vector<std::uint8_t> info;
    if (!Reserve(size, infoSize, info, fields))
        return false;
    CReader reader(textFd);
    AppendMessage(reader, size, info);
    return true;
}

bool CDbxWriter::AddMessage(std::string_view text, const DbxMessageFields& fields)
{
    std::uint32_t infoSize = 0;
    std::vector<std::uint8_t> info;
    if (!Reserve(text.size(), infoSize, info, fields))
        return false;
    CReader reader(text);
    AppendMessage(reader, text.size(), info);
    return true;
}

std::uint32_t CDbxWriter::BuildNode(std::size_t begin, std::size_t end, std::uint32_t parent,
                                    unsigned height, std::uint32_t base,
                                    std::vector<std::uint8_t>& nodes) const
{
    const std::size_t at = nodes.size();
    nodes.resize(at + kNodeSize, 0);
    const auto self = static_cast<std::uint32_t>(base + at);

    std::uint32_t firstChild = 0;
    std::uint32_t firstChildCount = 0;
    struct Entry {
        std::uint32_t value, child, count;
    };
    std::vector<Entry> entries;
    const std::size_t n = end - begin;
    if (height <= 1) {
        for (std::size_t i = begin; i < end; ++i)
            entries.push_back({m_infos[i], 0, 0});
    } else {
        // c subtrees of height - 1 holding nearly equal shares, with c - 1 values between them.
        const std::uint64_t below = TreeCapacity(height - 1);
        const std::size_t c = static_cast<std::size_t>((n + 1 + below) / (below + 1));
        const std::size_t inChildren = n - (c - 1);
        std::size_t pos = begin;
        for (std::size_t i = 0; i < c; ++i) {
            const std::size_t size = inChildren / c + (i < inChildren % c ? 1 : 0);
            const std::uint32_t child = BuildNode(pos, pos + size, self, height - 1, base, nodes);
            if (i == 0) {
                firstChild = child;
                firstChildCount = static_cast<std::uint32_t>(size);
            } else {
                entries.back().child = child;
                entries.back().count = static_cast<std::uint32_t>(size);
            }
            pos += size;
            if (i + 1 < c)
                entries.push_back({m_infos[pos++], 0, 0});
        }
    }

    std::uint8_t* p = nodes.data() + at;
    StoreU32LE(p + 0x00, self);
    StoreU32LE(p + 0x08, firstChild);
    StoreU32LE(p + 0x0C, parent);
    p[0x11] = static_cast<std::uint8_t>(entries.size());
    StoreU32LE(p + 0x14, firstChildCount);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::uint8_t* e = p + 0x18 + 12 * i;
        StoreU32LE(e + 0, entries[i].value);
        StoreU32LE(e + 4, entries[i].child);
        StoreU32LE(e + 8, entries[i].count);
    }
    return self;
}

void CDbxWriter::Finish()
{
    if (m_finished)
        return;
    if (!m_started) {
        PutZeros(kHeaderSize + kFileInfoSize);
        m_started = true;
    }

    std::uint32_t root = 0;
    if (!m_infos.empty()) {
        unsigned height = 1;
        while (TreeCapacity(height) < m_infos.size())
            ++height;
        std::vector<std::uint8_t> nodes;
        if (m_cursor + TreeBytesBound(m_infos.size()) > kMaxFileLength)
            throw CWriteError("the mailbox would pass the 4 GiB limit of its format");
        root = BuildNode(0, m_infos.size(), 0, height, static_cast<std::uint32_t>(m_cursor), nodes);
        Put(nodes.data(), nodes.size());
    }
    FlushBuffer();

    std::vector<std::uint8_t> head(kHeaderSize + kFileInfoSize, 0);
    std::uint8_t* h = head.data();
    static constexpr std::uint8_t kSignature[0x1C] = {
        0xCF, 0xAD, 0x12, 0xFE, 0xC5, 0xFD, 0x74, 0x6F, 0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E,
        0x00, 0xC0, 0x4F, 0xA3, 0x09, 0xD4, 0x05, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
    std::memcpy(h, kSignature, sizeof kSignature);
    StoreU32LE(h + 0x1C, kFileInfoSize);
    StoreU32LE(h + 0x5C, MessageCount()); // highest message index in use
    StoreU32LE(h + 0x64, 1);
    StoreU32LE(h + 0x7C, static_cast<std::uint32_t>(m_cursor));
    StoreU32LE(h + 0x80, 2);
    StoreU32LE(h + 0xC4, MessageCount());
    StoreU32LE(h + 0xE4, root);

    std::uint8_t* info = h + kHeaderSize;
    StoreU32LE(info + 0x000, 1);
    info[0x004] = 3; // a local folder
    const std::size_t nameRoom = 267 - 1;
    const std::string_view name(m_folderName.data(), std::min(m_folderName.size(), nameRoom));
    std::memcpy(info + 0x105, name.data(), name.substr(0, name.find('\0')).size());
    StoreU32LE(info + 0x210, 3);
    static constexpr std::uint8_t kInfoWords[12] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                     0x00, 0x00, 0xFA, 0x0F, 0x00, 0x00};
    std::memcpy(info + 0x214, kInfoWords, sizeof kInfoWords);
    static constexpr std::uint8_t kInfoTail[4] = {0x01, 0x00, 0x01, 0x00};
    std::memcpy(info + 0x348, kInfoTail, sizeof kInfoTail);
    WriteAt(0, head.data(), head.size());

    const int fd = m_fd;
    m_fd = -1;
    m_finished = true;
    if (::close(fd) != 0)
        ThrowWriteError("cannot close the mailbox");
}

void CDbxWriter::Put(const void* data, std::size_t n)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const std::size_t room = kBufferSize - m_buffer.size();
        const std::size_t take = std::min(room, n);
        m_buffer.insert(m_buffer.end(), p, p + take);
        p += take;
        n -= take;
        m_cursor += take;
        if (m_buffer.size() == kBufferSize)
            FlushBuffer();
    }
}

void CDbxWriter::PutZeros(std::size_t n)
{
    static constexpr std::array<std::uint8_t, 4096> kZeros{};
    while (n > 0) {
        const std::size_t take = std::min(n, kZeros.size());
        Put(kZeros.data(), take);
        n -= take;
    }
}

void CDbxWriter::FlushBuffer()
{
    if (m_buffer.empty())
        return;
    WriteAt(m_flushedTo, m_buffer.data(), m_buffer.size());
    m_flushedTo += m_buffer.size();
    m_buffer.clear();
}

void CDbxWriter::WriteAt(std::uint64_t pos, const std::uint8_t* data, std::size_t n)
{
    if (m_fd < 0)
        throw CWriteError("the mailbox is closed");
    while (n > 0) {
        const ssize_t w = ::pwrite(m_fd, data, n, static_cast<off_t>(pos));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            ThrowWriteError("cannot write the mailbox");
        }
        data += w;
        n -= static_cast<std::size_t>(w);
        pos += static_cast<std::uint64_t>(w);
    }
}

} // namespace mendora
