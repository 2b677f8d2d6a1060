#include "cli/CommandLine.h"

#include "base/Messages.h"
#include "cli/CliOutput.h"

#include <algorithm>
#include <cstdio>

namespace qv {
namespace {

std::string utf8(const char* key) { return Messages::text(key).toStdString(); }

// The words CLI11 puts into help texts, from the message table.
void translateLabels(CLI::Formatter& formatter) {
    const std::pair<const char*, const char*> labels[] = {
        {"Usage", "cliLabelUsage"},       {"OPTIONS", "cliLabelOptions"},   {"Positionals", "cliLabelArguments"},
        {"SUBCOMMAND", "cliLabelCommand"}, {"SUBCOMMANDS", "cliLabelCommand"}, {"REQUIRED", "cliLabelRequired"},
        {"Needs", "cliLabelNeeds"},       {"Excludes", "cliLabelExcludes"}, {"Env", "cliLabelEnv"},
    };
    for (const auto& [label, key] : labels) formatter.label(label, utf8(key));
    formatter.column_width(34);
}

// The first extra argument of the parsed chain of commands.
std::string firstExtra(const CLI::App& app) {
    const std::vector<std::string> extras = app.remaining();
    if (!extras.empty()) return extras.front();
    for (const CLI::App* sub : app.get_subcommands())
        if (std::string found = firstExtra(*sub); !found.empty()) return found;
    return {};
}

// The option that an error names: CLI11 starts its messages with it.
QString namedOption(const CLI::Error& error) {
    const std::string text = error.what();
    const std::size_t colon = text.find(':');
    return QString::fromStdString(colon == std::string::npos ? text : text.substr(0, colon));
}

}  // namespace

CLI::Option* described(CLI::Option* option, const char* key) {
    option->description(utf8(key));
    return option;
}

CommandLine::CommandLine() : m_root(utf8("cliSummary"), "quorvane") {
    auto formatter = std::make_shared<CLI::Formatter>();
    translateLabels(*formatter);
    m_root.formatter(formatter);
    m_root.set_help_flag("-h,--help", utf8("cliOptHelp"));
    m_root.set_version_flag("--version", std::string("quorvane ") + QUORVANE_VERSION, utf8("cliOptVersion"));
    m_root.option_defaults()->group(utf8("cliGroupOptions"));
    m_root.footer(utf8("cliRootFooter"));
    m_root.require_subcommand(0, 1);
}

CLI::App* CommandLine::addCommand(CLI::App& parent, const std::string& name, const char* summaryKey,
                                  const char* exampleKey, std::function<int()> run) {
    CLI::App* command = parent.add_subcommand(name, utf8(summaryKey));
    command->group(utf8("cliGroupCommands"));
    command->option_defaults()->group(utf8("cliGroupOptions"));
    // A verb would otherwise show its command's example.
    command->footer(exampleKey ? utf8(exampleKey) : std::string());
    command->positionals_at_end(false);
    m_commands.push_back({command, std::move(run), {}});
    return command;
}

void CommandLine::setExtraHelp(CLI::App* command, std::function<QString()> extra) {
    for (Command& c : m_commands)
        if (c.app == command) c.extraHelp = std::move(extra);
}

const CommandLine::Command* CommandLine::chosen() const {
    // The deepest command that was named on the line.
    const CLI::App* at = &m_root;
    while (true) {
        const std::vector<CLI::App*> subs = at->get_subcommands();
        if (subs.empty()) break;
        at = subs.front();
    }
    for (const Command& c : m_commands)
        if (c.app == at) return &c;
    return nullptr;
}

std::string CommandLine::help() const { return m_root.help(); }

int CommandLine::reportParseError(const CLI::ParseError& error) {
    if (dynamic_cast<const CLI::CallForHelp*>(&error) || dynamic_cast<const CLI::CallForAllHelp*>(&error)) {
        std::string text = m_root.help();
        if (const Command* c = chosen(); c && c->extraHelp)
            if (const QString extra = c->extraHelp(); !extra.isEmpty()) text += extra.toStdString() + "\n";
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    if (dynamic_cast<const CLI::CallForVersion*>(&error)) {
        std::printf("%s\n", error.what());
        return 0;
    }
    QString message;
    if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
        const std::string extra = firstExtra(m_root);
        message = Messages::format(extra.size() > 1 && extra[0] == '-' ? "cliUnknownOption" : "cliUnexpectedArgument",
                                   QString::fromLocal8Bit(extra.c_str()));
    } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
        const bool tooMany = std::string(error.what()).find("At most") != std::string::npos;
        message = Messages::format(tooMany ? "cliGivenTwice" : "cliMissingValue", namedOption(error));
    } else {
        message = QString::fromLocal8Bit(error.what());
    }
    printError(message);
    return 2;
}

int CommandLine::run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool optionsEnded = false;
    for (std::string& a : args) {
        optionsEnded = optionsEnded || a == "--";
        for (const auto& [name, value] : m_attachedOnly)
            if (!optionsEnded && a == name) a += "=" + value;
    }
    // CLI11 takes the arguments last first.
    std::reverse(args.begin(), args.end());
    try {
        m_root.parse(args);
    } catch (const CLI::ParseError& error) {
        return reportParseError(error);
    }
    const Command* command = chosen();
    if (!command || !command->run) {
        // A command with verbs named without one: its help, as a usage error.
        std::fputs(m_root.help().c_str(), stderr);
        return 2;
    }
    return command->run();
}

}  // namespace qv
