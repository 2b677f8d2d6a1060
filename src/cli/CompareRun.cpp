#include "cli/CompareRun.h"

#include "app/history/MultiFolderSets.h"
#include "base/InputLimits.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/InterruptWatcher.h"
#include "cli/SettingOverrides.h"
#include "cli/TerminalLine.h"
#include "base/PathResolution.h"
#include "engine/SortOrder.h"
#include "engine/ViewFilter.h"
#include "filters/ExcludePatterns.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unistd.h>

namespace qv {
namespace {

const std::map<QString, int> kColumnNames = {
    {QStringLiteral("state"), kColumnState},     {QStringLiteral("name"), kColumnName1},
    {QStringLiteral("name1"), kColumnName1},     {QStringLiteral("size1"), kColumnSize1},
    {QStringLiteral("date1"), kColumnDate1},     {QStringLiteral("date2"), kColumnDate2},
    {QStringLiteral("size2"), kColumnSize2},     {QStringLiteral("name2"), kColumnName2},
    {QStringLiteral("created1"), kColumnCreated1}, {QStringLiteral("created2"), kColumnCreated2},
    {QStringLiteral("opened1"), kColumnOpened1}, {QStringLiteral("opened2"), kColumnOpened2},
    {QStringLiteral("kind1"), kColumnKind1},     {QStringLiteral("kind2"), kColumnKind2},
    {QStringLiteral("tags1"), kColumnTags1},     {QStringLiteral("tags2"), kColumnTags2},
    {QStringLiteral("md51"), kColumnDigest1},    {QStringLiteral("md52"), kColumnDigest2},
    {QStringLiteral("added1"), kColumnAdded1},   {QStringLiteral("added2"), kColumnAdded2},
};

const std::map<QString, unsigned> kFilterNames = {
    {QStringLiteral("equal"), kShowEqual},         {QStringLiteral("different"), kShowDifferent},
    {QStringLiteral("left"), kShowLeftOnly},       {QStringLiteral("right"), kShowRightOnly},
    {QStringLiteral("empty"), kShowEmptyFolders},  {QStringLiteral("ignored"), kShowIgnored},
};
constexpr unsigned kAllFilterBits = 63;

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return standardizePath(path);
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return standardizePath(joinPath(cwd, path));
}

void reportUnreadableRoot(const std::string& path) {
    platform::Listing listing;
    platform::systemFileSystem().listFolder(path, listing);
    const int error = listing.folderError ? listing.folderError : EIO;
    failLine(Messages::format("rootUnreadable", QString::fromUtf8(path.c_str()), QString::fromLocal8Bit(std::strerror(error))));
}

}  // namespace

bool parseSortColumn(const QString& text, int& column, bool& descending) {
    QString name = text.toLower();
    descending = name.endsWith(QStringLiteral(":desc"));
    if (descending || name.endsWith(QStringLiteral(":asc"))) name = name.section(':', 0, 0);
    if (auto it = kColumnNames.find(name); it != kColumnNames.end()) return column = it->second, true;
    bool ok = false;
    const int n = name.toInt(&ok);
    if (!ok || n < 0 || n > kColumnAdded2) return false;
    column = n;
    return true;
}

bool parseColumnList(const QString& text, std::vector<int>& columns) {
    columns.clear();
    for (const QString& item : text.split(',', Qt::SkipEmptyParts)) {
        int column = 0;
        bool descending = false;
        if (!parseSortColumn(item.trimmed(), column, descending)) return false;
        columns.push_back(column);
    }
    return !columns.empty();
}

bool parseFilterNames(const QString& text, bool show, unsigned& filter) {
    unsigned named = 0;
    for (const QString& name : text.split(',', Qt::SkipEmptyParts)) {
        auto it = kFilterNames.find(name.trimmed().toLower());
        if (it == kFilterNames.end()) return false;
        named |= it->second;
    }
    filter = show ? named : (kAllFilterBits & ~named);
    return true;
}

CompareRun::CompareRun(QCoreApplication& app, std::string command, platform::FileSystem& fs)
    : m_app(app), m_command(std::move(command)), m_fs(fs) {}

CompareRun::~CompareRun() {
    m_module.reset();
    // A set made for this run stays while the folder history refers to it, as a window's would.
    QStringList sets;
    for (const std::string& set : m_createdSets) sets << QFile::decodeName(set.c_str());
    MultiFolderSets::removeUnreferenced(sets, Settings::instance());
}

std::vector<std::string> CompareRun::folders() const {
    std::vector<std::string> out = m_paths;
    for (const QStringList& set : m_sets)
        for (const QString& member : set) out.push_back(member.toStdString());
    return out;
}

void CompareRun::addOptions(CLI::App& command, bool withColumns) {
    described(command.add_option("FOLDERS", m_paths), "cliArgFolders")->type_name("");
    described(repeatable(command.add_option("--set", m_assignments)), "cliOptSet")->type_name("KEY=VALUE");
    described(command.add_option("--rules", m_ruleFile), "cliOptRules")->type_name("FILE");
    described(repeatable(command.add_option("--exclude", m_excludes)), "cliOptExclude")->type_name("PATTERN");
    described(repeatable(command.add_option("--exclude-from", m_excludeFiles)), "cliOptExcludeFrom")->type_name("FILE");
    described(repeatable(command.add_option("--left-set", m_setTexts[0])), "cliOptLeftSet")->type_name("A,B,...");
    described(repeatable(command.add_option("--right-set", m_setTexts[1])), "cliOptRightSet")->type_name("A,B,...");
    described(command.add_option("--sort", m_sortText), "cliOptSort")->type_name("COLUMN[:desc]");
    if (withColumns) described(command.add_option("--columns", m_columnsText), "cliOptColumns")->type_name("IDS");
    CLI::Option* show = described(command.add_option("--show", m_showText), "cliOptShow")->type_name("NAMES");
    described(command.add_option("--hide", m_hideText), "cliOptHide")->type_name("NAMES")->excludes(show);
    described(command.add_option("--state-order", m_stateOrderText), "cliOptStateOrder")->type_name("LIST");
}

QString CompareRun::readOptionValues() {
    for (int side = 0; side < 2; ++side)
        for (const std::string& text : m_setTexts[side])
            m_sets[side] += QString::fromStdString(text).split(',', Qt::SkipEmptyParts);
    if (!m_sortText.empty()) {
        int column = 0;
        if (!parseSortColumn(QString::fromStdString(m_sortText), column, m_sortDescending))
            return Messages::format("cliBadSort", QString::fromStdString(m_sortText));
        m_sortColumn = column;
    }
    for (const std::string* text : {&m_showText, &m_hideText}) {
        if (text->empty()) continue;
        unsigned filter = 0;
        if (!parseFilterNames(QString::fromStdString(*text), text == &m_showText, filter))
            return Messages::format("cliBadFilter", QString::fromStdString(*text));
        m_filter = filter;
    }
    if (!m_columnsText.empty()) {
        std::vector<int> columns;
        if (!parseColumnList(QString::fromStdString(m_columnsText), columns))
            return Messages::format("cliBadColumns", QString::fromStdString(m_columnsText));
        readColumns(columns);
    }
    if (!m_stateOrderText.empty()) {
        std::vector<int> order;
        for (const QString& s : QString::fromStdString(m_stateOrderText).split(',', Qt::SkipEmptyParts)) {
            bool ok = false;
            const int n = s.trimmed().toInt(&ok);
            if (!ok || n < 0 || n > kStateTagsDiffer) return Messages::format("cliBadStateOrder", QString::fromStdString(m_stateOrderText));
            order.push_back(n);
        }
        if (order.empty()) return Messages::format("cliBadStateOrder", QString::fromStdString(m_stateOrderText));
        m_stateOrder = order;
    }
    return {};
}

void CompareRun::listOneSidedFolders() {
    auto walk = [this](auto&& self, KItem* item) -> void {
        m_module->ListFolderOnDemand(item);
        for (KItem* child : m_module->view().FilteredObjectsForModule(item)) self(self, child);
    };
    walk(walk, m_module->iParentItem());
}

void CompareRun::readColumns(const std::vector<int>& columns) {
    m_columns.insert(m_columns.end(), columns.begin(), columns.end());
}

std::string CompareRun::sideLabel(int side) const {
    const std::string& path = side == kSideLeft ? m_module->iLeftFolderPath() : m_module->iRightFolderPath();
    if (!m_module->isMultiFolderSide(side)) return path;
    std::string label(1, '[');
    label += MultiFolderSets::MultiFolderName(QFile::decodeName(path.c_str())).toStdString();
    label += ']';
    return label;
}

KItem* CompareRun::nodeAtPath(const std::string& path) const {
    KItem* node = m_module->iRootItem();
    if (!node || path.empty()) return node;
    // Component by component, so that a one-sided folder on the way is listed when reached.
    for (std::size_t end = path.find('/');; end = path.find('/', end + 1)) {
        const std::string prefix = path.substr(0, end);
        m_module->ListFolderOnDemand(node);
        KItem* next = nullptr;
        for (KItem* child : node->iChildren())
            if (child->iPath() == prefix) next = child;
        if (!next || end == std::string::npos) return next;
        node = next;
    }
}

QString CompareRun::prepare() {
    if (QString problem = readOptionValues(); !problem.isEmpty()) return problem;
    const std::size_t wanted = 2 - !m_sets[0].isEmpty() - !m_sets[1].isEmpty();
    if (m_paths.size() != wanted) return Messages::format("cliWrongArgCount", QString::fromStdString(m_command));
    Settings& settings = Settings::instance();
    for (const std::string& assignment : m_assignments)
        if (QString problem = applySettingOverride(settings, assignment); !problem.isEmpty()) return problem;

    m_module = std::make_unique<QuorvaneModule>(m_prompt, settings, m_fs);
    if (!m_ruleFile.empty()) {
        std::string text;
        const platform::InputStatus status = platform::readInputFile(m_ruleFile, kRuleFileLimit, text);
        if (!status.ok()) return inputProblemText(m_ruleFile, status, kRuleFileLimit);
        if (!m_module->useRuleFile(QString::fromStdString(text)))
            return Messages::format("cliBadRuleFile", QFile::decodeName(m_ruleFile.c_str()));
    } else {
        for (const QString& key : m_module->unreadableRuleKeys())
            printError(Messages::format("cliRulesUnreadable", key));
    }
    if (m_stateOrder) m_module->setICustomSort(*m_stateOrder, false);
    if (m_sortColumn) m_module->setSortColumn(*m_sortColumn, !m_sortDescending);
    if (m_filter) m_module->setIModuleFilter(*m_filter);
    std::uint32_t bits = 0;
    for (int column : m_columns) bits |= columnBitFor(column);
    m_module->setIColumns(bits);

    std::size_t next = 0;
    for (int side : {kSideLeft, kSideRight}) {
        std::string& field = side == kSideLeft ? m_module->state().leftPath : m_module->state().rightPath;
        const QStringList& set = m_sets[side - 1];
        if (set.isEmpty()) {
            field = absolutePath(m_paths[next++]);
            continue;
        }
        QStringList folders;
        for (const QString& f : set) folders << QString::fromStdString(absolutePath(f.toStdString()));
        if (!m_module->AddMultiFolders(folders, side))
            return Messages::format("cliBadFolderSet", folders.join(QStringLiteral(", ")));
        // The sets made for this run are links only; they go when the run ends.
        m_createdSets.push_back(field);
    }
    if (QString problem = checkNesting(); !problem.isEmpty()) return problem;
    return applyExcludes();
}

QString CompareRun::checkNesting() {
    if (!m_guardNesting || !m_sets[0].isEmpty() || !m_sets[1].isEmpty()) return {};
    const std::string& left = m_module->state().leftPath;
    const std::string& right = m_module->state().rightPath;
    const bool leftInside = isSameOrInside(left, right), rightInside = isSameOrInside(right, left);
    if (!leftInside && !rightInside) return {};
    const QString refused = Messages::format("cliNestedRoots", QFile::decodeName(left.c_str()), QFile::decodeName(right.c_str()));
    if (!m_allowNested || (leftInside && rightInside)) return refused;
    // The inner folder as seen from the outer one, found through the resolved paths.
    const std::string& outer = leftInside ? right : left;
    const std::string& inner = leftInside ? left : right;
    char outerReal[PATH_MAX], innerReal[PATH_MAX];
    if (!::realpath(outer.c_str(), outerReal) || !::realpath(inner.c_str(), innerReal)) return refused;
    const std::string prefix = std::string(outerReal) + (std::strcmp(outerReal, "/") == 0 ? "" : "/");
    if (std::strncmp(innerReal, prefix.c_str(), prefix.size()) != 0) return refused;
    ExcludePatterns innerOut({outer});
    innerOut.add(QFile::decodeName(("/" + std::string(innerReal + prefix.size()) + "/").c_str()));
    innerOut.applyTo(m_module->iExcludeRules());
    return {};
}

QString CompareRun::applyExcludes() {
    ExcludePatterns patterns({m_module->state().leftPath, m_module->state().rightPath});
    for (const std::string& pattern : m_excludes)
        if (!patterns.add(QFile::decodeName(pattern.c_str())))
            return Messages::format("cliBadExclude", QFile::decodeName(pattern.c_str()));
    for (const std::string& name : m_excludeFiles) {
        // An exclude file is a rule file of another form: regular, and of a rule file's size at most.
        std::string text;
        const platform::InputStatus status = platform::readInputFile(name, kRuleFileLimit, text);
        if (!status.ok()) return inputProblemText(name, status, kRuleFileLimit);
        for (const QString& line : patterns.addLines(QString::fromStdString(text)))
            printError(Messages::format("cliExcludeLineIgnored", QFile::decodeName(name.c_str()), line));
    }
    if (!patterns.empty()) patterns.applyTo(m_module->iExcludeRules());
    return {};
}

int CompareRun::run() {
    if (QString problem = prepare(); !problem.isEmpty()) return failLine(problem);
    QuorvaneModule& module = *m_module;

    const bool showProgress = TerminalLine::enabled();
    if (showProgress) {
        QObject::connect(&module.status(), &ComparisonStatus::headerChanged,
                         [&module] { TerminalLine::draw(module.status().header()); });
        QObject::connect(&module, &QuorvaneModule::fileProgress, [&module](double fraction) {
            TerminalLine::draw(QStringLiteral("%1 %2%").arg(module.status().header()).arg(static_cast<int>(fraction * 100), 3));
        });
    }
    // A cancelled run is an interrupted one: nothing else cancels from the command line.
    constexpr int kCancelled = -2;
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [&] {
        module.Cancel();
        if (!module.ComparingFolders()) m_app.exit(kCancelled);
    });
    QObject::connect(&module, &QuorvaneModule::compareThreadFinished, [&](bool completed) {
        if (!completed) m_app.exit(kCancelled);
    });
    QObject::connect(&module, &QuorvaneModule::sizesCalculated, [&] { m_app.exit(0); });

    if (!module.Compare()) {
        // Two files: the window would move to its file tab; this command compares folders.
        if (module.state().selectedTab == WindowState::FileTab) return kFilePair;
        return failLine(module.lastAlert().isEmpty() ? module.status().header() : module.lastAlert());
    }
    const int status = m_app.exec();
    TerminalLine::clear();
    if (!module.snapshotError().isEmpty()) return failLine(QString(module.lastAlert()).replace('\n', ' '));
    if (status == kCancelled || InterruptWatcher::exitStatus()) {
        printError(Messages::text("cliInterrupted"));
        return InterruptWatcher::exitStatus() ? InterruptWatcher::exitStatus() : 128 + SIGINT;
    }
    KRootItem& root = *module.iRootItem();
    if (root.iAError1 || root.iAError2) {
        reportUnreadableRoot(root.iAError1 ? root.iLeftPath() : root.iRightPath());
        return 2;
    }
    return 0;
}

}  // namespace qv
