#include "app/ui/page.h"

#include <QKeyEvent>

#include "app/vexa_app.h"

namespace vexa::ui {

Page::Page(const PageContext& context, int templateId, QWidget* parent)
    : Dialog(parent), m_Context(context), m_nTemplateId(templateId) {
    setWindowFlags(Qt::Widget);
    setObjectName(QString::number(templateId));
}

void Page::Fill() {
    m_bFilled = true;
    FillFromQueries();
}

CInfoParser* Page::Queries() const { return m_Context.app.m_pInfoParser; }

bool Page::OnWindowMessage(const WindowMessageEvent& message, LRESULT& result) {
    if (message.message != WM_UPDATE_PAGE) return false;
    if (m_bFilled) OnUpdatePage();
    else Fill();
    result = 0;
    return true;
}

void Page::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter: event->ignore(); return;
    default: Dialog::keyPressEvent(event); return;
    }
}

} // namespace vexa::ui
