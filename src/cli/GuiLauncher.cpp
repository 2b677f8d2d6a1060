#include "cli/GuiLauncher.h"

#include "base/Messages.h"
#include "cli/CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace qv {
namespace {

// The window program installed beside this one.
std::string guiProgram() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "quorvane-gui";
    std::string path(self, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "quorvane-gui";
}

bool nonEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

}  // namespace

bool displayAvailable() { return nonEmpty("DISPLAY") || nonEmpty("WAYLAND_DISPLAY"); }

int runGuiCommand(const std::vector<std::string>& args) {
    const std::string program = guiProgram();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    const int error = errno;
    std::fprintf(stderr, "quorvane: %s\n",
                 qPrintable(Messages::format("cliNoWindowProgram", QString::fromLocal8Bit(program.c_str()),
                                             QString::fromLocal8Bit(std::strerror(error)))));
    return 2;
}

void addGuiCommand(CommandLine& cli) {
    struct GuiOptions {
        std::vector<std::string> paths;
        bool start = false;
    };
    auto o = std::make_shared<GuiOptions>();
    CLI::App* command = cli.addCommand(cli.root(), "gui", "cliCmdGui", "cliExampleGui", [o] {
        std::vector<std::string> args = o->paths;
        if (o->start) args.push_back("--start");
        return runGuiCommand(args);
    });
    described(command->add_option("PATHS", o->paths), "cliArgGuiPaths")->type_name("")->expected(0, 2);
    described(command->add_flag("--start", o->start), "cliOptStart");
}

}  // namespace qv
