#pragma once
// The controller of one comparison window: it owns the window's state, the
// current tree and the comparison thread, and routes actions to them.

#include "app/WindowState.h"
#include "engine/KRootItem.h"
#include "engine/ScanObserver.h"
#include "engine/ScanOptions.h"
#include "filters/KExcludeRules.h"
#include "platform/FileSystem.h"

#include <QObject>
#include <QString>

#include <memory>

class QThread;

namespace qv {

class FolderScanner;
class Settings;
class UserPrompt;

class QuorvaneModule : public QObject {
    Q_OBJECT
public:
    QuorvaneModule(UserPrompt& prompt, Settings& settings,
                   platform::FileSystem& fs = platform::systemFileSystem(), QObject* parent = nullptr);
    ~QuorvaneModule() override;

    WindowState& state() { return m_state; }
    const WindowState& state() const { return m_state; }

    // The Compare action. `scripted` stands for a call from a script or a
    // repeated run: nothing is asked. Returns true when a run started.
    bool Compare(bool scripted = false);
    bool CheckComparedFolders(bool folderTab);
    bool FoldersOk(bool folderTab);
    void CheckForCaseSensDrives();
    void Cancel();
    bool ComparingFolders() const { return m_thread != nullptr; }

    // Multi-folder sets: one side stands for several folders. The set is a
    // folder of links in the application-support folder's "MultiFolders".
    static bool CanAddMultiFolders(const QStringList& folders);
    // Makes (or extends) the set of side 1 or 2 and puts it in that side's
    // path field. Returns false, changing nothing, when a folder cannot join.
    bool AddMultiFolders(const QStringList& folders, int side);
    bool isMultiFolderSide(int side) const { return m_multiFolder[side == kSideLeft ? 0 : 1]; }
    // The names of the set's folders joined with "+", and their number.
    static QString MultiFolderName(const QString& setFolder, int* components = nullptr);

    // The window's filter rules, loaded from the settings when the window is made.
    KExcludeRules& iExcludeRules() { return m_rules; }
    // Uses a rule file's lists for this window instead of the stored ones (never saved).
    bool useRuleFile(const QString& json);
    // Keys of stored rule lists that could not be read when the window was made.
    const QStringList& unreadableRuleKeys() const { return m_unreadableRuleKeys; }
    // Whether the rules may stand as they are: switches of empty lists go off,
    // and a finding of the validation is shown and answers no.
    bool PopupCanClose();

    KRootItem* iRootItem() const { return m_root.get(); }
    KItem* iParentItem() const { return m_parentItem; }
    const std::string& iLeftFolderPath() const { return m_leftFolderPath; }
    const std::string& iRightFolderPath() const { return m_rightFolderPath; }
    bool lastRunCancelled() const { return m_lastRunCancelled; }
    bool iAnyFilterOn() const { return m_anyFilterOn; }
    // The first problem shown to the user by the last Compare action, "" when none.
    const QString& lastAlert() const { return m_lastAlert; }

signals:
    void statusChanged(const QString& text);
    void progress(quint64 processed);
    // The fraction read of one large file being compared.
    void fileProgress(double fraction);
    void treeChanged();
    // The run ended; `completed` is false when it was cancelled.
    void compareThreadFinished(bool completed);

private:
    class ScanBridge;

    void CompareThreadFinished();
    ReadErrorAnswer EnumeratorError(const std::string& path, int error);
    void showAlert(const char* key);
    void setHeader(const QString& text);
    ScanOptions scanOptionsForRun() const;
    void applyRootOptions(KRootItem& root) const;

    UserPrompt& m_prompt;
    Settings& m_settings;
    platform::FileSystem& m_fs;
    WindowState m_state;
    std::unique_ptr<KRootItem> m_root;
    KItem* m_parentItem = nullptr;
    std::unique_ptr<ScanBridge> m_bridge;
    std::unique_ptr<FolderScanner> m_scanner;
    QThread* m_thread = nullptr;
    std::string m_leftFolderPath, m_rightFolderPath;
    bool m_multiFolder[2] = {false, false};
    KExcludeRules m_rules;
    bool m_rulesFromSettings = true;
    QStringList m_unreadableRuleKeys;
    bool m_lastRunCancelled = false;
    bool m_anyFilterOn = false;
    QString m_lastAlert;
};

}  // namespace qv
