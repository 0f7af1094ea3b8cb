#include "catalogue/Catalogue.h"

#include "catalogue/MimeService.h"

#include <algorithm>

namespace mendora {

// ---------------------------------------------------------------------------------------------
// CCatalogue

std::optional<RecoveredMessage> CCatalogue::MakeRow(const CMimeMessage& message, bool deleted,
                                                    std::uint32_t firstBlock)
{
    RecoveredMessage row;
    row.from = message.From();
    row.to = message.To();
    row.subject = message.Subject();
    if (row.from.empty() && row.to.empty() && row.subject.empty())
        return std::nullopt;
    const std::vector<std::string> names = message.AttachmentFileNames();
    row.hasAttachment = std::any_of(names.begin(), names.end(),
                                    [](const std::string& n) { return !n.empty(); });
    row.status = deleted ? MessageStatus::Deleted : MessageStatus::Existing;
    row.firstBlock = firstBlock;
    row.receivedTime = message.ReceivedTime();
    row.date = LocaleDateText(row.receivedTime);
    return row;
}

bool CCatalogue::AddRecoveredMessage(const std::string& path, bool deleted,
                                     std::uint32_t firstBlock)
{
    return AddParsed(OpenMimeMessage(path), deleted, firstBlock);
}

bool CCatalogue::AddRecoveredText(std::string_view text, bool deleted, std::uint32_t firstBlock)
{
    return AddParsed(ParseMimeMessage(text), deleted, firstBlock);
}

bool CCatalogue::AddParsed(const std::optional<CMimeMessage>& message, bool deleted,
                           std::uint32_t firstBlock)
{
    if (!message)
        return false;
    std::optional<RecoveredMessage> row = MakeRow(*message, deleted, firstBlock);
    if (!row)
        return false;
    InsertRow(std::move(*row));
    return true;
}

void CCatalogue::InsertRow(RecoveredMessage row)
{
    std::string counter;
    std::optional<RecoveredMessage> shown;
    {
        std::lock_guard lock(m_mutex);
        if (m_observer)
            shown = row;
        m_rows.push_back(std::move(row));
        counter = std::string(kCounterPrefix) + std::to_string(m_rows.size());
    }
    if (m_observer) {
        m_observer->OnRowInserted(*shown);
        m_observer->OnCounterText(counter);
    }
}

void CCatalogue::Clear()
{
    {
        std::lock_guard lock(m_mutex);
        m_rows.clear();
    }
    if (m_observer) {
        m_observer->OnCleared();
        m_observer->OnCounterText(std::string(kCounterPrefix) + "0");
    }
}

std::size_t CCatalogue::RowCount() const
{
    std::lock_guard lock(m_mutex);
    return m_rows.size();
}

RecoveredMessage CCatalogue::Row(std::size_t index) const
{
    std::lock_guard lock(m_mutex);
    return m_rows.at(m_rows.size() - 1 - index);
}

RecoveredMessage CCatalogue::RowByArrival(std::size_t k) const
{
    std::lock_guard lock(m_mutex);
    return m_rows.at(k);
}

std::vector<RecoveredMessage> CCatalogue::Rows() const
{
    std::lock_guard lock(m_mutex);
    return std::vector<RecoveredMessage>(m_rows.rbegin(), m_rows.rend());
}

std::string CCatalogue::CounterText() const
{
    return std::string(kCounterPrefix) + std::to_string(RowCount());
}

// ---------------------------------------------------------------------------------------------
// CCatalogueSink

namespace {
// Messages handed over but not yet in the catalogue. The run may get well ahead of the parsers
// (so that they stay busy while it scans the file for lost blocks) within these bounds; a full
// pipeline lets it go on once it has drained to half, so that the run and the parsers do not
// wake each other for every single message.
constexpr std::uint64_t kMaxInFlight = 16384;
constexpr std::uint64_t kResumeInFlight = kMaxInFlight / 2;
constexpr std::size_t kMaxBytesInFlight = 64 * 1024 * 1024;
constexpr std::size_t kResumeBytesInFlight = kMaxBytesInFlight / 2;
} // namespace

CCatalogueSink::CCatalogueSink(CCatalogue& catalogue, unsigned parsers) : m_catalogue(catalogue)
{
    if (parsers == 0)
        parsers = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < parsers; ++i)
        m_parsers.emplace_back([this] { ParserLoop(); });
}

CCatalogueSink::~CCatalogueSink()
{
    Flush();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_workReady.notify_all();
    for (std::thread& t : m_parsers)
        t.join();
}

void CCatalogueSink::AddRecoveredMessage(std::string text, bool deleted, std::uint32_t firstBlock)
{
    std::unique_lock lock(m_mutex);
    if (m_nextSequence - m_nextCommit >= kMaxInFlight || m_bytesInFlight >= kMaxBytesInFlight) {
        m_producerWaiting = true;
        m_spaceReady.wait(lock, [this] {
            return m_nextSequence - m_nextCommit <= kResumeInFlight &&
                   m_bytesInFlight <= kResumeBytesInFlight;
        });
        m_producerWaiting = false;
    }
    m_bytesInFlight += text.size();
    m_jobs.push_back({m_nextSequence++, std::move(text), deleted, firstBlock});
    const bool wake = m_idleParsers > 0;
    lock.unlock();
    if (wake)
        m_workReady.notify_one();
}

void CCatalogueSink::Flush()
{
    std::unique_lock lock(m_mutex);
    ++m_flushWaiters;
    m_committed.wait(lock, [this] { return m_nextCommit == m_nextSequence; });
    --m_flushWaiters;
}

void CCatalogueSink::AfterEarlierMessages(std::function<void()> deliver)
{
    std::uint64_t sequence = 0;
    {
        std::lock_guard lock(m_mutex);
        sequence = m_nextSequence++;
    }
    Commit(sequence, Done{std::nullopt, std::move(deliver), 0});
}

void CCatalogueSink::ParserLoop()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            ++m_idleParsers;
            m_workReady.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            --m_idleParsers;
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        Done done;
        done.bytes = job.text.size();
        if (std::optional<CMimeMessage> message = ParseMimeMessage(job.text))
            done.row = CCatalogue::MakeRow(*message, job.deleted, job.firstBlock);
        Commit(job.sequence, std::move(done));
    }
}

// Parsed rows wait here until every earlier one is in; whichever parser finds the next one in
// line commits the whole run of them, so rows enter the catalogue in the order handed over.
void CCatalogueSink::Commit(std::uint64_t sequence, Done done)
{
    std::unique_lock lock(m_mutex);
    m_done.emplace(sequence, std::move(done));
    if (m_committing)
        return;
    m_committing = true;
    while (!m_done.empty() && m_done.begin()->first == m_nextCommit) {
        Done next = std::move(m_done.begin()->second);
        m_done.erase(m_done.begin());
        lock.unlock();
        if (next.row)
            m_catalogue.InsertRow(std::move(*next.row));
        if (next.deliver)
            next.deliver();
        lock.lock();
        ++m_nextCommit;
        m_bytesInFlight -= next.bytes;
        if (m_producerWaiting && m_nextSequence - m_nextCommit <= kResumeInFlight &&
            m_bytesInFlight <= kResumeBytesInFlight)
            m_spaceReady.notify_one();
    }
    m_committing = false;
    if (m_flushWaiters > 0)
        m_committed.notify_all();
}

} // namespace mendora
