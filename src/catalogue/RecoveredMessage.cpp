#include "catalogue/RecoveredMessage.h"

#include <ctime>

namespace mendora {

std::string RecoveredMessage::ColumnText(int column) const
{
    switch (column) {
    case kColFrom:
        return from;
    case kColTo:
        return to;
    case kColSubject:
        return subject;
    case kColDate:
        return date;
    case kColStatus:
        return std::string(MessageStatusText(status));
    case kColOffset:
        return std::to_string(firstBlock);
    default:
        return {};
    }
}

int RecoveredMessage::ColumnImage(int column) const
{
    if (column == kColMark)
        return 1;
    if (column == kColAttachment && hasAttachment)
        return 2;
    return -1;
}

std::string LocaleDateText(std::optional<std::int64_t> unixTime)
{
    if (!unixTime)
        return {};
    const auto t = static_cast<std::time_t>(*unixTime);
    std::tm tm{};
    if (!::localtime_r(&t, &tm))
        return {};
    char buf[128];
    // The locale's own date and time, two-digit year and all, is what the user expects here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-y2k"
    const std::size_t n = std::strftime(buf, sizeof buf, "%x %X", &tm);
#pragma GCC diagnostic pop
    return std::string(buf, n);
}

} // namespace mendora
