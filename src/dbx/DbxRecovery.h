// The recovery engine: one per scan. It owns the open mailbox, its private temp folder, the
// claimed-block record and the scan's candidate list, and runs the three phases of a recovery
// run: the index walk, the byte scan for data blocks, and the rebuild of the chains that no
// extracted message used.
//
// Threads: the run's phases belong to the worker thread. ExtractMessageTo may be called from
// another thread at the same time: it reads the source with positioned reads only and touches
// no engine state, and its zero-fill mark is its own, never the run's.
#pragma once

#include "dbx/BlockHeader.h"
#include "dbx/DbxHeader.h"
#include "dbx/OffsetMap.h"
#include "dbx/RecoveryObserver.h"
#include "dbx/SourceFile.h"
#include "dbx/TempFolder.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace mendora {

// A failure to write an output file.
class CWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A position of the mailbox whose first four bytes hold the position itself, with the three
// block-header fields that follow it.
struct BlockCandidate {
    std::uint32_t offset = 0;
    std::uint32_t blockSize = 0;
    std::uint32_t dataLength = 0;
    std::uint32_t nextBlockOffset = 0;
};

class CDbxRecovery {
public:
    // Deepest level below the root at which an index node is still read.
    static constexpr unsigned kMaxIndexDepth = 64;
    static constexpr std::uint32_t kWindowSize = 65536;
    static constexpr std::uint32_t kWindowStep = 65532; // positions examined per window

    CDbxRecovery();
    virtual ~CDbxRecovery();
    CDbxRecovery(const CDbxRecovery&) = delete;
    CDbxRecovery& operator=(const CDbxRecovery&) = delete;

    // --- the source file -------------------------------------------------------------------
    bool OpenSource(const std::string& path);
    void CloseSource() { m_source.Close(); }
    bool IsSourceOpen() const { return m_source.IsOpen(); }
    std::uint64_t SourceLength() const { return m_source.Length(); }

    // --- the run (worker thread) -----------------------------------------------------------
    // Opens the mailbox and runs the phases, reporting to observer and sink. False when the
    // file could not be opened. The file stays open afterwards.
    bool Run(const std::string& sourcePath, IRecoveryObserver& observer,
             IRecoveredMessageSink& sink);

    void RequestAbort() { m_abortRequested.store(true, std::memory_order_relaxed); }
    void ClearAbort() { m_abortRequested.store(false, std::memory_order_relaxed); }
    bool AbortRequested() const { return m_abortRequested.load(std::memory_order_relaxed); }

    // The save's stop flag, raised by the save page's Stop and by exit; read by the save.
    void RequestSaveStop() { m_saveStopRequested.store(true, std::memory_order_relaxed); }
    bool SaveStopRequested() const { return m_saveStopRequested.load(std::memory_order_relaxed); }

    // --- phase 1: index walk and message-information objects ------------------------------
    // Fills the offset array from the tree at root. False (and an empty array) when the walk
    // failed or the count cannot be what the file holds.
    bool CollectIndexOffsets(std::uint32_t rootOffset, std::uint32_t count);
    void WalkIndexNode(std::uint32_t parentOffset, std::uint32_t nodeOffset,
                       std::uint32_t baseSlot, std::uint32_t expectedCount);
    const std::vector<std::uint32_t>& IndexOffsets() const { return m_offsets; }

    void ReadMessageInfo(std::uint32_t offset);
    std::uint32_t GetAttributeMask() const { return m_mask; }
    std::uint32_t GetAttributeValue(unsigned id) const;

    // --- extraction -------------------------------------------------------------------------
    // Copies the chain at firstBlock into folder + name, claiming every block visited. name is
    // in/out: it returns the name actually used. False when the chain holds no data.
    bool ExtractMessage(const std::string& folder, std::string& name, std::uint32_t firstBlock);
    // The same into memory: text receives what would have been written.
    bool ExtractMessageToBuffer(std::uint32_t firstBlock, std::string& text);
    // The zero-fill mark of the latest ExtractMessage or ExtractMessageToBuffer.
    bool ZeroFillMark() const { return m_zeroFillMark; }

    // Copies the chain at firstBlock to path; claims nothing and leaves the run's mark alone.
    // False when the offset is 0, the chain holds no data or the file cannot be created. Throws
    // CReadError or CWriteError when reading or writing fails part way.
    bool ExtractMessageTo(const std::string& path, std::uint32_t firstBlock,
                          bool* zeroFillMark = nullptr) const;

    const CClaimedBlocks& ClaimedBlocks() const { return m_claimed; }
    const std::string& TempFolder() const { return m_tempFolder.Path(); }

    // --- phases 2 and 3: the lost-message scan ----------------------------------------------
    void ScanForBlocks();
    void RecoverLostMessages();
    std::uint32_t FindPredecessor(std::uint32_t blockOffset);
    const std::vector<BlockCandidate>& CandidateList() const { return m_candidates; }

private:
    struct AttributeSlot {
        bool present = false;
        std::uint32_t position = 0; // inside the body
        std::uint32_t span = 0;
    };

    // The blocks of one chain as the two passes of an extraction see them.
    struct CopyBlock {
        std::uint32_t dataAt;   // file position of the block's data
        std::uint32_t length;   // data length capped at 512
    };
    // A 64 KiB stretch of the file read at once: chains mostly run through nearby blocks, so
    // most header and data reads are served from it instead of costing a system call each.
    struct ReadWindow {
        std::vector<std::uint8_t> bytes;
        std::uint64_t start = 0;
        std::uint64_t size = 0; // 0: empty
    };
    struct ChainPlan {
        ReadWindow window;
        std::uint64_t total = 0;      // sum of the data lengths, uncapped
        bool zeroFill = false;        // the last header read had a block size other than 512
        std::vector<CopyBlock> copy;  // what the copy pass reads, in chain order
    };

    std::size_t WindowRead(ReadWindow& w, std::uint64_t pos, std::uint8_t* out, std::size_t n) const;
    void PlanChain(std::uint32_t firstBlock, CClaimedBlocks* claim, ChainPlan& plan) const;
    template <class Write>
    void CopyChain(ChainPlan& plan, Write&& write) const;

    void WalkNode(std::uint32_t parentOffset, std::uint32_t nodeOffset, std::uint64_t baseSlot,
                  std::uint64_t expectedCount, unsigned depth);
    void FindExistingMessages();
    void ExtractToSink(std::uint32_t firstBlock, bool deletedFromMark);

    void SetStatus(std::string_view text);
    void SetProgress(int position);

    CSourceFile m_source;
    CTempFolder m_tempFolder;

    // index walk
    std::uint32_t m_capacity = 0;
    std::vector<std::uint32_t> m_offsets;
    std::uint32_t m_currentOffset = 0;
    std::uint64_t m_nodeBudget = 0;
    std::uint64_t m_nodesRead = 0;

    CClaimedBlocks m_claimed;

    // the last decoded message-information object
    std::array<AttributeSlot, 32> m_slots{};
    std::uint32_t m_bodyLength = 0;
    std::uint8_t m_attributeCount = 0;
    std::vector<std::uint8_t> m_body;
    std::uint32_t m_mask = 0;

    std::vector<BlockCandidate> m_candidates;
    COffsetMap m_predecessors; // next block offset -> first candidate naming it, see FindPredecessor
    bool m_predecessorsBuilt = false;
    bool m_haveZeroNext = false;
    std::uint32_t m_firstZeroNext = 0;

    bool m_zeroFillMark = false;
    std::atomic<bool> m_abortRequested{false};
    std::atomic<bool> m_saveStopRequested{false};

    // reporting during Run
    IRecoveryObserver* m_observer = nullptr;
    IRecoveredMessageSink* m_sink = nullptr;
    int m_lastProgress = -1;
    ChainPlan m_plan; // reused by the worker's extractions
};

} // namespace mendora
