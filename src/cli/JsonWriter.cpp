#include "cli/JsonWriter.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace mendora::cli {

namespace {

// Length of the valid UTF-8 sequence at the start of s, or 0 when it is not one.
std::size_t Utf8Sequence(std::string_view s)
{
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (b0 < 0x80)
        return 1;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    const bool overlong = (n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
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
