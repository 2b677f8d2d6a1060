#pragma once
// Exporting a window's comparison: the rows the window shows (or every
// item) are written on a worker thread while the window waits; a large
// export shows its progress with an Abort button, and a finished one offers
// to show the file in the file manager.

#include <QString>

#include <cstdint>
#include <vector>

class QWidget;

namespace qv {

class ComparisonView;
class QuorvaneModule;
class Settings;
class UserPrompt;

class WindowExport {
public:
    // The export's column identifiers, in the order the view shows its
    // columns: the fixed ones and the optional ones switched on (OptionalColumn bits).
    static std::vector<int> columnIds(const ComparisonView& view, std::uint32_t optionalColumns);

    // Writes the comparison to `destination` (replacing a file there: the
    // save dialog asked). Returns "" on success, else what went wrong; an
    // aborted export returns the text of "TaskAborted".
    static QString run(QWidget* window, QuorvaneModule& module, ComparisonView& view, const QString& destination,
                       Settings& settings);

    // The whole dialogue: options panel, save dialog, export, and the alert that reports it.
    static void ask(QWidget* window, QuorvaneModule& module, ComparisonView& view, Settings& settings, UserPrompt& prompt);
};

}  // namespace qv
