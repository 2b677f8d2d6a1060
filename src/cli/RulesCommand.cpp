#include "cli/RulesCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "filters/KExcludeRules.h"

#include <cstdio>
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

// Options of the form --name VALUE or --flag.
struct Options {
    std::map<std::string, std::string> values;
    bool caseSensitive = false, all = false, json = false;
};

bool parseOptions(const std::vector<std::string>& args, std::size_t from, Options& out) {
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--case-sensitive") out.caseSensitive = true;
        else if (a == "--all") out.all = true;
        else if (a == "--json") out.json = true;
        else if ((a == "--list" || a == "--match" || a == "--pattern" || a == "--index") && i + 1 < args.size())
            out.values[a.substr(2)] = args[++i];
        else return false;
    }
    return true;
}

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
    if (!rules.switchOn(list)) std::fprintf(stderr, "%s\n", qPrintable(Messages::format("cliListOff", KExcludeRules::listName(list))));
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

}  // namespace

int runRulesCommand(const std::vector<std::string>& args) {
    Settings& settings = Settings::instance();
    KExcludeRules rules;
    for (const QString& key : rules.load(settings))
        std::fprintf(stderr, "quorvane: %s\n", qPrintable(Messages::format("cliRulesUnreadable", key)));

    const std::string verb = args.empty() ? std::string() : args[0];
    if (verb == "enable" || verb == "disable") {
        if (args.size() != 2) return failLine(Messages::text("cliRulesUsage"));
        RuleList list;
        if (!KExcludeRules::listFromName(QString::fromStdString(args[1]), list))
            return failLine(Messages::format("cliUnknownList", QString::fromStdString(args[1])));
        rules.setSwitch(list, verb == "enable");
        rules.save(settings);
        return 0;
    }
    Options o;
    if (!parseOptions(args, 1, o)) return failLine(Messages::text("cliRulesUsage"));
    if (verb == "list") return listRules(rules, o.json);
    if (verb == "check") return checkRules(rules);
    if (verb == "add" || verb == "remove") {
        RuleList list;
        const auto name = o.values.find("list");
        if (name == o.values.end()) return failLine(Messages::text("cliRulesUsage"));
        if (!KExcludeRules::listFromName(QString::fromStdString(name->second), list))
            return failLine(Messages::format("cliUnknownList", QString::fromStdString(name->second)));
        return verb == "add" ? addRule(rules, list, o, settings) : removeRules(rules, list, o, settings);
    }
    return failLine(Messages::text("cliRulesUsage"));
}

}  // namespace qv
