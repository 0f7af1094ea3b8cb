#include "dbx/SourceFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mendora {

CSourceFile::~CSourceFile()
{
    Close();
}

bool CSourceFile::Open(const std::string& path)
{
    Close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    std::uint64_t length = 0;
    if (S_ISREG(st.st_mode)) {
        length = static_cast<std::uint64_t>(st.st_size);
    } else if (S_ISBLK(st.st_mode)) {
        off_t end = ::lseek(fd, 0, SEEK_END);
        if (end < 0) {
            ::close(fd);
            return false;
        }
        length = static_cast<std::uint64_t>(end);
    } else {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_length = length;
    return true;
}

void CSourceFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_length = 0;
}

std::size_t CSourceFile::ReadAt(std::uint64_t offset, void* buf, std::size_t n) const
{
    auto* out = static_cast<unsigned char*>(buf);
    std::size_t got = 0;
    if (m_fd >= 0) {
        while (got < n && offset + got < m_length) {
            ssize_t r = ::pread(m_fd, out + got, n - got, static_cast<off_t>(offset + got));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                throw CReadError(std::string("read error: ") + std::strerror(errno));
            }
            if (r == 0)
                break;
            got += static_cast<std::size_t>(r);
        }
    }
    if (got < n)
        std::memset(out + got, 0, n - got);
    return got;
}

} // namespace mendora
