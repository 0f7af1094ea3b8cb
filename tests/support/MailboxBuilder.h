// Builds mailbox files for tests, samples and benchmarks.
//
// CMailboxImage lays single structures at chosen offsets, broken ones included. CMailboxWriter
// writes a whole well-formed mailbox the way the mail client does: header, balanced index tree,
// message-information objects, block chains, and deleted messages as the client leaves them.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace mendora::test {

class CMailboxImage {
public:
    std::vector<std::uint8_t> bytes;

    void EnsureSize(std::uint64_t size);
    void Put8(std::uint64_t at, std::uint8_t v);
    void Put16(std::uint64_t at, std::uint16_t v);
    void Put32(std::uint64_t at, std::uint32_t v);
    void PutBytes(std::uint64_t at, std::string_view data);

    // The file header with the signature words, the index count and the index root.
    void Header(std::uint32_t indexCount, std::uint32_t indexRoot);

    struct Entry {
        std::uint32_t value = 0;
        std::uint32_t child = 0;
        std::uint32_t childCount = 0;
    };
    // An index node; entryCount < 0 means entries.size().
    void Node(std::uint32_t at, std::uint32_t parent, const std::vector<Entry>& entries,
              std::uint32_t firstChild = 0, std::uint32_t firstChildCount = 0,
              int entryCount = -1);

    struct Attr {
        std::uint8_t id = 0;
        bool isInline = false;
        std::uint32_t inlineValue = 0; // 24 bits, when inline
        std::string data;              // the value's bytes in the data area, when not inline
    };
    static Attr Inline(std::uint8_t id, std::uint32_t value) { return {id, true, value, {}}; }
    static Attr Data(std::uint8_t id, std::string bytes) { return {id, false, 0, std::move(bytes)}; }
    static Attr DataU32(std::uint8_t id, std::uint32_t value);
    // A message-information object; data-area values are laid out in entry order. Returns its
    // size, padded to a multiple of 4.
    std::uint32_t Info(std::uint32_t at, const std::vector<Attr>& attrs);
    // A message-information object from raw parts.
    void InfoRaw(std::uint32_t at, std::uint32_t bodyLength, std::uint8_t attrCount,
                 std::string_view body);

    void Block(std::uint32_t at, std::uint32_t blockSize, std::uint32_t dataLength,
               std::uint32_t next, std::string_view data);
    // Spreads text over blocks at the given offsets, 512 bytes each and the rest in the last;
    // the last block gets lastBlockSize.
    void Chain(const std::vector<std::uint32_t>& offsets, std::string_view text,
               std::uint32_t lastBlockSize = 512);
    // The same chain as the mail client leaves it after deleting the message.
    void DeletedChain(const std::vector<std::uint32_t>& offsets, std::string_view text);

    void Save(const std::string& path) const;
};

// What the mail client leaves of a deleted message when it is recovered: the first four data
// bytes of every block hold the previous block's offset, each block gives 512 bytes, and every
// zero byte reads as '_'.
std::string DeletedMessageText(const std::vector<std::uint32_t>& offsets, std::string_view text,
                               std::string_view staleFill);

struct WrittenMessage {
    std::string text;
    bool deleted = false;
    std::uint32_t firstBlock = 0;
    std::vector<std::uint32_t> blocks;
};

class CMailboxWriter {
public:
    // Messages are written in the order added; existing ones are listed by the index in the
    // same order. scatterPercent of multi-block chains get their blocks out of file order.
    void AddMessage(std::string text, bool deleted = false);
    void SetScatterPercent(unsigned percent, std::uint32_t seed);
    void SetFolderName(std::string name) { m_folderName = std::move(name); }

    // Lays out the mailbox. The messages' first blocks and block lists are filled in.
    std::vector<std::uint8_t> Build();
    void Write(const std::string& path);

    const std::vector<WrittenMessage>& Messages() const { return m_messages; }

private:
    std::uint32_t BuildTree(std::vector<std::uint8_t>& file, const std::vector<std::uint32_t>& values,
                            std::size_t begin, std::size_t end, std::uint32_t parent,
                            std::uint32_t& next);

    std::vector<WrittenMessage> m_messages;
    unsigned m_scatterPercent = 0;
    std::mt19937 m_rng{1};
    std::string m_folderName = "Inbox";
};

// A realistic message text (headers, optional multipart with a base64 attachment), CR LF.
std::string MakeMessageText(std::mt19937& rng, unsigned index);

} // namespace mendora::test
