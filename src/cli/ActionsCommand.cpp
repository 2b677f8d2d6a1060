#include "cli/ActionsCommand.h"

#include "base/InputLimits.h"
#include "base/Messages.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/CompareRun.h"
#include "cli/MergeRun.h"
#include "platform/RunLock.h"
#include "cli/TreeWriter.h"
#include "platform/Volumes.h"
#include "sync/MergeList.h"
#include "sync/RenamePattern.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <memory>
#include <optional>

namespace qv {
namespace {

// An ignore mark is not an action: it keeps an item out of every action.
enum class MarkKind { Action, Ignore, Unignore };

struct Mark {
    MarkKind kind = MarkKind::Action;
    int action = kNone;
    std::vector<std::string> paths;
    QString newName;
    std::optional<RenameOptions> pattern;   // --rename: one pattern for every path
    bool onlyDiff = false;
};

struct Press {
    int kind;
    int side;
};

// The button presses that give an action on an unmarked row.
std::vector<Press> pressesFor(int action, bool onlyDiff) {
    const int copy = onlyDiff ? BtnCopyOnlyDiff : BtnCopy;
    switch (action) {
    case kCopyToRight: return {{copy, kSideLeft}};
    case kCopyToLeft: return {{copy, kSideRight}};
    case kDeleteRight: return {{BtnDelete, kSideRight}};
    case kDeleteLeft: return {{BtnDelete, kSideLeft}};
    case kDeleteBoth: return {{BtnDelete, kSideLeft}, {BtnDelete, kSideRight}};
    case kCopyAsToRight: return {{BtnCopyAs, kSideLeft}};
    case kCopyAsToLeft: return {{BtnCopyAs, kSideRight}};
    case kAliasToRight: return {{BtnAlias, kSideLeft}};
    case kAliasToLeft: return {{BtnAlias, kSideRight}};
    case kAttrsToRight: return {{BtnCopyAttrs, kSideLeft}};
    case kAttrsToLeft: return {{BtnCopyAttrs, kSideRight}};
    case kRenameRight: return {{BtnRename, kSideRight}};
    case kRenameLeft: return {{BtnRename, kSideLeft}};
    case kRenameBoth: return {{BtnRename, kSideLeft}, {BtnRename, kSideRight}};
    default: return {};
    }
}

// Whether a press's own effect already stands on an item, so that pressing
// again would only take it away (a delete of one side within DeleteBoth,
// say): a mark asks for an action, it never toggles one off.
bool alreadyInEffect(const KItem* item, const Press& press, int action) {
    const int current = item->iCopyTo;
    if (current == action) return true;
    if (press.kind == BtnDelete)
        return current == kDeleteBoth || current == (press.side == kSideLeft ? kDeleteLeft : kDeleteRight);
    if (press.kind == BtnRename)
        return current == kRenameBoth || current == (press.side == kSideLeft ? kRenameLeft : kRenameRight);
    return false;
}

// Whether an item of the selection is covered by a marked ancestor that is
// selected too (deleting a folder deletes what is in it).
bool coveredByAncestor(const KItem* item, const std::vector<KItem*>& selection) {
    for (const KItem* up = item->iParent(); up && !up->isRootItem(); up = up->iParent())
        if (up->iCopyTo != kNone && std::find(selection.begin(), selection.end(), up) != selection.end()) return true;
    return false;
}

bool needsName(int action) {
    return action == kCopyAsToRight || action == kCopyAsToLeft || action == kRenameRight || action == kRenameLeft ||
           action == kRenameBoth;
}

// The names --as gives: LEFT:RIGHT splits for a rename of both sides only;
// any other name loses its separators, as the window's name field drops them.
QStringList namesGiven(const Mark& mark) {
    const QStringList parts = mark.newName.split(kNameSeparator);
    if (mark.action == kRenameBoth && parts.size() == 2) return parts;
    return {withoutSeparator(mark.newName)};
}

// The options of one press: the pattern, or the given name of the side pressed.
RenameOptions optionsOfPress(const Mark& mark, int action, int previous) {
    if (mark.pattern) return *mark.pattern;
    const QStringList names = namesGiven(mark);
    const bool right = action == kRenameRight || (action == kRenameBoth && previous == kRenameLeft);
    return {RenameNewName, names.size() == 2 && right ? names[1] : names[0]};
}

// "" when every name the marked items would get can name an entry.
QString newNameProblem(const Mark& mark, const std::vector<KItem*>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const KItem* item = items[i];
        if (!needsName(item->iCopyTo)) continue;
        for (const QString& name : item->iCopyAs().split(kNameSeparator))
            if (const char* problem = nameProblem(name))
                return Messages::format("cliBadNewName", QString::fromStdString(mark.paths[i]), name,
                                        Messages::text(problem));
    }
    return {};
}

std::optional<int> renameModeFromName(const std::string& name) {
    static const char* const kModes[] = {"new", "after", "before", "replace"};
    for (int mode = 0; mode < 4; ++mode)
        if (name == kModes[mode] || name == std::to_string(mode)) return mode;
    return std::nullopt;
}

// The options of --rename MODE TEXT, or the message saying why they make none.
QString renameOptions(const std::string& mode, const std::string& text, std::optional<RenameOptions>& out) {
    const std::optional<int> m = renameModeFromName(mode);
    if (!m) return Messages::format("cliBadRenameMode", QString::fromStdString(mode));
    const QString value = QString::fromStdString(text);
    if (*m != RenameReplace) {
        out = RenameOptions{*m, withoutSeparator(value)};
        return {};
    }
    const QStringList parts = value.split(kNameSeparator);
    if (parts.size() != 2 || parts[0].isEmpty()) return Messages::text("cliRenameReplaceText");
    out = RenameOptions::replacing(parts[0], parts[1]);
    return {};
}

std::optional<MarkKind> ignoreKind(const std::string& name) {
    if (name == "ignore") return MarkKind::Ignore;
    if (name == "unignore") return MarkKind::Unignore;
    return std::nullopt;
}

QString readPlan(const QString& file, std::vector<Mark>& marks) {
    std::string text;
    const std::string path = QFile::encodeName(file).toStdString();
    const platform::InputStatus status = platform::readInputFile(path, kActionPlanLimit, text);
    if (!status.ok()) return inputProblemText(path, status, kActionPlanLimit);
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text));
    if (!doc.isArray()) return Messages::format("cliBadActionPlan", file);
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        Mark m;
        const QString action = o.value(QStringLiteral("action")).toVariant().toString();
        if (const auto kind = ignoreKind(action.toStdString())) m.kind = *kind;
        else m.action = actionFromName(action);
        const QString path = o.value(QStringLiteral("path")).toString();
        if (m.action < 0 || path.isNull()) return Messages::format("cliBadActionPlan", file);
        m.paths.push_back(path.toStdString());
        m.newName = o.value(QStringLiteral("as")).toString();
        if (const QJsonValue rename = o.value(QStringLiteral("rename")); !rename.isUndefined()) {
            m.pattern = RenameOptions::fromDict(rename.toObject().toVariantMap());
            if (!rename.isObject() || !m.pattern || m.pattern->rename < RenameNewName || m.pattern->rename > RenameReplace)
                return Messages::format("cliBadActionPlan", file);
        }
        m.onlyDiff = o.value(QStringLiteral("onlyDiff")).toBool();
        marks.push_back(std::move(m));
    }
    return {};
}

// Marks one group of paths like a press on the first with all of them selected.
QString applyMark(CompareRun& run, MergeList& list, const Mark& mark) {
    std::vector<KItem*> items;
    for (const std::string& path : mark.paths) {
        KItem* item = run.nodeAtPath(path);
        // The two folders themselves cannot be left out of their own comparison.
        if (!item || (mark.kind != MarkKind::Action && item->isRootItem()))
            return Messages::format("cliNoSuchPath", QString::fromStdString(path));
        items.push_back(item);
    }
    if (mark.kind != MarkKind::Action) {
        for (KItem* item : items) run.module().SetIgnored(item, mark.kind == MarkKind::Ignore, true);
        return {};
    }
    if (needsName(mark.action)) {
        if (!mark.pattern && mark.newName.isEmpty())
            return Messages::format("cliMarkNeedsName", QLatin1String(actionName(mark.action)));
        if (mark.pattern && !mark.newName.isEmpty()) return Messages::text("cliAsAndRename");
        // One whole name for several items would give them all the same name.
        if (mark.pattern && mark.pattern->rename == RenameNewName && items.size() > 1)
            return Messages::text("cliRenameNewForOne");
        if (!mark.pattern)
            for (const QString& name : namesGiven(mark))
                if (const char* problem = nameProblem(name))
                    return Messages::format("cliBadName", name, Messages::text(problem));
    }
    if (!list.CanWriteFor(mark.action)) return Messages::text("cliReadOnlySide");
    if (mark.action == kNone) {
        for (KItem* item : items) list.SetItem(item, kNone, false);
        return {};
    }
    // Items whose new name changed nothing: their action fell back (a copy-as
    // to a copy, a rename to none), which is no refusal.
    QSet<const KItem*> fellBack;
    const RenameSetter rename = [&](KItem* item, int action, int previous) {
        SetCopyAsForRow(item, optionsOfPress(mark, action, previous), action, previous);
        if (item->iCopyTo != action) fellBack.insert(item);
    };
    // Each press as a selection of the items it still changes, so that it
    // combines with what an item carries (DeleteRight, then DeleteLeft, is
    // DeleteBoth) and a repeated mark changes nothing.
    for (const Press& press : pressesFor(mark.action, mark.onlyDiff)) {
        std::vector<KItem*> selection;
        for (KItem* item : items)
            if (!alreadyInEffect(item, press, mark.action)) selection.push_back(item);
        if (!selection.empty()) list.SetItemsForRow(selection.front(), selection, press.kind, press.side, -1, rename);
    }
    // What the presses made of the selection stands. Refused is only an item
    // left without any action: one the action cannot apply to (a delete of
    // a missing side), unless a selected folder above it carries it or it
    // went on to the items below (a folder holding ignored items).
    for (std::size_t i = 0; i < items.size(); ++i) {
        const KItem* item = items[i];
        if (fellBack.contains(item) && item->iCopyTo != mark.action) {
            printError(Messages::format("cliNameUnchanged", QString::fromStdString(mark.paths[i]),
                                        QLatin1String(actionName(item->iCopyTo))));
            continue;
        }
        if (item->iCopyTo != kNone || coveredByAncestor(item, items) || item->HasCopyActionsOnChildren()) continue;
        return Messages::format("cliMarkRefused", QString::fromStdString(mark.paths[i]),
                                QLatin1String(actionName(mark.action)));
    }
    return needsName(mark.action) ? newNameProblem(mark, items) : QString();
}

int printTree(CompareRun& run, bool json) {
    QuorvaneModule& module = run.module();
    KRootItem& root = *module.iRootItem();
    TreeWriter writer(stdout, module.view());
    writer.setColumns(run.columns());
    if (json) writer.writeJson(root);
    else writer.writeText(root, run.sideLabel(kSideLeft), run.sideLabel(kSideRight));
    return root.iState == kStateEqual ? 0 : 1;
}


struct ActionsOptions {
    MergeRunOptions merge;
    std::string planFile;
    CLI::Option *mark = nullptr, *path = nullptr, *as = nullptr, *rename = nullptr, *onlyDiff = nullptr;
    const CLI::App* command = nullptr;
};

// The marks in the order given: each --mark ACTION PATH... with the --path,
// --as and --only-diff that follow it. "" when they make sense.
QString collectMarks(const ActionsOptions& o, std::vector<Mark>& marks) {
    // Which mark each value of --mark belongs to (occurrences are split by an empty value).
    std::vector<std::size_t> owner;
    bool startNew = true;
    for (const std::string& value : o.mark->results()) {
        if (value.empty() && !startNew) {
            startNew = true;
            continue;
        }
        if (startNew) {
            Mark m;
            if (const auto kind = ignoreKind(value)) m.kind = *kind;
            else m.action = actionFromName(QString::fromStdString(value));
            if (m.action < 0) return Messages::format("cliUnknownAction", QString::fromStdString(value));
            marks.push_back(std::move(m));
            startNew = false;
        } else {
            marks.back().paths.push_back(value);
        }
        owner.push_back(marks.size() - 1);
    }
    std::size_t markValues = 0, paths = 0, names = 0, renameValues = 0;
    std::optional<std::size_t> current;
    for (const CLI::Option* option : o.command->parse_order()) {
        if (option == o.mark) {
            current = owner[markValues++];
            continue;
        }
        if (option != o.path && option != o.as && option != o.rename && option != o.onlyDiff) continue;
        if (!current) return Messages::format("cliNeedsMark", QString::fromStdString(option->get_name()));
        Mark& m = marks[*current];
        if (option == o.path) {
            m.paths.push_back(o.path->results()[paths++]);
        } else if (option == o.as) {
            m.newName = QString::fromStdString(o.as->results()[names++]);
        } else if (option == o.rename) {
            // Each --rename comes as two values, MODE then TEXT.
            if (++renameValues % 2) continue;
            const auto& values = o.rename->results();
            if (const QString problem = renameOptions(values[renameValues - 2], values[renameValues - 1], m.pattern);
                !problem.isEmpty())
                return problem;
        } else {
            m.onlyDiff = true;
        }
    }
    return {};
}

int runActions(CompareRun& run, ActionsOptions& o) {
    std::vector<Mark> marks;
    if (const QString problem = collectMarks(o, marks); !problem.isEmpty()) return failLine(problem);
    const MergeRunOptions& options = o.merge;
    if (!o.planFile.empty())
        if (const QString problem = readPlan(QFile::decodeName(o.planFile.c_str()), marks); !problem.isEmpty())
            return failLine(problem);
    if (marks.empty()) return failLine(Messages::text("cliNoMarks"));
    for (const Mark& mark : marks)
        if (mark.paths.empty()) return failLine(Messages::format("cliMissingValue", QStringLiteral("--mark")));
    const bool onlyIgnoreMarks =
        std::all_of(marks.begin(), marks.end(), [](const Mark& m) { return m.kind != MarkKind::Action; });
    if (!onlyIgnoreMarks) run.guardNesting(options.allowNested);
    // Held from before the comparison to the end, so that the plan is made
    // and carried out while no other run changes these folders.
    platform::RunLock lock;
    if (options.execute)
        if (const int status = lockFoldersOf(run, lock)) return status;
    if (const int status = run.run())
        return status == CompareRun::kFilePair ? failLine(Messages::text("SelCmpDirs")) : status;

    QuorvaneModule& module = run.module();
    MergeList& list = module.mergeList();
    list.iRODrive = (platform::mountOf(module.iLeftFolderPath()).readOnly ? 1 : 0) |
                    (platform::mountOf(module.iRightFolderPath()).readOnly ? 2 : 0);
    for (const Mark& mark : marks)
        if (const QString problem = applyMark(run, list, mark); !problem.isEmpty()) return failLine(problem);
    // Nothing to plan: the tree is shown with its marks, as compare shows it.
    if (onlyIgnoreMarks) return printTree(run, options.json);
    list.UpdateMergedArrayFromCHildren(module.iParentItem());
    return runMerge(run, list, options);
}

}  // namespace

void addActionsCommand(CommandLine& cli, QCoreApplication& app) {
    auto run = std::make_shared<CompareRun>(app, "actions");
    auto o = std::make_shared<ActionsOptions>();
    CLI::App* command = cli.addCommand(cli.root(), "actions", "cliCmdActions", "cliExampleActions",
                                       [run, o] { return runActions(*run, *o); });
    o->command = command;
    run->addOptions(*command);
    o->mark = described(command->add_option("--mark"), "cliOptMark")
                  ->type_name("ACTION PATH...")
                  ->expected(1, CLI::detail::expected_max_vector_size)
                  ->allow_extra_args(true);
    o->mark->inject_separator(true);
    o->path = repeatable(described(command->add_option("--path"), "cliOptMarkPath")->type_name("PATH"));
    o->as = repeatable(described(command->add_option("--as"), "cliOptMarkAs")->type_name("NAME"));
    // Two values taken as they come, so that a TEXT may start with "-" ("after -old").
    o->rename = repeatable(described(command->add_option("--rename"), "cliOptMarkRename")->type_name("MODE TEXT"))
                    ->type_size(2)
                    ->expected(1);
    o->onlyDiff = described(command->add_flag("--only-diff"), "cliOptOnlyDiff");
    described(command->add_option("--plan", o->planFile), "cliOptActionPlan")->type_name("FILE");
    addMergeOptions(*command, o->merge);
}

}  // namespace qv
