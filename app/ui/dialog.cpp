#include "app/ui/dialog.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QTimerEvent>


namespace vexa::ui {
namespace {

// Dialog base units in pixels (average character width, character height).
constexpr int kBaseUnitX = 7;
constexpr int kBaseUnitY = 14;

} // namespace

int ToPixelsX(int units) { return units * kBaseUnitX / 4; }
int ToPixelsY(int units) { return units * kBaseUnitY / 8; }

// Both edges are converted, so neighbours one unit apart never overlap.
QRect ToPixels(const DialogRect& rect) {
    const int left = ToPixelsX(rect.x), top = ToPixelsY(rect.y);
    return QRect(left, top, ToPixelsX(rect.x + rect.width) - left, ToPixelsY(rect.y + rect.height) - top);
}

QString FromWide(const wchar_t* text) { return text ? QString::fromWCharArray(text) : QString(); }

Dialog::Dialog(QWidget* parent) : QDialog(parent) {}

QWidget* Dialog::GetDlgItem(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void Dialog::SetDlgItemText(int id, const QString& text) {
    QWidget* control = GetDlgItem(id);
    if (auto* label = dynamic_cast<QLabel*>(control)) label->setText(text);
    else if (auto* button = dynamic_cast<QAbstractButton*>(control)) button->setText(text);
    else if (auto* group = dynamic_cast<QGroupBox*>(control)) group->setTitle(text);
}

QString Dialog::GetDlgItemText(int id) const {
    QWidget* control = GetDlgItem(id);
    if (auto* label = dynamic_cast<QLabel*>(control)) return label->text();
    if (auto* button = dynamic_cast<QAbstractButton*>(control)) return button->text();
    if (auto* group = dynamic_cast<QGroupBox*>(control)) return group->title();
    return {};
}

void Dialog::EnableDlgItem(int id, bool enable) {
    if (QWidget* control = GetDlgItem(id)) control->setEnabled(enable);
}

void Dialog::SetDlgItemFont(int id, const QFont& font) {
    for (QWidget* control : findChildren<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly))
        control->setFont(font);
}

void Dialog::SetTimer(int id, int periodMs) {
    KillTimer(id);
    const int timer = startTimer(periodMs);
    if (timer != 0) m_Timers[id] = timer;
}

void Dialog::KillTimer(int id) {
    const auto found = m_Timers.find(id);
    if (found == m_Timers.end()) return;
    killTimer(found->second);
    m_Timers.erase(found);
}

void Dialog::OnCommand(int id) {
    if (id == IDOK) accept();
    else if (id == IDCANCEL) reject();
}

void Dialog::PostCommand(int id) {
    QMetaObject::invokeMethod(this, [this, id] { OnCommand(id); }, Qt::QueuedConnection);
}

void Dialog::OnTimer(int) {}

bool Dialog::OnWindowMessage(const WindowMessageEvent&, LRESULT&) { return false; }

void Dialog::Place(int id, QWidget* control, const DialogRect& rect) {
    control->setParent(this);
    control->setObjectName(QString::number(id));
    control->setGeometry(ToPixels(rect));
}

QLabel* Dialog::AddText(int id, const QString& text, const DialogRect& rect, Qt::Alignment alignment) {
    auto* label = AddControl(id, new QLabel(text), rect);
    label->setAlignment(alignment);
    return label;
}

QLabel* Dialog::AddValueField(int id, const DialogRect& rect, Qt::Alignment alignment) {
    auto* field = AddControl(id, new QLabel, rect);
    field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    field->setLineWidth(1);
    field->setAlignment(alignment | Qt::AlignVCenter);
    field->setIndent(2);
    return field;
}

QGroupBox* Dialog::AddGroupBox(int id, const QString& title, const DialogRect& rect) {
    auto* group = AddControl(id, new QGroupBox(title), rect);
    group->lower();  // behind the controls it frames
    return group;
}

QFrame* Dialog::AddFrame(int id, const DialogRect& rect) {
    auto* frame = AddControl(id, new QFrame, rect);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->lower();
    return frame;
}

QPushButton* Dialog::AddPushButton(int id, const QString& text, const DialogRect& rect) {
    auto* button = AddControl(id, new QPushButton(text), rect);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
    return button;
}

bool Dialog::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        LRESULT result = 0;
        if (OnWindowMessage(*message, result)) message->result = result;
        return true;
    }
    return QDialog::event(event);
}

void Dialog::timerEvent(QTimerEvent* event) {
    for (const auto& [id, timer] : m_Timers) {
        if (timer == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QDialog::timerEvent(event);
}

} // namespace vexa::ui
