#include "export/ComparisonExport.h"

#include "platform/Utf8.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/KRootItem.h"
#include "platform/DurableFile.h"
#include "export/ExportDateFormatter.h"
#include "export/ExportMarks.h"
#include "export/KSizeFormatter.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <system_error>

namespace qv {
namespace {

// Lines are gathered and written in pieces of about this size.
constexpr std::size_t kFlushBytes = 1 << 20;

std::string utf8(const QString& text) { return text.toStdString(); }

// Wraps the field that starts at `start` in quotes when its text needs them.
void quoteTailIfNeeded(std::string& out, std::size_t start, std::string_view delimiter) {
    const std::string_view field(out.data() + start, out.size() - start);
    if (!fieldNeedsQuotes(field, delimiter)) return;
    const std::string text(field);
    out.resize(start);
    appendField(out, text, delimiter, true);
}

QString errorReason(int error) {
    return QString::fromLocal8Bit(std::generic_category().message(error).c_str());
}

}  // namespace

// --- options -------------------------------------------------------------------

int ExportOptions::indentFromSetting(const QString& value) {
    bool ok = false;
    const int step = value.trimmed().toInt(&ok);
    return ok && step >= 0 && step <= 24 ? step : 4;
}

ExportOptions ExportOptions::fromSettings(const Settings& settings) {
    ExportOptions o;
    o.tab = settings.boolValue(QStringLiteral("tabDelimiter"));
    const QString delimiter = settings.stringValue(QStringLiteral("exportDelimiter"));
    o.delimiter = o.tab ? QChar(u'\t') : delimiter.isEmpty() ? QChar() : delimiter.at(0);
    o.thousands = settings.stringValue(QStringLiteral("thousandsDelimiter"));
    o.noGrouping = settings.boolValue(QStringLiteral("noneThousandsDelimiter"));
    o.sizeInBytes = settings.boolValue(QStringLiteral("expSizeInBytes"));
    o.prefixOn = settings.boolValue(QStringLiteral("exportPrefix"));
    o.prefixChar = settings.stringValue(QStringLiteral("exportPrefixChar"));
    o.indentStep = indentFromSetting(settings.stringValue(QStringLiteral("exportIndent")));
    o.quotes = settings.boolValue(QStringLiteral("exportQuotes"));
    o.optimizedFor = static_cast<int>(settings.intValue(QStringLiteral("optimizedFor")));
    o.exportAll = settings.boolValue(QStringLiteral("exportAll"));
    o.showTime = settings.boolValue(QStringLiteral("showTime"));
    o.showRelative = settings.boolValue(QStringLiteral("showRelative"));
    return o;
}

// --- construction -------------------------------------------------------------

ComparisonExport::ComparisonExport(const KRootItem& root, KItem* parentItem, std::vector<int> columnIds,
                                   ExportOptions options, ExportView view, QString statusHeader)
    : m_root(root),
      m_parent(parentItem ? parentItem : const_cast<KRootItem*>(&root)),
      m_columnIds(std::move(columnIds)),
      m_options(std::move(options)),
      m_view(std::move(view)),
      m_statusHeader(std::move(statusHeader)) {
    if (!m_options.delimiter.isNull()) m_delimiter = utf8(QString(m_options.delimiter));
    // The prefix is one character or nothing: a longer text would shift every name differently.
    const QString& prefix = m_options.prefixChar;
    const bool oneCharacter = prefix.size() == 1 ||
                              (prefix.size() == 2 && prefix.at(0).isHighSurrogate() && prefix.at(1).isLowSurrogate());
    if (m_options.prefixOn && oneCharacter) m_prefix = utf8(prefix);
    m_step = m_options.indentStep >= 0 && m_options.indentStep <= 24 ? m_options.indentStep : 4;
    if (m_options.optimizedFor == 1) {
        m_openMarker = "\u25BE ";
        m_closedMarker = "\u25B8 ";
    } else {
        m_openMarker = "v ";
        m_closedMarker = "> ";
    }
}

ComparisonExport::~ComparisonExport() = default;

// --- texts -----------------------------------------------------------------------

QString ComparisonExport::columnTitle(int columnId) {
    if (columnId == kExportState) return QStringLiteral("> = <");
    if (columnId <= 0 || columnId >= kExportColumnCount) return {};
    const QByteArray key = "column" + QByteArray::number(columnId);
    return Messages::text(key.constData());
}

QString ComparisonExport::columnListText(const std::vector<int>& columnIds) {
    QStringList titles;
    for (int id : columnIds) titles << (id == kExportState ? QStringLiteral(">=<") : columnTitle(id));
    return titles.join(QStringLiteral(", "));
}

QString ComparisonExport::successText(const QString& destination) {
    return Messages::format("expSuccess", QFileInfo(destination).fileName());
}

// --- writing ------------------------------------------------------------------

QString ComparisonExport::ExportNow(const QString& destination, bool replace, const std::atomic<bool>* cancelled) {
    // A failure names the whole path: the folder is as likely to be wrong as the name.
    const QString& name = destination;
    platform::DurableFile file;
    if (const int error = file.open(QFile::encodeName(destination).toStdString(), replace))
        return Messages::format("expFailed", name, errorReason(error));
    int writeError = 0;
    const Sink sink = [&](std::string_view bytes) {
        writeError = file.write(bytes);
        return writeError == 0;
    };
    const bool complete = writeAll(sink, cancelled);
    if (!complete) {
        file.abandon();
        return Messages::format("expFailed", name, errorReason(writeError ? writeError : ECANCELED));
    }
    if (const int error = file.commit()) return Messages::format("expFailed", name, errorReason(error));
    return {};
}

QByteArray ComparisonExport::render(const std::atomic<bool>* cancelled) {
    QByteArray text;
    writeAll([&](std::string_view bytes) {
        text.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
        return true;
    }, cancelled);
    return text;
}

bool ComparisonExport::writeAll(const Sink& sink, const std::atomic<bool>* cancelled) {
    const KSizeFormatter sizes(m_options.sizeInBytes, m_options.noGrouping ? QString() : m_options.thousands);
    ExportDateFormatter dates(m_options.showTime, m_options.showRelative,
                              QDateTime::currentMSecsSinceEpoch() * 1'000'000);
    m_sizes = &sizes;
    m_dates = &dates;
    m_sink = &sink;
    m_cancelled = cancelled;
    m_sinkFailed = false;

    std::string out;
    out.reserve(kFlushBytes + kFlushBytes / 8);
    appendHead(out);
    AddChildrenOf(m_parent, out, 0);
    // A cancelled render still hands over what it wrote; the file writer throws it away.
    if (!m_sinkFailed && !out.empty() && !sink(out)) m_sinkFailed = true;
    const bool complete = !stopped();

    m_sizes = nullptr;
    m_dates = nullptr;
    m_sink = nullptr;
    m_cancelled = nullptr;
    return complete;
}

bool ComparisonExport::stopped() const {
    return m_sinkFailed || (m_cancelled && m_cancelled->load(std::memory_order_relaxed));
}

void ComparisonExport::flushIfFull(std::string& out) {
    if (out.size() < kFlushBytes) return;
    if (!(*m_sink)(out)) m_sinkFailed = true;
    out.clear();
}

void ComparisonExport::appendHead(std::string& out) {
    for (int id : m_columnIds) {
        out += m_delimiter;
        appendField(out, utf8(columnTitle(id)), m_delimiter);
    }
    out += '\n';

    appendField(out, utf8(Messages::text("expFolders")), m_delimiter);
    const KItem& parent = *m_parent;
    for (int id : m_columnIds) {
        out += m_delimiter;
        switch (id) {
        case kExportState: {
            const QString differ = Messages::text("FoldersDiff0");
            if (!differ.isEmpty() && m_statusHeader.startsWith(differ)) out += "!=";
            else if (m_statusHeader == Messages::text("FoldersEqual")) out += "==";
            break;
        }
        case kExportName1: appendField(out, m_root.iLeftPath(), m_delimiter); break;
        case kExportName2: appendField(out, m_root.iRightPath(), m_delimiter); break;
        case kExportSize1: appendSize(parent, kSideLeft, out); break;
        case kExportSize2: appendSize(parent, kSideRight, out); break;
        default: {
            const ItemExtras* x = parent.extrasIfAny();
            switch (id) {
            case kExportDate1: if (parent.hasSide(kSideLeft)) appendDate(parent.iDate1, out); break;
            case kExportDate2: if (parent.hasSide(kSideRight)) appendDate(parent.iDate2, out); break;
            case kExportCreated1: if (x) appendDate(x->iDateC1, out); break;
            case kExportCreated2: if (x) appendDate(x->iDateC2, out); break;
            case kExportOpened1: if (x) appendDate(x->iDateO1, out); break;
            case kExportOpened2: if (x) appendDate(x->iDateO2, out); break;
            case kExportAdded1: if (x) appendDate(x->iDateA1, out); break;
            case kExportAdded2: if (x) appendDate(x->iDateA2, out); break;
            default: break;
            }
        }
        }
    }
    out += '\n';
}

bool ComparisonExport::writtenWithChildren(const KItem* item) const {
    if (m_options.exportAll) return !item->iChildren().empty();
    return m_view.isExpanded ? m_view.isExpanded(item) : item->iExpanded;
}

bool ComparisonExport::expandableSide(const KItem* item, int side) const {
    if (m_view.isExpandable) return m_view.isExpandable(item, side);
    const bool folder = side == kSideLeft ? item->iDir1 : item->iDir2;
    return item->hasSide(side) && folder && !item->iChildren().empty();
}

void ComparisonExport::AddChildrenOf(KItem* item, std::string& out, int indent) {
    if (stopped()) return;
    auto writeChild = [&](KItem* child) {
        const bool withChildren = writtenWithChildren(child);
        const bool expandable = expandableSide(child, kSideLeft) || expandableSide(child, kSideRight);
        appendItemLine(*child, withChildren, expandable, indent, out);
        flushIfFull(out);
        if (withChildren) AddChildrenOf(child, out, indent + m_step);
    };
    if (m_options.exportAll || !m_view.shownChildren) {
        for (KItem* child : item->iChildren()) writeChild(child);
    } else {
        for (KItem* child : m_view.shownChildren(item)) writeChild(child);
    }
}

void ComparisonExport::appendItemLine(const KItem& item, bool withChildren, bool expandable, int indent,
                                      std::string& out) {
    const ItemExtras* x = nullptr;
    bool extrasRead = false;
    auto extras = [&]() -> const ItemExtras* {
        if (!extrasRead) {
            x = item.extrasIfAny();
            extrasRead = true;
        }
        return x;
    };
    auto appendExtraText = [&](QString ItemExtras::*field) {
        if (const ItemExtras* e = extras()) appendText(e->*field, out);
    };
    auto appendExtraDate = [&](std::int64_t ItemExtras::*field) {
        if (const ItemExtras* e = extras()) appendDate(e->*field, out);
    };

    for (int id : m_columnIds) {
        out += m_delimiter;
        switch (id) {
        case kExportState: out += stateMark(item, m_root.iCmpFileContents); break;
        case kExportName1:
        case kExportName2: {
            const int side = id == kExportName1 ? kSideLeft : kSideRight;
            m_leading.assign(m_prefix);
            m_leading.append(static_cast<std::size_t>(indent), ' ');
            if (!expandable) m_leading += "  ";
            else if (expandableSide(&item, side)) m_leading += withChildren ? m_openMarker : m_closedMarker;
            // Always valid UTF-8: an undecodable byte of a name is written as U+FFFD.
            const std::string name = item.hasSide(side) ? platform::displayUtf8(item.nameForSide(side)) : std::string();
            appendNameField(out, m_leading, name, m_delimiter, m_options.quotes);
            break;
        }
        case kExportSize1: appendSize(item, kSideLeft, out); break;
        case kExportSize2: appendSize(item, kSideRight, out); break;
        case kExportDate1: if (item.hasSide(kSideLeft)) appendDate(item.iDate1, out); break;
        case kExportDate2: if (item.hasSide(kSideRight)) appendDate(item.iDate2, out); break;
        case kExportCreated1: appendExtraDate(&ItemExtras::iDateC1); break;
        case kExportCreated2: appendExtraDate(&ItemExtras::iDateC2); break;
        case kExportOpened1: appendExtraDate(&ItemExtras::iDateO1); break;
        case kExportOpened2: appendExtraDate(&ItemExtras::iDateO2); break;
        case kExportAdded1: appendExtraDate(&ItemExtras::iDateA1); break;
        case kExportAdded2: appendExtraDate(&ItemExtras::iDateA2); break;
        case kExportKind1: appendExtraText(&ItemExtras::iKind1); break;
        case kExportKind2: appendExtraText(&ItemExtras::iKind2); break;
        case kExportTags1: appendExtraText(&ItemExtras::iTags1); break;
        case kExportTags2: appendExtraText(&ItemExtras::iTags2); break;
        case kExportMD51: appendExtraText(&ItemExtras::iMD51); break;
        case kExportMD52: appendExtraText(&ItemExtras::iMD52); break;
        default: break;
        }
    }
    out += '\n';
}

void ComparisonExport::appendSize(const KItem& item, int side, std::string& out) {
    // A folder whose size was not added up yet has none to show.
    if (!item.hasSide(side) || !item.iSizeReady) return;
    const std::size_t start = out.size();
    m_sizes->appendUtf8(side == kSideLeft ? item.iSize1 : item.iSize2, out);
    quoteTailIfNeeded(out, start, m_delimiter);
}

void ComparisonExport::appendDate(std::int64_t dateNs, std::string& out) {
    if (dateNs == platform::kNoTime) return;
    const std::size_t start = out.size();
    m_dates->appendUtf8(dateNs, out);
    // A comma-separated file keeps a date in one field without quotes.
    if (m_delimiter == ",")
        for (std::size_t i = start; i < out.size(); ++i)
            if (out[i] == ',') out[i] = ' ';
    quoteTailIfNeeded(out, start, m_delimiter);
}

void ComparisonExport::appendText(const QString& text, std::string& out) {
    if (text.isEmpty()) return;
    appendField(out, utf8(text), m_delimiter);
}

}  // namespace qv
