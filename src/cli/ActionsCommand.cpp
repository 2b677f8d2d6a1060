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

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

bool validName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") && name != QLatin1String("..");
}

// The new name stored for an action: "LEFT:RIGHT" for a rename of both sides.
QString storedName(int action, const QString& given) {
    const QStringList parts = given.split(QLatin1Char(':'));
    const QString left = parts.first(), right = parts.size() == 2 ? parts[1] : given;
    if (action == kRenameBoth) return left + QLatin1Char(':') + right;
    if (action == kRenameLeft) return left;
    if (action == kRenameRight) return right;
    return given;
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
    if (needsName(mark.action) && !validName(mark.newName.section(QLatin1Char(':'), 0, 0)))
        return Messages::format("cliMarkNeedsName", QLatin1String(actionName(mark.action)));
    const int side = KItem::AffectedSideOf(mark.action);
    if ((side & kSideLeft) && !list.CanDeleteOnSide(kSideLeft) && mark.action != kCopyToRight)
        return Messages::text("cliReadOnlySide");
    if ((side & kSideRight) && !list.CanDeleteOnSide(kSideRight) && mark.action != kCopyToLeft)
        return Messages::text("cliReadOnlySide");
    if ((mark.action == kCopyToRight && !list.CanCopyFromSide(kSideLeft)) ||
        (mark.action == kCopyToLeft && !list.CanCopyFromSide(kSideRight)))
        return Messages::text("cliReadOnlySide");
    if (mark.action == kNone) {
        for (KItem* item : items) list.SetItem(item, kNone, false);
        return {};
    }
    const RenameSetter rename = [&](KItem* item, int action, int) { item->setICopyAs(storedName(action, mark.newName)); };
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
        if (item->iCopyTo != kNone || coveredByAncestor(item, items) || item->HasCopyActionsOnChildren()) continue;
        return Messages::format("cliMarkRefused", QString::fromStdString(mark.paths[i]),
                                QLatin1String(actionName(mark.action)));
    }
    return {};
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
    CLI::Option *mark = nullptr, *path = nullptr, *as = nullptr, *onlyDiff = nullptr;
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
    std::size_t markValues = 0, paths = 0, names = 0;
    std::optional<std::size_t> current;
    for (const CLI::Option* option : o.command->parse_order()) {
        if (option == o.mark) {
            current = owner[markValues++];
            continue;
        }
        if (option != o.path && option != o.as && option != o.onlyDiff) continue;
        if (!current) return Messages::format("cliNeedsMark", QString::fromStdString(option->get_name()));
        Mark& m = marks[*current];
        if (option == o.path) m.paths.push_back(o.path->results()[paths++]);
        else if (option == o.as) m.newName = QString::fromStdString(o.as->results()[names++]);
        else m.onlyDiff = true;
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
    o->onlyDiff = described(command->add_flag("--only-diff"), "cliOptOnlyDiff");
    described(command->add_option("--plan", o->planFile), "cliOptActionPlan")->type_name("FILE");
    addMergeOptions(*command, o->merge);
}

}  // namespace qv
