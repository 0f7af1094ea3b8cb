// The catalogue of recovered messages: the one store of the rows the user browses and saves.
// Rows are inserted at the top, so row 0 is the most recently recovered message.
//
// The recovery run feeds it through CCatalogueSink, which parses messages on helper threads
// while the run goes on extracting, and adds the rows in exactly the order the run extracted
// them. Rows may be read from another thread while the run adds them.
#pragma once

#include "catalogue/RecoveredMessage.h"
#include "dbx/RecoveryObserver.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace mendora {

class CMimeMessage;

class ICatalogueObserver {
public:
    virtual ~ICatalogueObserver() = default;
    // A row was inserted at index 0; the counter text follows.
    virtual void OnRowInserted(const RecoveredMessage& row) = 0;
    virtual void OnCounterText(std::string_view text) = 0;
    virtual void OnCleared() {}
};

class CCatalogue {
public:
    static constexpr std::string_view kCounterPrefix = "Emails          :  ";

    void SetObserver(ICatalogueObserver* observer) { m_observer = observer; }

    // Reads the extracted message at path and adds its row unless From, To and Subject are all
    // empty. True when a row was added.
    bool AddRecoveredMessage(const std::string& path, bool deleted, std::uint32_t firstBlock);
    // The same for message text held in memory.
    bool AddRecoveredText(std::string_view text, bool deleted, std::uint32_t firstBlock);

    // Turns a parsed message into its row; none when From, To and Subject are all empty.
    static std::optional<RecoveredMessage> MakeRow(const CMimeMessage& message, bool deleted,
                                                   std::uint32_t firstBlock);
    // Inserts a finished row at index 0 and updates the counter.
    void InsertRow(RecoveredMessage row);

    void Clear();
    std::size_t RowCount() const;
    // Row i in list order (0 = top).
    RecoveredMessage Row(std::size_t index) const;
    // The k-th row added (0 = the first one, now at the bottom). Rows are never removed but by
    // Clear, so k names the same row for as long as the catalogue holds it.
    RecoveredMessage RowByArrival(std::size_t k) const;
    // Every row in list order.
    std::vector<RecoveredMessage> Rows() const;
    // Calls fn(row) for every row in list order, without copying them.
    template <class Fn>
    void ForEachRow(Fn&& fn) const
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_rows.rbegin(); it != m_rows.rend(); ++it)
            fn(*it);
    }
    std::string CounterText() const;

private:
    bool AddParsed(const std::optional<CMimeMessage>& message, bool deleted,
                   std::uint32_t firstBlock);

    mutable std::mutex m_mutex;
    std::vector<RecoveredMessage> m_rows; // oldest first; row i is m_rows[size - 1 - i]
    ICatalogueObserver* m_observer = nullptr;
};

// The run's sink: parses extracted messages on parser threads and adds their rows to the
// catalogue in the order the run handed them over. No recovered message touches the disk.
class CCatalogueSink : public IRecoveredMessageSink {
public:
    // parsers: number of parser threads (0 = one per processor).
    explicit CCatalogueSink(CCatalogue& catalogue, unsigned parsers = 0);
    ~CCatalogueSink() override;
    CCatalogueSink(const CCatalogueSink&) = delete;
    CCatalogueSink& operator=(const CCatalogueSink&) = delete;

    void AddRecoveredMessage(std::string text, bool deleted, std::uint32_t firstBlock) override;
    void Flush() override;
    void AfterEarlierMessages(std::function<void()> deliver) override;

private:
    struct Job {
        std::uint64_t sequence;
        std::string text;
        bool deleted;
        std::uint32_t firstBlock;
    };
    // What waits to be taken in, in hand-over order: a row (none when the message gave none) or
    // a callback to run in its place.
    struct Done {
        std::optional<RecoveredMessage> row;
        std::function<void()> deliver;
        std::size_t bytes = 0; // of the message text, while it is held
    };
    void ParserLoop();
    void Commit(std::uint64_t sequence, Done done);

    CCatalogue& m_catalogue;
    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_spaceReady;
    std::condition_variable m_committed;
    std::deque<Job> m_jobs;
    std::map<std::uint64_t, Done> m_done; // parsed, not yet in order
    std::size_t m_bytesInFlight = 0;
    std::uint64_t m_nextSequence = 0;
    std::uint64_t m_nextCommit = 0;
    bool m_stopping = false;
    bool m_committing = false;
    bool m_producerWaiting = false;
    unsigned m_idleParsers = 0;
    unsigned m_flushWaiters = 0;
    std::vector<std::thread> m_parsers;
};

} // namespace mendora
