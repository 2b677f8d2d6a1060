#include "app/WindowLayout.h"

#include "base/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace qv::WindowLayout {
namespace {

const QString kColumnsKey = QStringLiteral("columns53");
const QString kPanesKey = QStringLiteral("ui78");
const QString kWindowsKey = QStringLiteral("openWindows");

QJsonArray columnsToJson(const QList<ColumnLayout>& columns) {
    QJsonArray out;
    for (const ColumnLayout& c : columns) {
        QJsonObject o{{QStringLiteral("id"), c.id}, {QStringLiteral("width"), c.width}};
        if (!c.colorId.isEmpty()) o.insert(QStringLiteral("colorId"), c.colorId);
        out.append(o);
    }
    return out;
}

std::optional<QList<ColumnLayout>> columnsFromJson(const QJsonValue& value) {
    if (!value.isArray()) return std::nullopt;
    QList<ColumnLayout> out;
    for (const QJsonValue& v : value.toArray()) {
        const QJsonObject o = v.toObject();
        const QJsonValue id = o.value(QStringLiteral("id"));
        const QJsonValue width = o.value(QStringLiteral("width"));
        if (!id.isString() || !width.isDouble() || width.toDouble() < 0) return std::nullopt;
        out.append({id.toString(), width.toDouble(), o.value(QStringLiteral("colorId")).toString()});
    }
    return out;
}

QJsonObject panesToJson(const PaneLayout& ui) {
    return {{QStringLiteral("leftSplit"), ui.leftSplit},
            {QStringLiteral("rightSplit"), ui.rightSplit},
            {QStringLiteral("fileType"), ui.fileType}};
}

std::optional<PaneLayout> panesFromJson(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    const QJsonObject o = value.toObject();
    PaneLayout ui;
    ui.leftSplit = std::max(0, o.value(QStringLiteral("leftSplit")).toInt());
    ui.rightSplit = std::max(0, o.value(QStringLiteral("rightSplit")).toInt());
    ui.fileType = o.value(QStringLiteral("fileType")).toInt();
    if (ui.fileType < 0 || ui.fileType > 3) ui.fileType = 0;
    return ui;
}

QJsonValue parse(const Settings& settings, const QString& key) {
    const QJsonDocument doc = QJsonDocument::fromJson(settings.value(key).toString().toUtf8());
    if (doc.isArray()) return doc.array();
    if (doc.isObject()) return doc.object();
    return {};
}

QString text(const QJsonValue& value) {
    const QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return QString::fromUtf8(doc.toJson(QJsonDocument::Compact));
}

}  // namespace

void storeLayout(Settings& settings, const QList<ColumnLayout>& columns, const PaneLayout& ui) {
    settings.store(kColumnsKey, text(columnsToJson(columns)));
    settings.store(kPanesKey, text(panesToJson(ui)));
}

std::optional<QList<ColumnLayout>> storedColumns(const Settings& settings) {
    return columnsFromJson(parse(settings, kColumnsKey));
}

std::optional<PaneLayout> storedPanes(const Settings& settings) { return panesFromJson(parse(settings, kPanesKey)); }

void storeOpenWindows(Settings& settings, const std::vector<RestorableWindow>& windows) {
    if (windows.empty()) {
        settings.remove(kWindowsKey);
        return;
    }
    QJsonArray list;
    for (const RestorableWindow& w : windows) {
        QJsonObject o{{QStringLiteral("uuid"), w.uuid},
                      {QStringLiteral("RESTleftPath"), w.leftPath},
                      {QStringLiteral("RESTrightPath"), w.rightPath},
                      {QStringLiteral("RESTleftFile"), w.leftFile},
                      {QStringLiteral("RESTrightFile"), w.rightFile},
                      {QStringLiteral("RESTselTab"), w.selTab},
                      {QStringLiteral("RESTcolumns53"), columnsToJson(w.columns)},
                      {QStringLiteral("RESTui78"), panesToJson(w.ui)}};
        if (!w.geometry.isEmpty())
            o.insert(QStringLiteral("geometry"), QJsonArray{w.geometry.x(), w.geometry.y(), w.geometry.width(),
                                                            w.geometry.height()});
        if (w.maximized) o.insert(QStringLiteral("maximized"), true);
        list.append(o);
    }
    settings.store(kWindowsKey, text(list));
}

std::vector<RestorableWindow> openWindows(const Settings& settings) {
    std::vector<RestorableWindow> out;
    const QJsonValue value = parse(settings, kWindowsKey);
    for (const QJsonValue& v : value.toArray()) {
        if (!v.isObject()) continue;
        const QJsonObject o = v.toObject();
        RestorableWindow w;
        w.uuid = o.value(QStringLiteral("uuid")).toString();
        w.leftPath = o.value(QStringLiteral("RESTleftPath")).toString();
        w.rightPath = o.value(QStringLiteral("RESTrightPath")).toString();
        w.leftFile = o.value(QStringLiteral("RESTleftFile")).toString();
        w.rightFile = o.value(QStringLiteral("RESTrightFile")).toString();
        w.selTab = o.value(QStringLiteral("RESTselTab")).toString(QStringLiteral("0"));
        w.columns = columnsFromJson(o.value(QStringLiteral("RESTcolumns53"))).value_or(QList<ColumnLayout>());
        w.ui = panesFromJson(o.value(QStringLiteral("RESTui78"))).value_or(PaneLayout());
        const QJsonArray g = o.value(QStringLiteral("geometry")).toArray();
        if (g.size() == 4 && g[2].toInt() > 0 && g[3].toInt() > 0)
            w.geometry = QRect(g[0].toInt(), g[1].toInt(), g[2].toInt(), g[3].toInt());
        w.maximized = o.value(QStringLiteral("maximized")).toBool();
        out.push_back(std::move(w));
    }
    return out;
}

}  // namespace qv::WindowLayout
