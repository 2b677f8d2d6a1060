#include "cli/SiblingProgram.h"

#include "base/Messages.h"
#include "cli/CliOutput.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace qv {

std::string programBeside(const char* name) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    const std::string path(self, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + name;
}

int replaceProcessWith(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    return errno;
}

int runInSiblingProgram(const char* name, int argc, char** argv) {
    const std::string program = programBeside(name);
    const int error = replaceProcessWith(program, std::vector<std::string>(argv + 1, argv + argc));
    return failLine(Messages::format("cliNoHelperProgram", QString::fromLocal8Bit(program.c_str()),
                                     QString::fromLocal8Bit(std::strerror(error))));
}

}  // namespace qv
