#include "app/KSandbox.h"

#include "base/PathResolution.h"
#include "platform/PathAccess.h"
#include "platform/Volumes.h"

#include <QFile>

namespace qv {
namespace {

std::string withSlash(const std::string& path) { return !path.empty() && path.back() == '/' ? path : path + "/"; }

bool startsWith(const std::string& text, const std::string& prefix, bool ignoreCase) {
    if (text.compare(0, prefix.size(), prefix) == 0) return true;
    if (!ignoreCase) return false;
    return QFile::decodeName(text.c_str()).startsWith(QFile::decodeName(prefix.c_str()), Qt::CaseInsensitive);
}

// The folder that textually holds `path` ("" above the top).
std::string textualParent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const auto slash = p.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : p.substr(0, slash);
}

bool sameEntry(const platform::EntryStat& a, const platform::EntryStat& b) {
    return a.device == b.device && a.inode == b.inode;
}

}  // namespace

std::shared_ptr<KSandboxURL> KSandboxURL::SandboxURL(const std::string& url, bool drop) {
    auto token = std::make_shared<KSandboxURL>();
    token->iURL = url;
    token->iDrop = drop;
    return token;
}

KSandbox& KSandbox::shared() {
    static KSandbox sandbox;
    return sandbox;
}

bool KSandbox::ThisIsParent(const std::string& parent, const std::string& folder, bool canBeEqual,
                            platform::FileSystem& fs) {
    if (parent.empty()) return false;
    const std::string p = withSlash(parent);
    const std::string f = withSlash(folder);
    // Letter case counts wherever the file system tells names apart by it, as almost every Linux one does.
    const bool prefix = startsWith(f, p, !platform::isCaseSensitive(parent));
    if (!canBeEqual) return prefix && f.size() > p.size();
    if (prefix) return true;

    platform::EntryStat target;
    if (fs.statPath(parent, false, target) != 0) return false;
    std::string current = folder;
    // Bounded: a chain of links that keeps leading elsewhere ends the walk.
    for (int step = 0; step < 4096 && !current.empty(); ++step) {
        platform::EntryStat st;
        if (fs.statPath(current, false, st) == 0 && sameEntry(st, target)) return true;
        // Where a link leads, the walk goes on from its destination.
        std::string resolved;
        if (platform::canonicalPath(current, resolved) == 0 && resolved != current) {
            if (fs.statPath(resolved, false, st) == 0 && sameEntry(st, target)) return true;
            current = resolved;
        }
        const std::string up = textualParent(current);
        if (up == current) return false;
        current = up;
    }
    return false;
}

std::string KSandbox::GrantAccesToFolder(const std::string& folder, bool, bool, const QString&, bool, bool) {
    for (const auto& token : m_saved)
        if (token->isEqual(folder)) token->RetainAccess();
    return folder;
}

std::string KSandbox::GrantAccesToFolder(const std::string&, bool, bool) { return {}; }

void KSandbox::ReleaseAccesToFolder(const std::string& token) {
    if (token.empty()) return;
    for (const auto& saved : m_saved)
        if (saved->isEqual(token)) saved->ReleaseAccess();
}

bool KSandbox::IsAccessibleFromSandbox(const std::string& path, bool forWrite) const {
    return platform::hasAccess(path, forWrite);
}

bool KSandbox::SaveAccessToFolder(const std::string& url, bool drop) {
    auto token = KSandboxURL::SandboxURL(standardizePath(url), drop);
    if (IndexOfObject(*token) < 0) m_saved.push_back(std::move(token));
    return true;
}

std::string KSandbox::GetParentOf(const std::string& path, bool canBeEqual, bool drop) const {
    for (const auto& token : m_saved) {
        if (drop && !token->iDrop) continue;
        if (ThisIsParent(token->iURL, path, canBeEqual)) return token->iURL;
    }
    return {};
}

int KSandbox::IndexOfObject(const KSandboxURL& token) const {
    for (std::size_t i = 0; i < m_saved.size(); ++i)
        if (m_saved[i]->isEqual(token)) return static_cast<int>(i);
    return -1;
}

}  // namespace qv
