#pragma once
// The one argument parser of the quorvane command. Every command declares
// its options and arguments on a subcommand of it, so that help, errors,
// `--`, `--opt=value` and defaults behave alike everywhere. Arguments stay
// bytes: a path that is not valid UTF-8 reaches the command unchanged.

#include <CLI/CLI.hpp>

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class CommandLine {
public:
    CommandLine();

    CLI::App& root() { return m_root; }

    // A command under `parent` (the root, or a command with verbs): its
    // one-line summary and its example come from the message table. `run`
    // is called when the command was chosen and parsed; it returns the exit status.
    CLI::App* addCommand(CLI::App& parent, const std::string& name, const char* summaryKey, const char* exampleKey,
                         std::function<int()> run);
    // Text added to a command's help when it is asked for (a setting's description, say).
    void setExtraHelp(CLI::App* command, std::function<QString()> extra);

    // An option whose value is optional and given only as --name=VALUE: the
    // bare --name means `value` and never takes the next argument.
    void valueOnlyAttached(const std::string& name, const std::string& value) { m_attachedOnly.emplace_back(name, value); }

    // Parses and runs the chosen command. Help and --version exit 0; a
    // parse error prints one line and exits 2.
    int run(int argc, char** argv);

    // The help of the root, as `quorvane --help` prints it.
    std::string help() const;

private:
    struct Command {
        CLI::App* app;
        std::function<int()> run;
        std::function<QString()> extraHelp;
    };
    int reportParseError(const CLI::ParseError& error);
    const Command* chosen() const;

    CLI::App m_root;
    std::shared_ptr<CLI::Formatter> m_formatter;
    std::vector<Command> m_commands;
    std::vector<std::pair<std::string, std::string>> m_attachedOnly;
};

// An option given once per value (--set A=1 --set B=2), never taking the words after it.
inline CLI::Option* repeatable(CLI::Option* option) {
    return option->allow_extra_args(false)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// The option's description: the key of its text in the message table, looked up when help is printed.
CLI::Option* described(CLI::Option* option, const char* key);

}  // namespace qv
