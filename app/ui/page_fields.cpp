#include "app/ui/page_fields.h"

#include <QGroupBox>
#include <QLabel>

#include "app/ui/user_fonts.h"

namespace vexa::ui {

void FieldsPage::AddGroup(int id, const char* title, const DialogRect& rect) {
    AddGroupBox(id, QString::fromUtf8(title), rect)->setFont(m_Context.fonts.label);
}

void FieldsPage::AddLabels(std::initializer_list<Label> labels) {
    for (const Label& label : labels)
        AddText(label.id, QString::fromUtf8(label.resourceText), label.rect)->setFont(m_Context.fonts.label);
}

void FieldsPage::AddValues(std::initializer_list<Value> values) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, m_Context.fonts.textColor);
    for (const Value& value : values) {
        QLabel* field = AddValueField(value.id, value.rect, Qt::AlignLeft | Qt::AlignVCenter);
        field->setFont(m_Context.fonts.text);
        field->setPalette(colours);
    }
}

void FieldsPage::EnableItems(std::initializer_list<int> ids, bool enable) {
    for (int id : ids) EnableDlgItem(id, enable);
}

} // namespace vexa::ui
