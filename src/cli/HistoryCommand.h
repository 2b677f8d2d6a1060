#pragma once

namespace qv {

class CommandLine;

// quorvane history list | lock N | unlock N | remove N | clear  [--files|--folders] [--paths]
void addHistoryCommand(CommandLine& cli);

}  // namespace qv
