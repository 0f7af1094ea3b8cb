// A private folder that one engine creates for itself inside the user's temporary folder
// (mode 0700), so that fixed file names inside it cannot be planted by another local user.
// It is removed, with everything in it, when the object is destroyed.
#pragma once

#include <string>

namespace mendora {

class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder with a trailing separator; empty when it could not be created.
    const std::string& Path() const { return m_path; }

    // The user's temporary folder: $TMPDIR when set, else /tmp.
    static std::string UserTempFolder();

private:
    std::string m_path;
};

// Creates or truncates a file for writing without following a symbolic link at its name.
// Returns the descriptor, or -1.
int CreateOutputFile(const std::string& path);

} // namespace mendora
