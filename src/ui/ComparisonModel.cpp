#include "ui/ComparisonModel.h"

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "engine/KRootItem.h"
#include "engine/SortOrder.h"
#include "engine/StateWords.h"
#include "engine/ViewFilter.h"
#include "ui/Formatting.h"
#include "ui/StateAppearance.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

namespace qv {
namespace {

const std::vector<KItem*> kNoRows;

bool isFolder(const KItem* item) { return item->iDir1 || item->iDir2; }

int sideOfColumn(int column) {
    switch (column) {
    case ComparisonModel::LeftName: case ComparisonModel::LeftSize: case ComparisonModel::LeftDate: return kSideLeft;
    case ComparisonModel::RightName: case ComparisonModel::RightSize: case ComparisonModel::RightDate: return kSideRight;
    case ComparisonModel::State: return 0;
    default: return (column - ComparisonModel::kFirstOptional) % 2 == 0 ? kSideLeft : kSideRight;
    }
}

bool isDirOnSide(const KItem* item, int side) { return side == kSideLeft ? item->iDir1 : item->iDir2; }

}  // namespace

ComparisonModel::ComparisonModel(QuorvaneModule& module, QObject* parent) : QAbstractItemModel(parent), m_module(module) {
    connect(&module, &QuorvaneModule::runStarted, this, &ComparisonModel::runStarted);
    connect(&module, &QuorvaneModule::compareThreadFinished, this, [this] { treeReplaced(); });
    connect(&module, &QuorvaneModule::sizesCalculated, this, &ComparisonModel::refreshValues);
    connect(&module, &QuorvaneModule::actionsChanged, this, &ComparisonModel::refreshValues);
    connect(&module, &QuorvaneModule::columnsRefreshed, this, &ComparisonModel::refreshValues);
    connect(&module, &QuorvaneModule::aboutToResort, this, &ComparisonModel::beginRelayout);
    connect(&module, &QuorvaneModule::resorted, this, &ComparisonModel::endRelayout);
    connect(&module, &QuorvaneModule::ignoreMarksAboutToChange, this, &ComparisonModel::beginRelayout);
    connect(&module, &QuorvaneModule::ignoreMarksChanged, this, &ComparisonModel::endRelayout);
    if (module.iParentItem()) treeReplaced();
}

int ComparisonModel::sortColumnFor(int column) {
    switch (column) {
    case LeftName: return kColumnName2;
    case LeftSize: return kColumnSize1;
    case LeftDate: return kColumnDate1;
    case RightName: return kColumnName1;
    case RightSize: return kColumnSize2;
    case RightDate: return kColumnDate2;
    case State: return kColumnState;
    default: return kColumnCreated1 + (column - kFirstOptional);   // the optional columns keep the engine's order
    }
}

std::uint32_t ComparisonModel::optionalBitOf(int column) {
    static const std::uint32_t bits[] = {kColumnCreationDate, kColumnOpeningDate, kColumnKind, kColumnTags, kColumnDigest};
    if (column < kFirstOptional || column >= ColumnCount) return 0;
    return bits[(column - kFirstOptional) / 2];
}

void ComparisonModel::runStarted() { detach(); }

void ComparisonModel::detach() {
    // No index may point into a tree that is about to be freed.
    beginResetModel();
    m_top = nullptr;
    m_folderRows.clear();
    m_fetching = nullptr;
    endResetModel();
}

void ComparisonModel::treeReplaced() {
    beginResetModel();
    m_top = m_module.iParentItem();
    m_folderRows.clear();
    endResetModel();
}

void ComparisonModel::beginRelayout() {
    emit layoutAboutToBeChanged();
    m_relayoutIndexes = persistentIndexList();
    m_relayoutItems.clear();
    for (const QModelIndex& i : m_relayoutIndexes) m_relayoutItems.push_back(itemAt(i));
}

void ComparisonModel::endRelayout() {
    m_folderRows.clear();
    QModelIndexList after;
    after.reserve(m_relayoutIndexes.size());
    for (int i = 0; i < m_relayoutIndexes.size(); ++i) {
        const QModelIndex moved = indexOf(m_relayoutItems[static_cast<std::size_t>(i)]);
        after << (moved.isValid() ? moved.siblingAtColumn(m_relayoutIndexes[i].column()) : QModelIndex());
    }
    changePersistentIndexList(m_relayoutIndexes, after);
    m_relayoutIndexes.clear();
    m_relayoutItems.clear();
    emit layoutChanged();
}

void ComparisonModel::refreshValues() {
    // A view repaints only the rows it shows, so one range over the top level
    // (which the view treats as "repaint everything") stands for every row.
    if (!m_top) return;
    const int rows = rowCount();
    if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, ColumnCount - 1));
}

const std::vector<KItem*>& ComparisonModel::shownChildren(KItem* node) const {
    if (!m_top || !node || node == m_fetching) return kNoRows;
    return m_module.shownChildren(node);
}

KItem* ComparisonModel::nodeFor(const QModelIndex& parent) const {
    return parent.isValid() ? itemAt(parent) : m_top;
}

KItem* ComparisonModel::itemAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<KItem*>(index.internalPointer()) : nullptr;
}

QModelIndex ComparisonModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= ColumnCount) return {};
    const auto& rows = shownChildren(nodeFor(parent));
    if (row >= static_cast<int>(rows.size())) return {};
    return createIndex(row, column, rows[static_cast<std::size_t>(row)]);
}

int ComparisonModel::rowOf(KItem* item) const {
    if (const auto it = m_folderRows.find(item); it != m_folderRows.end()) return it->second;
    const auto& siblings = shownChildren(item->iParent());
    int found = -1;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i]->folderIfAny()) m_folderRows[siblings[i]] = static_cast<int>(i);
        if (siblings[i] == item) found = static_cast<int>(i);
    }
    return found;
}

QModelIndex ComparisonModel::parent(const QModelIndex& child) const {
    KItem* item = itemAt(child);
    if (!item || !m_top) return {};
    KItem* parent = item->iParent();
    if (!parent || parent == m_top) return {};
    const int row = rowOf(parent);
    return row < 0 ? QModelIndex() : createIndex(row, 0, parent);
}

QModelIndex ComparisonModel::indexOf(KItem* item) const {
    if (!item || !m_top || item == m_top) return {};
    const int row = rowOf(item);
    return row < 0 ? QModelIndex() : createIndex(row, 0, item);
}

int ComparisonModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return static_cast<int>(shownChildren(nodeFor(parent)).size());
}

int ComparisonModel::columnCount(const QModelIndex&) const { return ColumnCount; }

bool ComparisonModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid()) return m_top != nullptr;
    if (parent.column() > 0) return false;
    return m_module.canExpand(itemAt(parent));
}

bool ComparisonModel::canFetchMore(const QModelIndex& parent) const {
    KItem* item = itemAt(parent);
    return item && m_module.needsListing(item) && m_module.canExpand(item);
}

void ComparisonModel::fetchMore(const QModelIndex& parent) {
    KItem* item = itemAt(parent);
    if (!canFetchMore(parent)) return;
    // The rows are listed first and shown only inside the insertion, so the
    // view never sees a count that changed without being told.
    m_fetching = item;
    const int rows = static_cast<int>(m_module.ListFolderOnDemand(item));
    if (rows == 0) {
        m_fetching = nullptr;
        return;
    }
    beginInsertRows(parent, 0, rows - 1);
    m_fetching = nullptr;
    endInsertRows();
}

QVariant ComparisonModel::displayText(const KItem* item, int column) const {
    const int side = sideOfColumn(column);
    if (side && !item->hasSide(side)) return {};
    switch (column) {
    case LeftName: case RightName: {
        const std::string_view name = item->nameForSide(side);
        return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    }
    case LeftSize: case RightSize: {
        if (isDirOnSide(item, side) && !item->iSizeReady) return QStringLiteral("…");
        return formatSize(side == kSideLeft ? item->iSize1 : item->iSize2);
    }
    case LeftDate: case RightDate: return formatDate(side == kSideLeft ? item->iDate1 : item->iDate2);
    default: return optionalText(item, column);
    }
}

QVariant ComparisonModel::optionalText(const KItem* item, int column) const {
    const ItemExtras* x = item->extrasIfAny();
    if (!x) return {};
    const bool left = sideOfColumn(column) == kSideLeft;
    switch (optionalBitOf(column)) {
    case kColumnCreationDate: return formatDate(left ? x->iDateC1 : x->iDateC2);
    case kColumnOpeningDate: return formatDate(left ? x->iDateO1 : x->iDateO2);
    case kColumnKind: return left ? x->iKind1 : x->iKind2;
    case kColumnTags: return left ? x->iTags1 : x->iTags2;
    case kColumnDigest: return left ? x->iMD51 : x->iMD52;
    default: return {};
    }
}

QString ComparisonModel::toolTip(const KItem* item) const {
    QString text = stateWords(item->iState);
    if (item->iCopyTo != kNone) text += QStringLiteral(" — ") + actionWords(item->iCopyTo);
    // A folder's totals of what differs below it, once the size pass has counted them.
    const FolderPart* f = item->folderIfAny();
    if (f && isFolder(item) && item->iSizeReady && (f->iDiffs1 || f->iOrphans1 || f->iOrphans2)) {
        QLocale locale;
        text += QLatin1Char('\n') + Messages::format("folderCounts", locale.toString(qulonglong(std::max(f->iDiffs1, f->iDiffs2))),
                                                     locale.toString(qulonglong(f->iOrphans1 + f->iOrphans2)));
    }
    return text;
}

QString ComparisonModel::accessibleText(const KItem* item, int column) const {
    // A name cell reads as the whole row (name, kind, state, action), so a
    // listener moving down the rows hears each pair's state in words; the
    // other cells read their own value, or that the side has no entry.
    const int side = sideOfColumn(column);
    QStringList parts;
    if (column == LeftName || column == RightName) {
        if (!item->hasSide(side)) return Messages::text("a11yNoEntry");
        parts << displayText(item, column).toString();
        if (isDirOnSide(item, side)) parts << Messages::text("a11yFolder");
    } else if (side) {
        return item->hasSide(side) ? displayText(item, column).toString() : Messages::text("a11yNoEntry");
    }
    parts << stateWords(item->iState);
    if (item->iCopyTo != kNone) parts << actionWords(item->iCopyTo);
    if (item->iIgnored) parts << Messages::text("a11yIgnored");
    return parts.join(QStringLiteral(", "));
}

QVariant ComparisonModel::data(const QModelIndex& index, int role) const {
    const KItem* item = itemAt(index);
    if (!item) return {};
    const int column = index.column();
    const int side = sideOfColumn(column);
    switch (role) {
    case Qt::DisplayRole: return displayText(item, column);
    case Qt::DecorationRole:
        if ((column == LeftName || column == RightName) && item->hasSide(side))
            return entryIcon(isDirOnSide(item, side), item->isLink(side));
        return {};
    case Qt::ForegroundRole:
        if (column == LeftName || column == RightName) return stateBrush(item->iState, QApplication::palette());
        return {};
    case Qt::TextAlignmentRole:
        if (column == LeftSize || column == RightSize) return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::ToolTipRole: return toolTip(item);
    case Qt::AccessibleTextRole: return accessibleText(item, column);
    case Qt::AccessibleDescriptionRole: return stateWords(item->iState);
    case StateRole: return item->iState;
    case ActionRole: return int(item->iCopyTo);
    case IgnoredRole: return bool(item->iIgnored);
    default: return {};
    }
}

QVariant ComparisonModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole) return {};
    // Shown, a column names what it holds; spoken, also its side ("Left name", "Right size").
    static const char* shown[ColumnCount] = {"colLeftName", "colSize", "colModified", "colState", "colRightName",
                                             "colSize", "colModified", "colCreated", "colCreated", "colOpened",
                                             "colOpened", "colKind", "colKind", "colTags", "colTags", "colDigest",
                                             "colDigest"};
    if (role == Qt::DisplayRole) return Messages::text(shown[section]);
    const int side = sideOfColumn(section);
    if (!side) return Messages::text(shown[section]);
    const char* what = section == LeftName || section == RightName ? "a11yName" : shown[section];
    return Messages::text(side == kSideLeft ? "a11yLeft" : "a11yRight") + QLatin1Char(' ') + Messages::text(what).toLower();
}

Qt::ItemFlags ComparisonModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (isFolder(itemAt(index))) f |= Qt::ItemIsDropEnabled;
    return f;
}

void ComparisonModel::sort(int column, Qt::SortOrder order) {
    if (!m_top) return;
    m_module.SafeResort(sortColumnFor(column), order == Qt::AscendingOrder);
}

QStringList ComparisonModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* ComparisonModel::mimeData(const QModelIndexList& indexes) const {
    // Each selected cell gives the path of its own side; the state column both sides.
    QList<QUrl> urls;
    QSet<QString> seen;
    for (const QModelIndex& i : indexes) {
        const KItem* item = itemAt(i);
        const int side = sideOfColumn(i.column());
        for (int s : {kSideLeft, kSideRight}) {
            if ((side && s != side) || !item->hasSide(s)) continue;
            const QString path = QFile::decodeName(item->PathForSide(s).c_str());
            if (!seen.contains(path)) {
                seen.insert(path);
                urls << QUrl::fromLocalFile(path);
            }
        }
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

}  // namespace qv
