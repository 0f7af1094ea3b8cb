// libFuzzer target (tests/fuzz/run.sh mime): the message service over any message text; every
// property must read without a crash and give valid UTF-8.
#include "catalogue/MimeService.h"

#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Valid UTF-8, U+0000 included (GLib's check refuses NUL bytes, which bodies may hold).
void CheckUtf8(std::string s)
{
    for (char& c : s)
        if (c == '\0')
            c = ' ';
    if (!g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (std::optional<mendora::CMimeMessage> m = mendora::ParseMimeMessage(text)) {
        CheckUtf8(m->From());
        CheckUtf8(m->To());
        CheckUtf8(m->CC());
        CheckUtf8(m->Subject());
        CheckUtf8(m->TextBody());
        CheckUtf8(m->HTMLBody());
        for (const std::string& name : m->AttachmentFileNames())
            CheckUtf8(name);
        (void)m->ReceivedTime();
    }
    return 0;
}
