#pragma once
// What a comparison window shows around its tree: the status header with
// its colour role, the two message lines under the sides (with their
// numbers, and which of them differ between the sides), the progress of a
// run, the badge of the execute button and which buttons can be pressed.
//
// The controller (QuorvaneModule) owns one and computes every value from
// the tree and the run; a window only displays it and listens to the change
// signals, and a headless run reads it directly. Colours are roles, never
// concrete colours: the window picks them from its palette.

#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

namespace qv {

class ComparisonStatus : public QObject {
    Q_OBJECT
public:
    // How the header is coloured.
    enum class Role {
        Neutral,     // a hint or a stopped run
        Working,     // a run is going
        Equal,       // the compared folders are equal
        Different,   // they differ
        Error,       // a path is wrong, a side cannot be read
    };
    Q_ENUM(Role)

    // One piece of a message line. Numbers are shown emphasised (bold), and
    // a number whose left and right values differ is marked (in red).
    struct Segment {
        QString text;
        bool number = false;
        bool differs = false;
        bool operator==(const Segment&) const = default;
    };

    struct Line {
        std::vector<Segment> segments;
        QString tooltip;
        QString text() const;
        bool operator==(const Line&) const = default;
    };

    // Which of the window's buttons and controls can be used now.
    struct Buttons {
        bool compare = true;     // the Compare button (it is disabled while a run stops)
        bool stop = false;       // the Compare button shows Stop: a run is going
        bool sync = false;       // mirror and update sync
        bool execute = false;    // execute the marked actions
        bool nextDiff = false;   // next and previous difference
        bool prevDiff = false;
        bool exportTree = false; // export and snapshot of the result
        bool controls = true;    // path fields and option boxes
        bool operator==(const Buttons&) const = default;
    };

    explicit ComparisonStatus(QObject* parent = nullptr) : QObject(parent) {}

    const QString& header() const { return m_header; }
    Role headerRole() const { return m_role; }
    const QString& headerTooltip() const { return m_headerTooltip; }
    const Line& leftLine() const { return m_left; }
    const Line& rightLine() const { return m_right; }
    // The message lines as plain text.
    QString leftMessage() const { return m_left.text(); }
    QString rightMessage() const { return m_right.text(); }
    // True while the message lines show the summary of the marked actions
    // instead of the totals of the comparison.
    bool showsActionSummary() const { return m_actionSummary; }

    bool progressVisible() const { return m_progressVisible; }
    // No fraction is known: the indicator only shows that work goes on.
    bool progressIndeterminate() const { return m_progressIndeterminate; }
    double progressValue() const { return m_progressValue; }
    // Entries processed so far by the running scan.
    std::uint64_t processed() const { return m_processed; }

    // The number of marked actions on the execute button ("" when none, ">999" past 999 items).
    const QString& badge() const { return m_badge; }
    const Buttons& buttons() const { return m_buttons; }

    // --- written by the controller ------------------------------------------
    void setHeader(const QString& text, Role role, const QString& tooltip = {});
    void setLines(const Line& left, const Line& right, bool actionSummary = false);
    // Lines of plain text without numbers (a hint, "calculating sizes", …).
    void setPlainLines(const QString& left, const QString& right);
    void setProgress(bool visible, bool indeterminate, double value = 0);
    void setProcessed(std::uint64_t processed);
    void setBadge(const QString& badge);
    void setButtons(const Buttons& buttons);

    // One side's totals line: the bytes (digits emphasised), the file count
    // and the folder count. `differs` marks each of the three numbers
    // (bytes, files, folders); `filterMark` appends " ⓘ".
    static Line totalsLine(const QString& bytes, std::uint64_t files, std::uint64_t folders, const bool differs[3],
                           bool filterMark);

signals:
    void headerChanged();
    void messagesChanged();
    void progressChanged();
    void badgeChanged();
    void buttonsChanged();

private:
    QString m_header;
    Role m_role = Role::Neutral;
    QString m_headerTooltip;
    Line m_left, m_right;
    bool m_actionSummary = false;
    bool m_progressVisible = false;
    bool m_progressIndeterminate = true;
    double m_progressValue = 0;
    std::uint64_t m_processed = 0;
    QString m_badge;
    Buttons m_buttons;
};

}  // namespace qv
