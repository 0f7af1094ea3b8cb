// One row of the message list: a recovered message with its eight columns. The first-block
// offset is the row's only link back to the mailbox.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mendora {

enum class MessageStatus { Existing, Deleted };

inline std::string_view MessageStatusText(MessageStatus s)
{
    return s == MessageStatus::Deleted ? "Deleted" : "Existing";
}

struct RecoveredMessage {
    enum Column {
        kColMark = 0,
        kColAttachment = 1,
        kColFrom = 2,
        kColTo = 3,
        kColSubject = 4,
        kColDate = 5,
        kColStatus = 6,
        kColOffset = 7,
        kColumnCount = 8
    };

    std::string from;
    std::string to;
    std::string subject;
    std::optional<std::int64_t> receivedTime; // seconds since 1970 UTC
    std::string date;                         // receivedTime as text in the user's locale
    MessageStatus status = MessageStatus::Existing;
    bool hasAttachment = false; // at least one attachment with a non-empty file name
    std::uint32_t firstBlock = 0;

    // The text of a column (columns 0 and 1 carry images, not text).
    std::string ColumnText(int column) const;
    // The image of a column: 1 for the message mark, 2 for the attachment mark, else -1.
    int ColumnImage(int column) const;
};

// Date and time as text in the user's default locale (LC_TIME); empty for no time.
std::string LocaleDateText(std::optional<std::int64_t> unixTime);

} // namespace mendora
