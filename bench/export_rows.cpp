// The export of a whole comparison against the floor: a plain printf loop
// writing rows of the same fields for the same nodes.
//
//   bench_export_rows LEFT RIGHT

#include "base/Settings.h"
#include "QuietObserver.h"
#include "engine/FolderScanner.h"
#include "engine/KRootItem.h"
#include "export/ComparisonExport.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <chrono>
#include <cinttypes>
#include <cstdio>

namespace {

void printfRows(std::FILE* out, const qv::KItem& item, int depth) {
    for (const qv::KItem* c : item.iChildren()) {
        const std::string_view n1 = c->hasSide(qv::kSideLeft) ? c->nameForSide(qv::kSideLeft) : std::string_view("");
        const std::string_view n2 = c->hasSide(qv::kSideRight) ? c->nameBytes() : std::string_view("");
        std::fprintf(out, ";%*s%.*s;%" PRId64 ";%" PRId64 ";%d;%" PRId64 ";%" PRId64 ";%*s%.*s\n", depth * 4, "",
                     static_cast<int>(n1.size()), n1.data(), c->iSize1, c->iDate1 / 1000000000, c->iState,
                     c->iDate2 / 1000000000, c->iSize2, depth * 4, "", static_cast<int>(n2.size()), n2.data());
        printfRows(out, *c, depth + 1);
    }
}

double since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_export_rows LEFT RIGHT\n");
        return 2;
    }
    qv::bench::QuietObserver observer;
    auto root = qv::KRootItem::ItemWithFolder(argv[2], qv::kSideRight);
    root->setILeftPath(argv[1]);
    root->setIRightPath(argv[2]);
    qv::FolderScanner(qv::platform::systemFileSystem(), observer).CompareThread(*root);

    QTemporaryDir dir;
    qv::Settings settings(std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat));
    qv::ExportOptions options = qv::ExportOptions::fromSettings(settings);
    options.exportAll = true;
    qv::ComparisonExport exporter(*root, nullptr, {1, 2, 3, 0, 4, 5, 6}, options, {}, QString());

    std::FILE* null = std::fopen("/dev/null", "w");
    double best[2] = {1e9, 1e9};
    std::size_t bytes = 0;
    for (int round = 0; round < 5; ++round) {
        auto t = std::chrono::steady_clock::now();
        const QByteArray text = exporter.render();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), null);
        best[0] = std::min(best[0], since(t));
        bytes = static_cast<std::size_t>(text.size());
        t = std::chrono::steady_clock::now();
        printfRows(null, *root, 0);
        std::fflush(null);
        best[1] = std::min(best[1], since(t));
    }
    std::fclose(null);
    std::printf("%zu nodes: export %.3f s (%zu bytes), printf floor %.3f s, ratio %.2f\n", root->store().itemCount(),
                best[0], bytes, best[1], best[0] / best[1]);
    return 0;
}
