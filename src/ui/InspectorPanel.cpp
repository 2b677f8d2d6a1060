#include "ui/InspectorPanel.h"

#include "base/Messages.h"
#include "engine/KItem.h"
#include "snapshot/SnapshotRecorder.h"
#include "ui/Formatting.h"

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <cstring>

namespace qv {
namespace {

const char* const kRowKeys[] = {"insName",  "insKind",  "insSize", "insCreated", "insModified", "insAccessed",
                                "insPermissions", "insOwner", "insLink", "insTags", "insAttributes", "insDigest"};

QString kindText(const SideDetails& d) {
    switch (d.kind) {
        case SideDetails::Kind::Missing: return Messages::text("insMissing");
        case SideDetails::Kind::Folder: return Messages::text("insFolder");
        case SideDetails::Kind::Link: return Messages::text("insLinkKind");
        case SideDetails::Kind::Other: return Messages::text("insOther");
        case SideDetails::Kind::File: return d.type.isEmpty() ? Messages::text("insFile") : d.type;
    }
    return {};
}

}  // namespace

InspectorPanel::InspectorPanel(QWidget* parent) : QWidget(parent), m_digestButton(new QPushButton(Messages::text("insComputeDigest"), this)) {
    setAccessibleName(Messages::text("insTitle"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(Messages::text("leftSide"), this), 0, 1);
    grid->addWidget(new QLabel(Messages::text("rightSide"), this), 0, 2);
    for (int row = 0; row < RowCount; ++row) {
        auto* label = new QLabel(Messages::text(kRowKeys[row]), this);
        grid->addWidget(label, row + 1, 0, Qt::AlignTop);
        for (int side = 0; side < 2; ++side) {
            auto* value = new QLabel(this);
            value->setWordWrap(true);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            value->setAccessibleName(Messages::format(side == 0 ? "insLeftValue" : "insRightValue", label->text()));
            grid->addWidget(value, row + 1, side + 1, Qt::AlignTop);
            m_values[std::size_t(row)][std::size_t(side)] = value;
        }
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_digestButton, 0, Qt::AlignLeft);
    layout->addStretch(1);
    setMinimumWidth(420);
    connect(m_digestButton, &QPushButton::clicked, this, &InspectorPanel::computeDigests);
    showItem(nullptr);
}

InspectorPanel::~InspectorPanel() {
    if (!m_digestThread) return;
    disconnect(m_digestThread, nullptr, this, nullptr);
    m_digestThread->wait();
    delete m_digestThread;
}

QString InspectorPanel::valueText(int row, int side) const { return m_values[std::size_t(row)][std::size_t(side)]->text(); }

void InspectorPanel::showItem(const KItem* item) {
    m_item = item;
    ++m_generation;
    m_digests = {};
    refresh();
}

void InspectorPanel::refresh() {
    std::array<SideDetails, 2> sides;
    if (m_item) sides = PairDetails::of(*m_item);
    show(sides);
}

void InspectorPanel::show(const std::array<SideDetails, 2>& sides) {
    bool twoFiles = true;
    for (int side = 0; side < 2; ++side) {
        const SideDetails& d = sides[std::size_t(side)];
        const bool present = m_item && m_item->hasSide(side + 1);
        const auto set = [&](int row, const QString& text) { m_values[std::size_t(row)][std::size_t(side)]->setText(present ? text : QString()); };
        set(Name, m_item ? QFile::decodeName(std::string(m_item->nameForSide(side + 1)).c_str()) : QString());
        set(Kind, d.readError ? Messages::format("insUnreadable", QString::fromLocal8Bit(std::strerror(d.readError))) : kindText(d));
        set(Size, d.size < 0 ? (d.kind == SideDetails::Kind::Folder ? Messages::text("insCounting") : QString())
                             : formatByteCount(d.size));
        set(Created, formatDate(d.created));
        set(Modified, formatDate(d.modified));
        set(Accessed, formatDate(d.accessed));
        set(Permissions, d.permissions);
        set(Owner, d.owner);
        set(LinkTarget, d.linkTarget);
        set(Tags, d.tags.join(QStringLiteral(", ")));
        set(Attributes, d.attributes.join(QStringLiteral(", ")));
        set(Digest, m_digests[std::size_t(side)]);
        m_paths[std::size_t(side)] = present && !d.recorded ? d.path : QString();
        twoFiles = twoFiles && present && d.kind == SideDetails::Kind::File && !d.recorded;
    }
    m_digestButton->setEnabled(twoFiles && !m_digestThread);
}

void InspectorPanel::computeDigests() {
    if (m_digestThread || m_paths[0].isEmpty() || m_paths[1].isEmpty()) return;
    for (int side = 0; side < 2; ++side) m_values[Digest][std::size_t(side)]->setText(Messages::text("insComputing"));
    m_digestButton->setEnabled(false);
    const unsigned generation = m_generation;
    const std::array<std::string, 2> paths = {QFile::encodeName(m_paths[0]).toStdString(), QFile::encodeName(m_paths[1]).toStdString()};
    auto digests = std::make_shared<std::array<QString, 2>>();
    m_digestThread = QThread::create([paths, digests] {
        for (int side = 0; side < 2; ++side) (*digests)[std::size_t(side)] = QString::fromStdString(md5OfFile(paths[std::size_t(side)]));
    });
    connect(m_digestThread, &QThread::finished, this, [this, generation, digests] { digestsDone(generation, *digests); },
            Qt::QueuedConnection);
    m_digestThread->start();
}

void InspectorPanel::digestsDone(unsigned generation, std::array<QString, 2> digests) {
    m_digestThread->wait();
    delete m_digestThread;
    m_digestThread = nullptr;
    if (generation != m_generation) {
        refresh();
        return;
    }
    for (int side = 0; side < 2; ++side) {
        const QString& d = digests[std::size_t(side)];
        m_digests[std::size_t(side)] = d.isEmpty() ? Messages::text("insUnreadableFile") : d;
        m_values[Digest][std::size_t(side)]->setText(m_digests[std::size_t(side)]);
    }
    m_digestButton->setEnabled(true);
    emit digestsComputed();
}

}  // namespace qv
