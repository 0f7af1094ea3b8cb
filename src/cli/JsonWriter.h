// Minimal JSON text helpers for the command line's output.
#pragma once

#include <string>
#include <string_view>

namespace mendora::cli {

// A JSON string literal. Invalid UTF-8 becomes U+FFFD, so the output is always valid JSON.
std::string JsonString(std::string_view text);

// Cuts text to at most width code points, marking a cut with "...".
std::string FitColumn(std::string_view text, std::size_t width);

} // namespace mendora::cli
