#pragma once

namespace qv {

class CommandLine;

// quorvane rules list [--json] | check | enable LISTS | disable LISTS | add … | remove …
void addRulesCommand(CommandLine& cli);

}  // namespace qv
