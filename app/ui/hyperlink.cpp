#include "app/ui/hyperlink.h"

#include <QMouseEvent>

#include <string>

#include "platform/registry.h"

namespace vexa::ui {
namespace {

// A file class name as the registry gives it.
constexpr size_t kFileClassBytes = 260;

// 0x00BBGGRR 0xEE0000: blue.
const QColor kLinkColor(0x00, 0x00, 0xEE);

} // namespace

std::string BrowserCommandLine(const std::string& command, const std::string& address) {
    std::string line = command;
    size_t placeholder = line.find("\"%1\"");
    if (placeholder == std::string::npos) placeholder = line.find("%1");
    if (placeholder != std::string::npos) line.erase(placeholder);
    line += ' ';
    line += address;
    if (line.size() >= kBrowserCommandLineChars) line.resize(kBrowserCommandLineChars - 1);
    return line;
}

INT_PTR OpenURL(const QString& address) {
    const std::wstring wide = address.toStdWString();
    const INT_PTR shell = ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOW);
    if (shell > 32) return shell;

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, KEY_QUERY_VALUE, &key) != LONG(ERROR_SUCCESS)) return shell;
    char fileClass[kFileClassBytes] = {};
    DWORD size = sizeof fileClass - 1;
    const bool haveClass = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(fileClass), &size) ==
                           LONG(ERROR_SUCCESS);
    RegCloseKey(key);
    if (!haveClass) return shell;
    const std::string commandKey = std::string(fileClass) + "\\shell\\open\\command";
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, commandKey.c_str(), 0, KEY_QUERY_VALUE, &key) != LONG(ERROR_SUCCESS))
        return shell;
    char command[kBrowserCommandLineChars] = {};
    size = sizeof command - 1;
    const LONG read = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(command), &size);
    RegCloseKey(key);
    if (read != LONG(ERROR_SUCCESS)) return shell;
    const std::string line = BrowserCommandLine(command, address.toStdString());
    return INT_PTR(WinExec(line.c_str(), SW_SHOW));
}

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, kLinkColor);
    setPalette(colors);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
}

void CHyperLink::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange && !font().underline()) {
        QFont underlined = font();
        underlined.setUnderline(true);
        setFont(underlined);
    }
}

// A click is a press and a release on the control.
void CHyperLink::mousePressEvent(QMouseEvent* event) {
    m_bPressed = event->button() == Qt::LeftButton;
    event->accept();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_bPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_bPressed = false;
    event->accept();
    if (click && isEnabled() && !m_sURL.isEmpty()) OpenURL(m_sURL);
}

} // namespace vexa::ui
