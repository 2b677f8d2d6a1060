#pragma once

namespace qv {

class CommandLine;

// quorvane tags get PATH... [--json] | set PATH... --tags "A;B"
void addTagsCommand(CommandLine& cli);

}  // namespace qv
