#include "dbx/TempFolder.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace mendora {

std::string CTempFolder::UserTempFolder()
{
    const char* env = std::getenv("TMPDIR");
    std::string dir = (env && *env) ? env : "/tmp";
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

CTempFolder::CTempFolder()
{
    std::string templ = UserTempFolder() + "/mendora-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    // mkdtemp creates the folder with mode 0700 under a name nobody else can have taken.
    if (::mkdtemp(buf.data()) != nullptr)
        m_path = std::string(buf.data()) + "/";
}

CTempFolder::~CTempFolder()
{
    if (m_path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec); // removes links, never what they point to
}

int CreateOutputFile(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
}

} // namespace mendora
