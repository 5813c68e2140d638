// The dialog base of the program's windows: what the window code expects of
// a dialog class library, on Qt widgets.
//
// - Controls carry their numeric control id as object name ("1071"), so the
//   code (and the tests) find them by id. Several controls may share an id
//   (65535, the unnamed statics).
// - Controls are placed in dialog units, as a dialog template places them,
//   and every control is a direct child of its dialog: a group box only
//   frames its neighbours, so disabling it greys its title alone.
// - Timers have the ids the code gives them; OnTimer receives those ids.
// - Buttons and menu items send their id to OnCommand (1 is OK, 2 Cancel).
// - Window messages (window_message.h) arrive in OnWindowMessage.
#pragma once

#include <QDialog>
#include <QString>

#include <map>

#include "app/ui/window_message.h"
#include "platform/message_box.h"

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace vexa::ui {

// The unnamed statics of a template (labels nobody addresses, frames).
// OK and Cancel have the ids of the message boxes' answers (IDOK, IDCANCEL).
constexpr int IDC_STATIC = 65535;

// A control's place in dialog units: one unit is a quarter of the dialog
// font's average character width across and an eighth of its height down.
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Pixels of a dialog-unit rectangle or size, for the fixed base units of
// the program's dialogs (7 x 14 pixels: 1.75 pixels per unit both ways).
QRect ToPixels(const DialogRect& rect);
int ToPixelsX(int units);
int ToPixelsY(int units);

QString FromWide(const wchar_t* text);

class Dialog : public QDialog {
public:
    explicit Dialog(QWidget* parent = nullptr);

    // The first control with that id, or null.
    QWidget* GetDlgItem(int id) const;
    template <class Control>
    Control* Item(int id) const {
        return dynamic_cast<Control*>(GetDlgItem(id));
    }
    // Static texts, buttons and group boxes; nothing for other controls.
    void SetDlgItemText(int id, const QString& text);
    void SetDlgItemText(int id, const wchar_t* text) { SetDlgItemText(id, FromWide(text)); }
    QString GetDlgItemText(int id) const;
    void EnableDlgItem(int id, bool enable);
    void SetDlgItemFont(int id, const QFont& font);

    // A periodic timer under the caller's id; a second SetTimer with the
    // same id restarts it.
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    bool HasTimer(int id) const { return m_Timers.count(id) != 0; }

    // A command from a button or menu item: OK accepts, Cancel rejects.
    virtual void OnCommand(int id);
    // The command delivered later, from the event loop (a posted WM_COMMAND).
    void PostCommand(int id);

protected:
    virtual void OnTimer(int id);
    // A window message: true when handled, with its result.
    virtual bool OnWindowMessage(const WindowMessageEvent& message, LRESULT& result);

    // Controls of the dialog's template, placed in dialog units.
    // A static text (a label, by default right-aligned and vertically centred).
    QLabel* AddText(int id, const QString& text, const DialogRect& rect,
                    Qt::Alignment alignment = Qt::AlignRight | Qt::AlignVCenter);
    // A value field: a static with a thin sunken edge and centred text.
    QLabel* AddValueField(int id, const DialogRect& rect, Qt::Alignment alignment = Qt::AlignCenter);
    QGroupBox* AddGroupBox(int id, const QString& title, const DialogRect& rect);
    // An etched frame.
    QFrame* AddFrame(int id, const DialogRect& rect);
    // A push button that sends its id to OnCommand.
    QPushButton* AddPushButton(int id, const QString& text, const DialogRect& rect);
    // Any other control, made by the caller.
    template <class Control>
    Control* AddControl(int id, Control* control, const DialogRect& rect) {
        Place(id, control, rect);
        return control;
    }
    void Place(int id, QWidget* control, const DialogRect& rect);

    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    std::map<int, int> m_Timers;  // the caller's id -> Qt's timer id
};

} // namespace vexa::ui
