#include "cli/JsonWriter.h"

#include "catalogue/Utf8.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace mendora::cli {

namespace {

// Length of the valid UTF-8 sequence at the start of s, or 0 when it is not one.
std::size_t Utf8Sequence(std::string_view s)
{
    return Utf8SequenceLength(s, 0);
}

} // namespace

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    while (!text.empty()) {
        const std::size_t n = Utf8Sequence(text);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            text.remove_prefix(1);
            continue;
        }
        const char c = text[0];
        if (n == 1) {
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
                    out += buf;
                } else {
                    out += c;
                }
            }
        } else {
            out.append(text.substr(0, n));
        }
        text.remove_prefix(n);
    }
    out += '"';
    return out;
}

std::string FitColumn(std::string_view text, std::size_t width)
{
    std::vector<std::string> points;
    while (!text.empty()) {
        std::size_t n = Utf8Sequence(text);
        if (n == 0)
            points.emplace_back("\xEF\xBF\xBD");
        else if (n == 1 && static_cast<unsigned char>(text[0]) < 0x20)
            points.emplace_back(" ");
        else
            points.emplace_back(text.substr(0, n));
        text.remove_prefix(n == 0 ? 1 : n);
    }
    std::string out;
    if (points.size() > width) {
        const std::size_t keep = width > 3 ? width - 3 : 0;
        for (std::size_t i = 0; i < keep; ++i)
            out += points[i];
        out.append(width - keep, '.');
        return out;
    }
    for (const std::string& p : points)
        out += p;
    out.append(width - points.size(), ' ');
    return out;
}

} // namespace mendora::cli
