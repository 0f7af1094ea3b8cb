#include "app/SingleInstance.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace mendora {

QString InstanceGuardName()
{
    const QString overridden = qEnvironmentVariable("MENDORA_INSTANCE_NAME");
    if (!overridden.isEmpty())
        return overridden;
    return QStringLiteral("Global\\{3C5A0E92-7B14-4D6F-A8E1-52F09B6D4C17}");
}

#ifdef _WIN32

CSingleInstanceGuard::CSingleInstanceGuard(const QString& name) : m_name(name)
{
    m_handle = CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(name.utf16()));
    m_alreadyExists = GetLastError() == ERROR_ALREADY_EXISTS;
}

CSingleInstanceGuard::~CSingleInstanceGuard()
{
    if (m_handle)
        CloseHandle(m_handle);
}

#else

CSingleInstanceGuard::CSingleInstanceGuard(const QString& name) : m_name(name)
{
    m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return;

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Abstract namespace: a leading NUL, then the name (cut to the room there is).
    const QByteArray bytes = name.toUtf8();
    const std::size_t room = sizeof(address.sun_path) - 1;
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), room);
    std::memcpy(address.sun_path + 1, bytes.constData(), length);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);

    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
        m_alreadyExists = errno == EADDRINUSE;
        ::close(m_socket);
        m_socket = -1;
    }
}

CSingleInstanceGuard::~CSingleInstanceGuard()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

#endif

} // namespace mendora
