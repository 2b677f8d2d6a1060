#include "support/FakeLauncher.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace qv::test {

void writeScript(TempTree& tree, const std::string& relative, const std::string& body, mode_t mode) {
    tree.fileWithText(relative, "#!/bin/sh\n" + body);
    const std::string full = tree.path(relative);
    ASSERT_EQ(::chmod(full.c_str(), mode), 0) << full;
}

const char* const kPassThrough =
    "if [ \"$1\" = --disable-internal-agent ]; then shift; fi\n"
    "exec \"$@\"\n";

std::string recordingLauncher(const std::string& log) {
    return ": > '" + log + "'\n"
           "for a in \"$@\"; do printf '%s\\0' \"$a\" >> '" + log + "'; done\n" + kPassThrough;
}

std::vector<std::string> splitAtNul(const std::string& text) {
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t nul = text.find('\0'); nul != std::string::npos; nul = text.find('\0', start)) {
        words.push_back(text.substr(start, nul - start));
        start = nul + 1;
    }
    return words;
}

platform::ElevatedCommandOptions optionsFor(const std::string& launcher, const std::string& systemBusSocket) {
    platform::ElevatedCommandOptions options;
    options.launcher = launcher;
    options.systemBusSocket = systemBusSocket;
    return options;
}

}  // namespace qv::test
