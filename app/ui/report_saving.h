// The report saves of the main window's Tools menu and the about page: a
// save dialog proposes "<computer name>.txt" or ".html" (the computer name,
// else "vexa"); the chosen file receives the text report (the full report)
// or the HTML report (the shorter one), each after its title and the
// "Binaries" block with the version as "%s.x32". The current directory
// (the program folder) is what it was before the dialog, whatever the
// dialog did. A cancelled dialog does nothing; a file that cannot be
// written is left as it was, without a message.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class CvexaApp;
class QWidget;

namespace vexa::ui {

enum class ReportKind { Text, Html };

// Asks for a file name and writes that report.
void SaveReport(CvexaApp& app, QWidget* owner, ReportKind kind);
// The HTML save of the menu command and the about page's button.
void SaveHTMLReport(CvexaApp& app, QWidget* owner);

// A save dialog: proposed name, filters as "TXT File (*.txt)" and pattern
// pairs, overwrite prompt; the chosen path or an empty text when cancelled.
struct SaveDialogRequest {
    QWidget* owner = nullptr;
    QString defaultName;
    QStringList filters;  // "Name (*.ext)"
};
QString GetSaveFileName(const SaveDialogRequest& request);

// The cursor shows the wait while the object lives.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

namespace testing {

// Replaces the dialog until cleared with an empty function.
void setSaveDialog(std::function<QString(const SaveDialogRequest&)> dialog);

} // namespace testing
} // namespace vexa::ui
