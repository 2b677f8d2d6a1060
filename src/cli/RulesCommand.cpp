#include "cli/RulesCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "filters/KExcludeRules.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <map>

namespace qv {
namespace {

const std::map<std::string, std::int64_t> kMatchKinds = {
    {"prefix", KRuleMatchPrefix}, {"contains", KRuleMatchContains}, {"suffix", KRuleMatchSuffix},
    {"wildcard", KRuleMatchWildcard}, {"path", KRuleMatchPath}, {"regex", KRuleMatchRegex},
};

QString kindName(std::int64_t kind) {
    for (const auto& [name, value] : kMatchKinds)
        if (value == kind) return QString::fromStdString(name);
    return QString::number(kind);
}

bool parseKind(const std::string& text, std::int64_t& out) {
    if (auto it = kMatchKinds.find(text); it != kMatchKinds.end()) return out = it->second, true;
    bool ok = false;
    out = QString::fromStdString(text).toLongLong(&ok);
    return ok;
}

struct Options {
    std::map<std::string, std::string> values;
    bool caseSensitive = false, all = false, json = false;
    std::string lists;
};

int listRules(const KExcludeRules& rules, bool json) {
    if (json) {
        std::printf("%s", qPrintable(rules.toJson()));
        return 0;
    }
    for (RuleList list : KExcludeRules::allLists()) {
        std::printf("%s (%s)\n", qPrintable(KExcludeRules::listName(list)),
                    qPrintable(Messages::text(rules.switchOn(list) ? "ruleListOn" : "ruleListOff")));
        int row = 1;
        for (const KExcludeRule& rule : rules.rules(list))
            std::printf("  %d. %-8s \"%s\" (%s)\n", row++, qPrintable(kindName(rule.matchType())),
                        qPrintable(rule.pattern()),
                        qPrintable(Messages::text(rule.caseSensitive() ? "ruleCaseSensitive" : "ruleCaseInsensitive")));
    }
    return 0;
}

int checkRules(const KExcludeRules& rules) {
    const std::vector<KExcludeRuleIssue> issues = rules.validateAllRules();
    const std::vector<KExcludeRuleIssue> slow = rules.slowRules();
    if (issues.empty() && slow.empty()) {
        std::printf("%s\n", qPrintable(Messages::text("cliRulesFine")));
        return 0;
    }
    if (!issues.empty()) std::printf("%s\n", qPrintable(Messages::text("ruleIssue")));
    for (const KExcludeRuleIssue& issue : issues) std::printf("%s\n", qPrintable(issue.message));
    if (!slow.empty()) std::printf("%s\n", qPrintable(Messages::text("ruleSlowHead")));
    for (const KExcludeRuleIssue& issue : slow) std::printf("%s\n", qPrintable(issue.message));
    return 1;
}

const char* findingKey(int code) {
    return code == 1 ? "ruleIssue1" : code == 4 ? "ruleIssue2" : code == 2 ? "ruleIssue3" : "ruleIssue4";
}

int addRule(KExcludeRules& rules, RuleList list, const Options& o, Settings& settings) {
    std::int64_t kind = KRuleMatchPrefix;
    if (auto it = o.values.find("match"); it != o.values.end() && !parseKind(it->second, kind))
        return failLine(Messages::format("cliBadMatchKind", QString::fromStdString(it->second)));
    const auto pattern = o.values.find("pattern");
    const KExcludeRule rule(kind, pattern == o.values.end() ? QString() : QString::fromStdString(pattern->second),
                            o.caseSensitive);
    if (const int code = KExcludeRules::validateRule(rule, rules.rules(list), nullptr))
        return failLine(Messages::format("cliRuleRefused", Messages::text(findingKey(code))));
    rules.rules(list).push_back(rule);
    rules.save(settings);
    if (!rules.switchOn(list)) printError(Messages::format("cliListOff", KExcludeRules::listName(list)));
    return 0;
}

int removeRules(KExcludeRules& rules, RuleList list, const Options& o, Settings& settings) {
    KExcludeRules::Rules& r = rules.rules(list);
    const std::size_t before = r.size();
    if (o.all) {
        r.clear();
    } else if (auto index = o.values.find("index"); index != o.values.end()) {
        bool ok = false;
        const qlonglong n = QString::fromStdString(index->second).toLongLong(&ok);
        if (ok && n >= 1 && n <= static_cast<qlonglong>(r.size())) r.erase(r.begin() + (n - 1));
    } else if (auto pattern = o.values.find("pattern"); pattern != o.values.end()) {
        const QString p = QString::fromStdString(pattern->second);
        std::erase_if(r, [&](const KExcludeRule& rule) { return rule.pattern() == p; });
    }
    if (r.size() == before && before != 0)
        return failLine(Messages::format("cliNoSuchRule", KExcludeRules::listName(list)));
    rules.CorrectCheckboxes(&settings);
    rules.save(settings);
    return 0;
}


// Runs a verb on the stored rules and saves them when the verb changed them.
int withRules(const std::function<int(KExcludeRules&, Settings&)>& verb) {
    Settings& settings = Settings::instance();
    KExcludeRules rules;
    for (const QString& key : rules.load(settings)) printError(Messages::format("cliRulesUnreadable", key));
    return verb(rules, settings);
}

int switchLists(KExcludeRules& rules, Settings& settings, const std::string& names, bool on) {
    std::vector<RuleList> lists;
    for (const QString& name : QString::fromStdString(names).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        RuleList list;
        if (!KExcludeRules::listFromName(name.trimmed(), list)) return failLine(Messages::format("cliUnknownList", name));
        lists.push_back(list);
    }
    if (lists.empty()) return failLine(Messages::format("cliUnknownList", QString::fromStdString(names)));
    for (RuleList list : lists) rules.setSwitch(list, on);
    rules.save(settings);
    return 0;
}

int editList(KExcludeRules& rules, Settings& settings, const Options& o, bool add) {
    RuleList list;
    const std::string& name = o.values.at("list");
    if (!KExcludeRules::listFromName(QString::fromStdString(name), list))
        return failLine(Messages::format("cliUnknownList", QString::fromStdString(name)));
    return add ? addRule(rules, list, o, settings) : removeRules(rules, list, o, settings);
}

}  // namespace

void addRulesCommand(CommandLine& cli) {
    auto o = std::make_shared<Options>();
    CLI::App* rules = cli.addCommand(cli.root(), "rules", "cliCmdRules", "cliExampleRules", nullptr);
    CLI::App* list = cli.addCommand(*rules, "list", "cliCmdRulesList", nullptr, [o] {
        return withRules([o](KExcludeRules& r, Settings&) { return listRules(r, o->json); });
    });
    described(list->add_flag("--json", o->json), "cliOptJsonRules");
    cli.addCommand(*rules, "check", "cliCmdRulesCheck", nullptr,
                   [] { return withRules([](KExcludeRules& r, Settings&) { return checkRules(r); }); });
    for (const bool on : {true, false}) {
        CLI::App* verb = cli.addCommand(*rules, on ? "enable" : "disable", on ? "cliCmdRulesEnable" : "cliCmdRulesDisable",
                                        nullptr, [o, on] {
                                            return withRules([o, on](KExcludeRules& r, Settings& s) {
                                                return switchLists(r, s, o->lists, on);
                                            });
                                        });
        described(verb->add_option("LISTS", o->lists), "cliArgLists")->type_name("")->required();
    }
    for (const bool add : {true, false}) {
        CLI::App* verb = cli.addCommand(*rules, add ? "add" : "remove", add ? "cliCmdRulesAdd" : "cliCmdRulesRemove",
                                        add ? "cliExampleRulesAdd" : nullptr, [o, add] {
                                            return withRules([o, add](KExcludeRules& r, Settings& s) {
                                                return editList(r, s, *o, add);
                                            });
                                        });
        described(verb->add_option_function<std::string>("--list", [o](const std::string& v) { o->values["list"] = v; }),
                  "cliOptRuleList")
            ->type_name("LIST")
            ->required();
        described(verb->add_option_function<std::string>("--pattern", [o](const std::string& v) { o->values["pattern"] = v; }),
                  "cliOptRulePattern")
            ->type_name("P");
        if (add) {
            described(verb->add_option_function<std::string>("--match", [o](const std::string& v) { o->values["match"] = v; }),
                      "cliOptRuleMatch")
                ->type_name("KIND");
            described(verb->add_flag("--case-sensitive", o->caseSensitive), "cliOptRuleCase");
        } else {
            described(verb->add_option_function<std::string>("--index", [o](const std::string& v) { o->values["index"] = v; }),
                      "cliOptRuleIndex")
                ->type_name("N");
            described(verb->add_flag("--all", o->all), "cliOptRuleAll");
        }
    }
}

}  // namespace qv
