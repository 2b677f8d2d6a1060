#pragma once

namespace qv {

class CommandLine;

// quorvane snapshot record FOLDER OUT [--md5] [--force] | show FILE [--sort KEY] | extract-json FILE [--out FILE]
void addSnapshotCommand(CommandLine& cli);

}  // namespace qv
