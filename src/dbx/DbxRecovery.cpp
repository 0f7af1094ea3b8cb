#include "dbx/DbxRecovery.h"

#include "dbx/AttributeEntry.h"
#include "dbx/IndexNode.h"
#include "dbx/MessageInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mendora {

namespace {

bool PathExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Deletes whatever file is at path; true when nothing is there afterwards.
bool FreePath(const std::string& path)
{
    if (!PathExists(path))
        return true;
    ::unlink(path.c_str());
    return !PathExists(path);
}

void WriteAll(int fd, const std::uint8_t* data, std::size_t n)
{
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            throw CWriteError(std::string("write error: ") + std::strerror(errno));
        }
        data += w;
        n -= static_cast<std::size_t>(w);
    }
}

class CFdCloser {
public:
    explicit CFdCloser(int fd) : m_fd(fd) {}
    ~CFdCloser()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFdCloser(const CFdCloser&) = delete;
    CFdCloser& operator=(const CFdCloser&) = delete;

    // Closes now, so that a failure to flush the file is seen.
    void Close()
    {
        int fd = m_fd;
        m_fd = -1;
        if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
            throw CWriteError(std::string("write error: ") + std::strerror(errno));
    }

private:
    int m_fd;
};

} // namespace

CDbxRecovery::CDbxRecovery() = default;
CDbxRecovery::~CDbxRecovery() = default;

bool CDbxRecovery::OpenSource(const std::string& path)
{
    return m_source.Open(path);
}

// ---------------------------------------------------------------------------------------------
// Reporting

void CDbxRecovery::SetStatus(std::string_view text)
{
    if (!m_observer)
        return;
    if (!m_sink) {
        m_observer->OnStatusText(text);
        return;
    }
    IRecoveryObserver* observer = m_observer;
    m_sink->AfterEarlierMessages([observer, t = std::string(text)] { observer->OnStatusText(t); });
}

void CDbxRecovery::SetProgress(int position)
{
    if (position == m_lastProgress)
        return;
    m_lastProgress = position;
    if (m_observer)
        m_observer->OnProgressPosition(position);
}

// ---------------------------------------------------------------------------------------------
// The run

bool CDbxRecovery::Run(const std::string& sourcePath, IRecoveryObserver& observer,
                       IRecoveredMessageSink& sink)
{
    m_observer = &observer;
    m_sink = &sink;
    m_lastProgress = -1;

    SetStatus(texts::kOpening);
    if (!m_source.Open(sourcePath)) {
        observer.OnMessageBox(texts::kUnableToOpen, texts::kCaption,
                              mbstyle::kOk | mbstyle::kIconInformation);
        m_observer = nullptr;
        m_sink = nullptr;
        return false;
    }

    SetStatus(texts::kPhase1);
    FindExistingMessages();
    if (AbortRequested()) {
        SetStatus(texts::kUserAborted);
    } else {
        ScanForBlocks();
        SetStatus(AbortRequested() ? texts::kUserAborted : texts::kRepairingDone);
    }
    sink.Flush();
    m_observer = nullptr;
    m_sink = nullptr;
    return true;
}

void CDbxRecovery::ExtractToSink(std::uint32_t firstBlock, bool deletedFromMark)
{
    std::string text;
    if (!ExtractMessageToBuffer(firstBlock, text))
        return;
    bool deleted = deletedFromMark && m_zeroFillMark;
    if (m_sink)
        m_sink->AddRecoveredMessage(std::move(text), deleted, firstBlock);
}

void CDbxRecovery::FindExistingMessages()
{
    SetProgress(0);
    std::vector<std::uint8_t> bytes(DbxHeader::kSize);
    try {
        m_source.ReadAt(0, bytes.data(), bytes.size());
    } catch (const CReadError&) {
        return;
    }
    DbxHeader header = DbxHeader::Decode(std::span<const std::uint8_t, DbxHeader::kSize>(
        bytes.data(), DbxHeader::kSize));
    if (!header.HasIndex())
        return;
    if (!CollectIndexOffsets(header.indexRootOffset, header.indexMessageCount))
        return;

    const std::uint64_t count = m_offsets.size();
    for (std::uint64_t i = 0; i < count; ++i) {
        if (AbortRequested())
            break;
        SetProgress(static_cast<int>(i * 100 / count));
        if (m_offsets[i] == 0)
            continue;
        ReadMessageInfo(m_offsets[i]);
        if (m_mask & (1u << MessageInfo::kMessageDataAttribute)) {
            std::uint32_t first = GetAttributeValue(MessageInfo::kMessageDataAttribute);
            m_claimed.Append(first);
            ExtractToSink(first, false);
        }
    }
    std::vector<std::uint32_t>().swap(m_offsets);
}

// ---------------------------------------------------------------------------------------------
// Index walk

bool CDbxRecovery::CollectIndexOffsets(std::uint32_t rootOffset, std::uint32_t count)
{
    m_offsets.clear();
    m_capacity = 0;
    // A count above what the file could hold is a header we cannot trust: treat it like an
    // array that could not be allocated.
    if (count > m_source.Length() / 12)
        return false;
    try {
        m_capacity = count;
        m_offsets.assign(count, 0);
        // Every node read costs 636 bytes of file, so a well-formed tree never needs more reads
        // than this; the limit stops a node that many entries name from being visited again and
        // again.
        m_nodeBudget = m_source.Length() / IndexNode::kSize + 1;
        m_nodesRead = 0;
        WalkIndexNode(0, rootOffset, 0, count);
    } catch (const std::exception&) {
        std::vector<std::uint32_t>().swap(m_offsets);
        m_capacity = 0;
        return false;
    }
    return true;
}

void CDbxRecovery::WalkIndexNode(std::uint32_t parentOffset, std::uint32_t nodeOffset,
                                 std::uint32_t baseSlot, std::uint32_t expectedCount)
{
    WalkNode(parentOffset, nodeOffset, baseSlot, expectedCount, 0);
}

void CDbxRecovery::WalkNode(std::uint32_t parentOffset, std::uint32_t nodeOffset,
                            std::uint64_t baseSlot, std::uint64_t expectedCount, unsigned depth)
{
    if (baseSlot + expectedCount > m_capacity)
        return;
    if (nodeOffset > m_source.Length())
        return;
    if (depth > kMaxIndexDepth)
        return;
    if (m_nodesRead >= m_nodeBudget)
        return;
    ++m_nodesRead;

    std::array<std::uint8_t, IndexNode::kSize> bytes{};
    m_source.ReadAt(nodeOffset, bytes.data(), bytes.size());
    const IndexNode node = IndexNode::Decode(bytes);
    if (!node.ChecksOut(nodeOffset, parentOffset))
        return;

    std::uint64_t filled = 0;
    if (node.firstChildOffset != 0) {
        WalkNode(nodeOffset, node.firstChildOffset, baseSlot, node.firstChildValueCount,
                 depth + 1);
        filled = node.firstChildValueCount;
    }
    for (unsigned i = 0; i < node.entryCount; ++i) {
        const IndexEntry& e = node.entries[i];
        if (e.value != 0) {
            ++filled;
            if (baseSlot + filled > m_capacity)
                return;
            m_offsets[baseSlot + filled - 1] = e.value;
        }
        if (e.childOffset != 0) {
            WalkNode(nodeOffset, e.childOffset, baseSlot + filled, e.childValueCount, depth + 1);
            filled += e.childValueCount;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Message-information objects

void CDbxRecovery::ReadMessageInfo(std::uint32_t offset)
{
    std::vector<std::uint8_t>().swap(m_body);
    m_bodyLength = 0;
    m_attributeCount = 0;
    m_mask = 0;
    m_slots.fill(AttributeSlot{});
    m_currentOffset = offset;

    const std::uint64_t length = m_source.Length();
    if (offset > length)
        return;
    try {
        std::array<std::uint8_t, MessageInfo::kHeaderSize> head{};
        m_source.ReadAt(offset, head.data(), head.size());
        const MessageInfo info = MessageInfo::Decode(head);
        if (info.selfOffset != offset)
            return;
        // A body that would run past the end of the file is not a real object.
        if (std::uint64_t(offset) + MessageInfo::kHeaderSize + info.bodyLength > length)
            return;
        m_bodyLength = info.bodyLength;
        m_attributeCount = info.attributeCount;
        m_body.resize(info.bodyLength);
        m_source.ReadAt(std::uint64_t(offset) + MessageInfo::kHeaderSize, m_body.data(),
                        m_body.size());
    } catch (const std::exception&) {
        std::vector<std::uint8_t>().swap(m_body);
        m_bodyLength = 0;
        m_attributeCount = 0;
        m_mask = 0;
        return;
    }

    const std::uint32_t data = 4u * m_attributeCount;
    bool havePrevious = false;
    unsigned previousId = 0;
    std::uint32_t mask = 0;
    for (std::uint32_t i = 0; i < m_attributeCount; ++i) {
        // Entries that do not fit in the body are absent.
        if (std::uint64_t(4) * i + AttributeEntry::kSize > m_bodyLength)
            break;
        const AttributeEntry a = AttributeEntry::Decode(LoadU32LE(m_body.data() + 4 * i));
        if (a.isInline) {
            if (a.id < AttributeEntry::kStoredIds)
                m_slots[a.id] = {true, 4 * i + 1, 3};
        } else {
            const std::uint32_t p = data + a.value24;
            if (a.id < AttributeEntry::kStoredIds)
                m_slots[a.id] = {true, p, 0};
            if (havePrevious && previousId < AttributeEntry::kStoredIds)
                m_slots[previousId].span = p - m_slots[previousId].position; // unsigned 32-bit
            havePrevious = true;
            previousId = a.id;
        }
        mask |= 1u << (a.id % 32);
    }
    if (havePrevious && previousId < AttributeEntry::kStoredIds)
        m_slots[previousId].span = m_bodyLength - m_slots[previousId].position;
    m_mask = mask;
}

std::uint32_t CDbxRecovery::GetAttributeValue(unsigned id) const
{
    if (id >= AttributeEntry::kStoredIds)
        return 0;
    const AttributeSlot& s = m_slots[id];
    if (!s.present)
        return 0;
    const unsigned n = s.span >= 4 ? 4 : s.span;
    // A value that does not lie wholly inside the body is absent.
    if (std::uint64_t(s.position) + n > m_body.size())
        return 0;
    return LoadUNLE(m_body.data() + s.position, n);
}

// ---------------------------------------------------------------------------------------------
// Extraction

// Reads n bytes at pos like CSourceFile::ReadAt (zeros past the end; the result counts the bytes
// the file held), through the window.
std::size_t CDbxRecovery::WindowRead(ReadWindow& w, std::uint64_t pos, std::uint8_t* out,
                                     std::size_t n) const
{
    constexpr std::uint64_t kSpan = 65536, kSlack = 1024;
    const std::uint64_t length = m_source.Length();
    if (w.size == 0 || pos < w.start || pos + n > w.start + w.size) {
        w.bytes.resize(kSpan + kSlack);
        w.size = 0;
        const std::uint64_t start = pos & ~(kSpan - 1);
        try {
            m_source.ReadAt(start, w.bytes.data(), w.bytes.size());
        } catch (const CReadError&) {
            return m_source.ReadAt(pos, out, n); // a bad spot nearby: read just what is asked
        }
        w.start = start;
        w.size = w.bytes.size();
    }
    std::memcpy(out, w.bytes.data() + (pos - w.start), n);
    return pos >= length ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(n, length - pos));
}

// The size pre-pass, which also records what the copy pass will read. A chain that comes back
// to a block it has already visited is cut just before the repeated block, in both passes.
void CDbxRecovery::PlanChain(std::uint32_t firstBlock, CClaimedBlocks* claim,
                             ChainPlan& plan) const
{
    plan.total = 0;
    plan.zeroFill = false;
    plan.copy.clear();

    const std::uint64_t length = m_source.Length();
    constexpr std::size_t kLinearLimit = 64;
    std::vector<std::uint32_t> visited;
    std::unordered_set<std::uint32_t> visitedSet;
    bool copyEnded = false;
    // A real chain's blocks do not overlap, so it has at most one block per 16 bytes of file and
    // never more data than the file holds. Blocks that overlap each other (a damaged or hostile
    // file) could otherwise make one message many times the size of the file: the chain is cut
    // before the block that would pass either bound.
    const std::uint64_t maxBlocks = length / BlockHeader::kSize + 1;
    std::uint64_t blocks = 0;
    std::uint64_t copied = 0;

    std::uint32_t pos = firstBlock;
    while (pos != 0) {
        if (++blocks > maxBlocks)
            break;
        if (visited.size() < kLinearLimit) {
            if (std::find(visited.begin(), visited.end(), pos) != visited.end())
                break;
            visited.push_back(pos);
            if (visited.size() == kLinearLimit)
                visitedSet.insert(visited.begin(), visited.end());
        } else if (!visitedSet.insert(pos).second) {
            break;
        }

        if (claim)
            claim->Append(pos); // claimed before the bounds test, even beyond the end
        if (pos > length)
            break;
        std::array<std::uint8_t, BlockHeader::kSize> bytes{};
        WindowRead(plan.window, pos, bytes.data(), bytes.size());
        const BlockHeader h = BlockHeader::Decode(bytes);
        if (copied + h.UsedDataLength() > length)
            break;
        plan.zeroFill = h.blockSize != BlockHeader::kNormalBlockSize;
        plan.total += h.dataLength;
        // The copy pass stops at a header that ends beyond the file.
        if (!copyEnded && std::uint64_t(pos) + BlockHeader::kSize > length)
            copyEnded = true;
        if (!copyEnded) {
            plan.copy.push_back({pos + static_cast<std::uint32_t>(BlockHeader::kSize),
                                 h.UsedDataLength()});
            copied += h.UsedDataLength();
        }
        pos = h.nextBlockOffset;
    }
}

template <class Write>
void CDbxRecovery::CopyChain(ChainPlan& plan, Write&& write) const
{
    std::array<std::uint8_t, BlockHeader::kMaxDataUsed> buffer{};
    for (const CopyBlock& b : plan.copy) {
        const std::size_t got = WindowRead(plan.window, b.dataAt, buffer.data(), b.length);
        if (plan.zeroFill) {
            std::uint8_t* p = buffer.data();
            std::uint8_t* const end = p + got;
            while (p < end && (p = static_cast<std::uint8_t*>(
                                   std::memchr(p, 0, static_cast<std::size_t>(end - p)))))
                *p++ = '_';
        }
        write(buffer.data(), got);
    }
}

bool CDbxRecovery::ExtractMessage(const std::string& folder, std::string& name,
                                  std::uint32_t firstBlock)
{
    try {
        PlanChain(firstBlock, &m_claimed, m_plan);
    } catch (const CReadError&) {
        return false; // nothing was written yet, so there is nothing to read back
    }
    m_zeroFillMark = m_plan.zeroFill;
    if (m_plan.total == 0)
        return false;

    std::string dir = folder;
    if (dir.empty() || dir.back() != '/')
        dir += '/';

    int fd = -1;
    if (!FreePath(dir + name)) {
        const std::string prefixed = "0" + name;
        if (FreePath(dir + prefixed)) {
            name = prefixed;
        } else {
            // Neither name can be freed: take a fresh one beside them with the same extension.
            const auto dot = name.rfind('.');
            const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
            const std::string ext = dot == std::string::npos ? ".eml" : name.substr(dot);
            std::string templ = dir + stem + "-XXXXXX" + ext;
            std::vector<char> buf(templ.begin(), templ.end());
            buf.push_back('\0');
            fd = ::mkostemps(buf.data(), static_cast<int>(ext.size()), O_CLOEXEC);
            if (fd < 0)
                return true; // no file: the caller finds nothing to read
            name = std::string(buf.data()).substr(dir.size());
        }
    }
    if (fd < 0)
        fd = CreateOutputFile(dir + name);
    if (fd < 0)
        return true;

    CFdCloser closer(fd);
    try {
        CopyChain(m_plan, [fd](const std::uint8_t* data, std::size_t n) { WriteAll(fd, data, n); });
        closer.Close();
    } catch (const std::exception&) {
        // What was written so far is the message.
    }
    return true;
}

bool CDbxRecovery::ExtractMessageToBuffer(std::uint32_t firstBlock, std::string& text)
{
    text.clear();
    try {
        PlanChain(firstBlock, &m_claimed, m_plan);
    } catch (const CReadError&) {
        return false;
    }
    m_zeroFillMark = m_plan.zeroFill;
    if (m_plan.total == 0)
        return false;
    std::size_t size = 0;
    for (const CopyBlock& b : m_plan.copy)
        size += b.length;
    text.reserve(size);
    try {
        CopyChain(m_plan, [&text](const std::uint8_t* data, std::size_t n) {
            text.append(reinterpret_cast<const char*>(data), n);
        });
    } catch (const std::exception&) {
        // What was copied so far is the message.
    }
    return true;
}

bool CDbxRecovery::ExtractMessageTo(const std::string& path, std::uint32_t firstBlock,
                                    bool* zeroFillMark) const
{
    if (firstBlock == 0)
        return false;
    ChainPlan plan;
    PlanChain(firstBlock, nullptr, plan);
    if (zeroFillMark)
        *zeroFillMark = plan.zeroFill;
    if (plan.total == 0)
        return false;
    int fd = CreateOutputFile(path);
    if (fd < 0)
        return false;
    CFdCloser closer(fd);
    CopyChain(plan, [fd](const std::uint8_t* data, std::size_t n) { WriteAll(fd, data, n); });
    closer.Close();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Phase 2: the byte scan

namespace {

// Appends every position k in [0, end) of the window at windowStart whose 32-bit value equals
// its own file position. The window holds at least end + 16 bytes.
void ScanWindow(const std::uint8_t* w, std::uint64_t windowStart, std::uint32_t end,
                std::vector<BlockCandidate>& out)
{
    auto check = [&](std::uint32_t k) {
        const std::uint64_t p = windowStart + k;
        if (LoadU32LE(w + k) == p)
            out.push_back({static_cast<std::uint32_t>(p), LoadU32LE(w + k + 4),
                           LoadU32LE(w + k + 8), LoadU32LE(w + k + 12)});
    };
    std::uint32_t k = 0;
#if defined(__SSE2__)
    // Compare each byte with the low byte of its position first; only a match needs the
    // whole 32-bit test.
    const __m128i iota = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    for (; k + 16 <= end; k += 16) {
        const auto low = static_cast<char>(static_cast<std::uint8_t>(windowStart + k));
        const __m128i expected = _mm_add_epi8(_mm_set1_epi8(low), iota);
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + k));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, expected)));
        while (bits) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(bits));
            check(k + bit);
            bits &= bits - 1;
        }
    }
#endif
    for (; k < end; ++k) {
        if (w[k] == static_cast<std::uint8_t>(windowStart + k))
            check(k);
    }
}

} // namespace

void CDbxRecovery::ScanForBlocks()
{
    SetProgress(0);
    const std::uint64_t length = m_source.Length();
    SetStatus(texts::kPhase2);

    if (length > 4) {
        // The window plus the 12 bytes that the last examined position's fields reach into.
        std::vector<std::uint8_t> window(kWindowSize + 12);
        std::uint64_t pos = 0;
        do {
            if (AbortRequested())
                break;
            try {
                m_source.ReadAt(pos, window.data(), window.size());
            } catch (const CReadError&) {
                std::fill(window.begin(), window.end(), 0);
            }
            SetProgress(static_cast<int>(pos * 100 / length));
            // Positions p with p + 4 <= length, at most kWindowStep of them.
            const std::uint64_t remaining = length - 4 - pos + 1;
            const auto end = static_cast<std::uint32_t>(std::min<std::uint64_t>(kWindowStep,
                                                                               remaining));
            ScanWindow(window.data(), pos, end, m_candidates);
            pos += kWindowStep;
        } while (pos < length - 4);
    }

    if (AbortRequested())
        return;
    RecoverLostMessages();
    SetStatus(texts::kRecoveryDone);
}

// ---------------------------------------------------------------------------------------------
// Phase 3: rebuilding the chains nobody claimed

std::uint32_t CDbxRecovery::FindPredecessor(std::uint32_t blockOffset)
{
    if (m_candidates.empty())
        return 0;
    if (AbortRequested())
        return 0;
    const std::size_t n = m_candidates.size();
    if (!m_predecessorsBuilt) {
        // Most blocks name the candidate right after them in the list; those links are found
        // from the list itself, and only the others go into the map, where the first one
        // stored under a next offset (the lowest position, as the list is in file order) stays.
        for (std::size_t i = 0; i < n; ++i) {
            const BlockCandidate& c = m_candidates[i];
            if (c.nextBlockOffset == 0) {
                if (!m_haveZeroNext) {
                    m_haveZeroNext = true;
                    m_firstZeroNext = c.offset;
                }
            } else if (i + 1 == n || c.nextBlockOffset != m_candidates[i + 1].offset) {
                m_predecessors.Insert(c.nextBlockOffset, c.offset);
            }
        }
        m_predecessorsBuilt = true;
    }
    if (blockOffset == 0)
        return m_haveZeroNext ? m_firstZeroNext : 0;
    std::optional<std::uint32_t> best = m_predecessors.Find(blockOffset);
    // A candidate left out of the map points at the candidate after it, so it can only be the
    // one just before blockOffset in the list.
    const auto it = std::lower_bound(
        m_candidates.begin(), m_candidates.end(), blockOffset,
        [](const BlockCandidate& c, std::uint32_t v) { return c.offset < v; });
    if (it != m_candidates.begin() && it != m_candidates.end() && it->offset == blockOffset) {
        const BlockCandidate& before = *std::prev(it);
        if (before.nextBlockOffset == blockOffset && (!best || before.offset < *best))
            best = before.offset;
    }
    return best.value_or(0);
}

void CDbxRecovery::RecoverLostMessages()
{
    SetStatus(texts::kPhase3);
    if (AbortRequested())
        return;
    const std::uint64_t count = m_candidates.size();
    SetProgress(0);
    for (std::uint64_t n = 1; n <= count; ++n) {
        if (AbortRequested())
            return;
        SetProgress(static_cast<int>(n * 100 / count));
        const BlockCandidate& cand = m_candidates[n - 1];
        if (cand.nextBlockOffset != 0)
            continue;
        if (m_claimed.Contains(cand.offset))
            continue;
        std::uint32_t w = cand.offset;
        std::uint32_t first = 0;
        do {
            if (AbortRequested())
                return;
            first = w;
            m_claimed.Append(w);
            w = FindPredecessor(w);
        } while (w != 0);
        m_claimed.Append(first);
        ExtractToSink(first, true);
    }
}

} // namespace mendora
