// Writes a large, realistic mailbox for the benchmarks: the same seed always gives the same
// file, byte for byte.
//
//   mendora-make-mailbox OUT.dbx [--messages N] [--seed S] [--deleted-percent P]
//                                [--scatter-percent Q]
//
// Messages come from MakeMessageText (headers, multipart, base64 attachments). P percent of
// them are deleted the way the mail client deletes them; Q percent of the multi-block chains
// get their blocks out of file order.
#include "MailboxBuilder.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <random>
#include <string>
#include <string_view>

using mendora::test::CMailboxWriter;
using mendora::test::MakeMessageText;

namespace {

struct Options {
    std::string out;
    unsigned messages = 100000;
    std::uint32_t seed = 1;
    unsigned deletedPercent = 10;
    unsigned scatterPercent = 20;
};

int Usage()
{
    std::cerr << "usage: mendora-make-mailbox OUT.dbx [--messages N] [--seed S] "
                 "[--deleted-percent P] [--scatter-percent Q]\n";
    return 2;
}

bool ParseUnsigned(std::string_view text, unsigned long long max, unsigned long long& value)
{
    const auto* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && value <= max;
}

bool Parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a.starts_with("--")) {
            if (i + 1 >= argc)
                return false;
            unsigned long long v = 0;
            const std::string_view value = argv[++i];
            if (a == "--messages" && ParseUnsigned(value, 1000000, v))
                o.messages = static_cast<unsigned>(v);
            else if (a == "--seed" && ParseUnsigned(value, 0xFFFFFFFFull, v))
                o.seed = static_cast<std::uint32_t>(v);
            else if (a == "--deleted-percent" && ParseUnsigned(value, 100, v))
                o.deletedPercent = static_cast<unsigned>(v);
            else if (a == "--scatter-percent" && ParseUnsigned(value, 100, v))
                o.scatterPercent = static_cast<unsigned>(v);
            else
                return false;
        } else if (o.out.empty()) {
            o.out = a;
        } else {
            return false;
        }
    }
    return !o.out.empty();
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!Parse(argc, argv, o))
        return Usage();

    const auto start = std::chrono::steady_clock::now();
    // Texts and the deleted choice draw from separate generators, so that changing the
    // deleted share leaves every text as it was.
    std::mt19937 textRng(o.seed);
    std::mt19937 deleteRng(o.seed ^ 0x5DEECE6Du);
    CMailboxWriter writer;
    writer.SetScatterPercent(o.scatterPercent, o.seed + 1);
    std::uint64_t textBytes = 0;
    std::uint64_t roughFileBytes = 0x24BC + 0x618;
    unsigned deleted = 0;
    for (unsigned i = 0; i < o.messages; ++i) {
        std::string text = MakeMessageText(textRng, i + 1);
        const bool isDeleted = deleteRng() % 100 < o.deletedPercent;
        textBytes += text.size();
        // blocks of 0x210 bytes, room for an information object and the message's tree entry
        roughFileBytes += (text.size() + 511) / 512 * 0x210 + 512;
        deleted += isDeleted ? 1 : 0;
        writer.AddMessage(std::move(text), isDeleted);
    }
    // Offsets in the file are 32 bits wide.
    if (roughFileBytes > 0xFFFFFFFFull) {
        std::cerr << "mendora-make-mailbox: " << o.messages
                  << " messages would make a mailbox beyond 4 GiB\n";
        return 1;
    }

    try {
        writer.Write(o.out);
    } catch (const std::exception& e) {
        std::cerr << "mendora-make-mailbox: " << e.what() << "\n";
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::uint64_t fileBytes = 0;
    if (std::FILE* f = std::fopen(o.out.c_str(), "rb")) {
        if (std::fseek(f, 0, SEEK_END) == 0)
            fileBytes = static_cast<std::uint64_t>(std::ftell(f));
        std::fclose(f);
    }
    std::printf("wrote %s: %u messages (%u deleted), %llu bytes of message text, %llu bytes "
                "(%.1f MB) of mailbox, seed %u, scatter %u%%, in %.2f s\n",
                o.out.c_str(), o.messages, deleted, static_cast<unsigned long long>(textBytes),
                static_cast<unsigned long long>(fileBytes), static_cast<double>(fileBytes) / 1e6,
                o.seed, o.scatterPercent, seconds);
    return 0;
}
