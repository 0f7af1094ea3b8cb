// The guard that lets one instance of the program run per machine, whichever user started it.
// On Linux it is a socket bound to the guard's name in the abstract namespace, which every
// process of the machine shares and which the system releases when the process ends; on
// Windows a named mutex in the global namespace.
#pragma once

#include <QString>

namespace mendora {

// The guard's name; MENDORA_INSTANCE_NAME replaces it (tests run side by side with their own).
QString InstanceGuardName();

class CSingleInstanceGuard {
public:
    explicit CSingleInstanceGuard(const QString& name = InstanceGuardName());
    ~CSingleInstanceGuard();
    CSingleInstanceGuard(const CSingleInstanceGuard&) = delete;
    CSingleInstanceGuard& operator=(const CSingleInstanceGuard&) = delete;

    // True when another holder of the name existed when the guard was created.
    bool AlreadyExists() const { return m_alreadyExists; }
    const QString& Name() const { return m_name; }

private:
    QString m_name;
    bool m_alreadyExists = false;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_socket = -1;
#endif
};

} // namespace mendora
