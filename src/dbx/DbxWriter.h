// Writes a new Outlook Express message database: the file header, the file info of a local
// folder, each message's data blocks followed by its message-information object, and at the end
// a balanced index tree over the objects in the order the messages were added.
//
// The file is written front to back through a buffer, so memory use does not grow with the
// messages' size; only the objects' offsets are kept until the tree is written. The header is
// written last, so a file whose writer never reached Finish lists no messages.
#pragma once

#include "dbx/DbxRecovery.h" // CWriteError

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mendora {

// What a message-information object says about a message besides where its text is.
struct DbxMessageFields {
    std::uint32_t flags = 0;
    std::optional<std::int64_t> sentTime;     // seconds since 1970 UTC
    std::optional<std::int64_t> receivedTime; // seconds since 1970 UTC
    std::optional<std::int64_t> savedTime;    // seconds since 1970 UTC
    std::string messageId;
    std::string subject;
    std::string senderName;
    std::string senderAddress;
    std::string receiverName;
    std::string receiverAddress;
};

class CDbxWriter {
public:
    static constexpr std::uint32_t kHeaderSize = 0x24BC;
    static constexpr std::uint32_t kFileInfoSize = 0x618;
    static constexpr std::uint32_t kBlockStride = 0x210;
    static constexpr std::uint32_t kBlockData = 0x200;
    static constexpr std::uint32_t kNodeSize = 0x27C;
    static constexpr unsigned kNodeEntries = 51;
    static constexpr std::uint64_t kMaxFileLength = 0xFFFFFFFFu; // offsets are 32-bit

    static constexpr std::uint32_t kFlagBodyDownloaded = 0x01;
    static constexpr std::uint32_t kFlagRead = 0x80;
    static constexpr std::uint32_t kFlagHasAttachment = 0x4000;

    // Takes over fd, a new empty file open for writing; folderName goes into the file info.
    // Nothing is written before the first message or Finish.
    CDbxWriter(int fd, std::string folderName);
    // Closes the file. One destroyed before Finish leaves a file without a valid header.
    ~CDbxWriter();
    CDbxWriter(const CDbxWriter&) = delete;
    CDbxWriter& operator=(const CDbxWriter&) = delete;

    // Appends a message whose text is the whole content of textFd (read from its start). False,
    // with nothing written, when the text is empty or the file would grow past 32-bit offsets.
    // Throws CReadError or CWriteError when reading or writing fails.
    bool AddMessage(int textFd, const DbxMessageFields& fields);
    // The same for text held in memory.
    bool AddMessage(std::string_view text, const DbxMessageFields& fields);

    // Writes the index tree and the header, and closes the file. Throws CWriteError.
    void Finish();

    std::uint32_t MessageCount() const { return static_cast<std::uint32_t>(m_infos.size()); }
    std::uint64_t Length() const { return m_cursor; }

    // The subject with its leading "Re:", "Fwd:" and the like taken off.
    static std::string NormalizedSubject(std::string_view subject);

private:
    class CReader;
    bool Reserve(std::uint64_t textSize, std::uint32_t& infoSize,
                 std::vector<std::uint8_t>& info, const DbxMessageFields& fields);
    void AppendMessage(CReader& reader, std::uint64_t textSize, std::vector<std::uint8_t>& info);
    void BuildInfo(std::uint32_t firstBlock, std::uint64_t textSize,
                   const DbxMessageFields& fields, std::vector<std::uint8_t>& out) const;
    std::uint32_t BuildNode(std::size_t begin, std::size_t end, std::uint32_t parent,
                            unsigned height, std::uint32_t base, std::vector<std::uint8_t>& nodes) const;
    static std::uint64_t TreeBytesBound(std::uint64_t values);

    void Put(const void* data, std::size_t n);
    void PutZeros(std::size_t n);
    void FlushBuffer();
    void WriteAt(std::uint64_t pos, const std::uint8_t* data, std::size_t n);

    int m_fd;
    std::string m_folderName;
    bool m_started = false;
    bool m_finished = false;
    std::uint64_t m_cursor = 0;       // length of the file as laid out so far
    std::uint64_t m_flushedTo = 0;    // bytes already handed to the file
    std::vector<std::uint8_t> m_buffer;
    std::vector<std::uint32_t> m_infos; // offsets of the objects, in message order
};

} // namespace mendora
