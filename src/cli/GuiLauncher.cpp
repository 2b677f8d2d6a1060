#include "cli/GuiLauncher.h"

#include "base/Messages.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/SiblingProgram.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace qv {
namespace {

bool nonEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

}  // namespace

bool displayAvailable() { return nonEmpty("DISPLAY") || nonEmpty("WAYLAND_DISPLAY"); }

int runGuiCommand(const std::vector<std::string>& args) {
    const std::string program = programBeside("quorvane-gui");
    const int error = replaceProcessWith(program, args);
    return failLine(Messages::format("cliNoWindowProgram", QString::fromLocal8Bit(program.c_str()),
                                     QString::fromLocal8Bit(std::strerror(error))));
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
