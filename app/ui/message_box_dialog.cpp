#include "app/ui/message_box_dialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <utility>
#include <vector>

namespace vexa::ui {
namespace {

using Buttons = std::vector<std::pair<QMessageBox::StandardButton, int>>;

// The buttons of a box type with their answers, the default one first.
Buttons ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK: return {{QMessageBox::Ok, IDOK}};
    case MB_OKCANCEL: return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL: return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default: return {};
    }
}

QMessageBox::Icon IconOf(UINT type) {
    switch (type & 0xF0) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

} // namespace

int ShowMessageBoxDialog(const platform::MessageBoxCall& box) {
    if (!qApp || QThread::currentThread() != qApp->thread()) return 0;
    const Buttons buttons = ButtonsOf(box.type);
    if (buttons.empty()) return 0;
    QMessageBox dialog(IconOf(box.type), QString::fromStdWString(box.caption), QString::fromStdWString(box.text));
    QMessageBox::StandardButtons standard;
    for (const auto& [button, answer] : buttons) standard |= button;
    dialog.setStandardButtons(standard);
    dialog.setDefaultButton(buttons.front().first);
    // Closing the box is Cancel where there is one, else the last button
    // (No, OK).
    QMessageBox::StandardButton escape = buttons.back().first;
    for (const auto& [button, answer] : buttons)
        if (button == QMessageBox::Cancel) escape = button;
    dialog.setEscapeButton(escape);
    const auto pressed = static_cast<QMessageBox::StandardButton>(dialog.exec());
    for (const auto& [button, answer] : buttons)
        if (button == pressed) return answer;
    for (const auto& [button, answer] : buttons)
        if (button == escape) return answer;
    return 0;
}

void InstallMessageBoxDialogs() { platform::setWindowMessageBoxPresenter(ShowMessageBoxDialog); }

void RemoveMessageBoxDialogs() { platform::setWindowMessageBoxPresenter({}); }

} // namespace vexa::ui
