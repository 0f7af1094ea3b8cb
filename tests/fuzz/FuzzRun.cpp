// libFuzzer target (tests/fuzz/run.sh): a whole recovery run, index walk, byte scan and chain
// rebuild, over any bytes; every message must fit in the file it came from.
#include "dbx/DbxRecovery.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

class CNullObserver : public mendora::IRecoveryObserver {
public:
    void OnStatusText(std::string_view) override {}
    void OnProgressPosition(int p) override
    {
        if (p < 0 || p > 100)
            std::abort();
    }
    void OnMessageBox(std::string_view, std::string_view, unsigned) override {}
};

class CCheckingSink : public mendora::IRecoveredMessageSink {
public:
    explicit CCheckingSink(std::size_t fileSize) : m_fileSize(fileSize) {}
    void AddRecoveredMessage(std::string text, bool, std::uint32_t) override
    {
        if (text.size() > m_fileSize)
            std::abort();
    }

private:
    std::size_t m_fileSize;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = memfd_create("mailbox", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t w = write(fd, data + done, size - done);
        if (w <= 0)
            break;
        done += static_cast<std::size_t>(w);
    }
    {
        mendora::CDbxRecovery engine;
        CNullObserver observer;
        CCheckingSink sink(size);
        engine.Run("/proc/self/fd/" + std::to_string(fd), observer, sink);
    }
    close(fd);
    return 0;
}
