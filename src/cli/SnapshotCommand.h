#pragma once
#include <string>
#include <vector>

namespace qv {

// quorvane snapshot record FOLDER OUT.qvss [--md5] [--force]
//                   show FILE.qvss [--sort KEY] [--desc] [--folders-on-top]
//                   extract-json FILE.qvss [--out FILE]
int runSnapshotCommand(const std::vector<std::string>& args);

}  // namespace qv
