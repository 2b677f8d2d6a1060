#pragma once
// The scripting commands on the session bus. The application object
// (/org/quorvane/Quorvane) gains the interface org.quorvane.Quorvane.Scripting
// with the methods Compare, Sync, Execute and Close, each taking the
// command's parameters as a{sv}, and the property Comparisons (the open
// comparisons' objects in document order). Every comparison is an object
// /org/quorvane/Quorvane/Comparisons/<number> with the interface
// org.quorvane.Quorvane.Comparison (Id, Differences, Actions, Errors, State …).
// Both announce changed values with org.freedesktop.DBus.Properties.PropertiesChanged.
//
// A method's reply is held back until the work has ended, so a caller must
// wait as long as the comparison may take (see docs/platform.md). A refused
// command answers with the error org.quorvane.Quorvane.Error.Minus<number>
// (Code<number> for a positive one) and the command's English text.

#include "scripting/BusNames.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QVariantMap>

#include <map>
#include <memory>

namespace qv {

class KQuorvaneScripting;
class ScriptingHost;
class Settings;
struct ScriptError;
struct ScriptResult;

class ScriptingAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvane.Quorvane.Scripting")
    // Written out so that introspection names every argument.
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"org.quorvane.Quorvane.Scripting\">\n"
                "    <method name=\"Compare\">\n"
                "      <arg name=\"parameters\" type=\"a{sv}\" direction=\"in\"/>\n"
                "      <arg name=\"comparison\" type=\"o\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"Sync\">\n"
                "      <arg name=\"parameters\" type=\"a{sv}\" direction=\"in\"/>\n"
                "      <arg name=\"comparison\" type=\"o\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"Execute\">\n"
                "      <arg name=\"parameters\" type=\"a{sv}\" direction=\"in\"/>\n"
                "      <arg name=\"completed\" type=\"b\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"Close\">\n"
                "      <arg name=\"parameters\" type=\"a{sv}\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <property name=\"Comparisons\" type=\"ao\" access=\"read\"/>\n"
                "  </interface>\n")
    Q_PROPERTY(QList<QDBusObjectPath> Comparisons READ comparisons)
public:
    // Adds the interface to `application` (an object registered with
    // ExportAdaptors on `connection`) and exports the comparisons of `host`.
    ScriptingAdaptor(QObject* application, KQuorvaneScripting& scripting, Settings& settings,
                     QDBusConnection connection);
    ~ScriptingAdaptor() override;

    QList<QDBusObjectPath> comparisons() const;

public slots:
    QDBusObjectPath Compare(const QVariantMap& parameters, const QDBusMessage& message);
    QDBusObjectPath Sync(const QVariantMap& parameters, const QDBusMessage& message);
    bool Execute(const QVariantMap& parameters, const QDBusMessage& message);
    void Close(const QVariantMap& parameters, const QDBusMessage& message);

private:
    class ComparisonObject;
    void run(const char* command, const QVariantMap& parameters, const QDBusMessage& message);
    void comparisonAdded(int uniqueASID);
    void comparisonRemoved(int uniqueASID);
    // PropertiesChanged of the application object's Comparisons.
    void announceComparisons();

    KQuorvaneScripting& m_scripting;
    ScriptingHost& m_host;
    Settings& m_settings;
    QDBusConnection m_connection;
    std::map<int, std::unique_ptr<ComparisonObject>> m_objects;
};

}  // namespace qv
