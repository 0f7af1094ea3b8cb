// The mailbox as the engine reads it: opened read-only and read only with positioned reads, so
// that the recovery worker and previews can read the same open file at once without sharing a
// file position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace mendora {

// A read that failed at the operating-system level (not a short read at the end of the file).
class CReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CSourceFile {
public:
    CSourceFile() = default;
    ~CSourceFile();
    CSourceFile(const CSourceFile&) = delete;
    CSourceFile& operator=(const CSourceFile&) = delete;

    // Opens a regular file or a block device for reading. False when it cannot be opened.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Length of the file as it was when opened.
    std::uint64_t Length() const { return m_length; }

    // Reads up to n bytes at offset into buf. Bytes past the end of the file are set to zero;
    // the result is the number of bytes that the file actually held. Throws CReadError when the
    // operating system reports a read error.
    std::size_t ReadAt(std::uint64_t offset, void* buf, std::size_t n) const;

private:
    int m_fd = -1;
    std::uint64_t m_length = 0;
};

} // namespace mendora
