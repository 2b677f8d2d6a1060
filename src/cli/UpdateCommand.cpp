#include "cli/UpdateCommand.h"

#include "cli/CommandLine.h"

#include <memory>

namespace qv {

void addUpdateCommand(CommandLine& cli, UpdateVerbs verbs) {
    auto json = std::make_shared<bool>(false);
    CLI::App* command = cli.addCommand(cli.root(), "update", "cliCmdUpdate", "cliExampleUpdate", nullptr);
    CLI::App* checkVerb =
        cli.addCommand(*command, "check", "cliCmdUpdateCheck", nullptr, [json, check = verbs.check] { return check(*json); });
    described(checkVerb->add_flag("--json", *json), "cliOptJsonUpdate");
    cli.addCommand(*command, "install", "cliCmdUpdateInstall", nullptr, verbs.install);
}

}  // namespace qv
