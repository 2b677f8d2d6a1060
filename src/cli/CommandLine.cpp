#include "cli/CommandLine.h"

#include "base/Messages.h"
#include "cli/CliOutput.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace qv {
namespace {

std::string utf8(const char* key) { return Messages::text(key).toStdString(); }

// Help texts are declared by their keys and looked up only when help is
// printed: a run that needs no help never pays for a few hundred look-ups.
std::string translated(const std::string& key) { return key.empty() ? key : utf8(key.c_str()); }

class TranslatingFormatter : public CLI::Formatter {
public:
    std::string make_group(std::string group, bool positional, std::vector<const CLI::Option*> opts) const override {
        return CLI::Formatter::make_group(translated(group), positional, std::move(opts));
    }
    std::string make_description(const CLI::App* app) const override {
        const std::string text = translated(app->get_description());
        return text.empty() ? text : text + "\n";
    }
    std::string make_subcommands(const CLI::App* app, CLI::AppFormatMode mode) const override {
        std::string text = CLI::Formatter::make_subcommands(app, mode);
        const std::string key = "\ncliGroupCommands:\n";
        if (const std::size_t at = text.find(key); at != std::string::npos)
            text.replace(at, key.size(), "\n" + utf8("cliGroupCommands") + ":\n");
        return text;
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        std::stringstream out;
        CLI::detail::format_help(out, sub->get_display_name(true), translated(sub->get_description()), column_width_);
        return out.str();
    }
    std::string make_footer(const CLI::App* app) const override {
        const std::string text = translated(app->get_footer());
        return text.empty() ? text : text + "\n";
    }
    std::string make_option_desc(const CLI::Option* option) const override { return translated(option->get_description()); }
};

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
    option->description(key);
    return option;
}

CommandLine::CommandLine() : m_root("cliSummary", "quorvane"), m_formatter(std::make_shared<TranslatingFormatter>()) {
    m_root.formatter(m_formatter);
    // Groups are keys too; the flags below take the group set before them.
    m_root.option_defaults()->group("cliGroupOptions");
    m_root.set_help_flag("-h,--help", "cliOptHelp");
    m_root.set_version_flag("--version", std::string("quorvane ") + QUORVANE_VERSION, "cliOptVersion");
    m_root.footer("cliRootFooter");
    m_root.require_subcommand(0, 1);
}

CLI::App* CommandLine::addCommand(CLI::App& parent, const std::string& name, const char* summaryKey,
                                  const char* exampleKey, std::function<int()> run) {
    CLI::App* command = parent.add_subcommand(name, summaryKey);
    command->group("cliGroupCommands");
    command->option_defaults()->group("cliGroupOptions");
    // CLI11 makes a command's help flag before it copies the group: without
    // this, the help flag would stand alone under a second "Options" heading.
    command->get_help_ptr()->group("cliGroupOptions");
    // A verb would otherwise show its command's example.
    command->footer(exampleKey ? exampleKey : "");
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

std::string CommandLine::help() const {
    translateLabels(*m_formatter);
    return m_root.help();
}

int CommandLine::reportParseError(const CLI::ParseError& error) {
    if (dynamic_cast<const CLI::CallForHelp*>(&error) || dynamic_cast<const CLI::CallForAllHelp*>(&error)) {
        std::string text = help();
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
        std::fputs(help().c_str(), stderr);
        return 2;
    }
    return command->run();
}

}  // namespace qv
