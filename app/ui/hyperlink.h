// Link controls: CHyperLink is a static text drawn as a web link (blue,
// underlined, hand cursor) that opens its address when clicked; CHyperLink2
// behaves the same but draws nothing, an invisible clickable area its owner
// lays over a picture. Addresses open through OpenURL, the one opener of
// the program's links.
#pragma once

#include <QLabel>
#include <QString>

#include <string>

#include "platform/shell.h"

namespace vexa::ui {

// Opens the address with the desktop's program for it (ShellExecute
// "open"); when the shell cannot, the browser's command line from the
// registry (HKEY_CLASSES_ROOT\.htm's class, then its
// "shell\open\command") is started with the address (WinExec). The
// result is the shell's, or WinExec's after the fallback: greater than 32
// on success.
INT_PTR OpenURL(const QString& address);

constexpr size_t kBrowserCommandLineChars = 520;  // 519 and the terminator

// The browser's command with the address: the command is cut at its first
// quoted "%1" (quotes included), else at its first "%1", then a blank and
// the address follow; all within kBrowserCommandLineChars (what does not
// fit is cut off).
std::string BrowserCommandLine(const std::string& command, const std::string& address);

class CHyperLink : public QLabel {
public:
    explicit CHyperLink(QWidget* parent = nullptr);

    void SetURL(const QString& address) { m_sURL = address; }
    const QString& URL() const { return m_sURL; }

protected:
    // Whatever font the control is given, the link shows it underlined.
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_sURL;
    bool m_bPressed = false;
};

class CHyperLink2 : public CHyperLink {
public:
    using CHyperLink::CHyperLink;

protected:
    void paintEvent(QPaintEvent*) override {}
};

} // namespace vexa::ui
