// Runs mendora-cli as a user would and captures what it says.
#pragma once

#include "../dbx/DbxTestUtil.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace mendora::test {

struct CliResult {
    int exit;
    std::string out;
    std::string err;
};

inline CliResult Cli(const std::string& args)
{
    CScratchDir dir;
    const std::string cmd = std::string(MENDORA_CLI) + " " + args + " >" + dir.File("out") +
                            " 2>" + dir.File("err") + " </dev/null";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(dir.File("out")),
            ReadFileBytes(dir.File("err"))};
}

} // namespace mendora::test
