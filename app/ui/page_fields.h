// A page made of group boxes and rows of labels and value fields (the
// mainboard and memory pages): labels and group boxes in the label font,
// value fields left-aligned in the text font and drawn in the text colour.
#pragma once

#include "app/ui/page.h"

namespace vexa::ui {

class FieldsPage : public Page {
public:
    struct Label {
        int id;
        const char* resourceText;
        DialogRect rect;
    };
    struct Value {
        int id;
        DialogRect rect;
    };

    using Page::Page;

protected:
    void AddGroup(int id, const char* title, const DialogRect& rect);
    void AddLabels(std::initializer_list<Label> labels);
    void AddValues(std::initializer_list<Value> values);
    void EnableItems(std::initializer_list<int> ids, bool enable);
};

} // namespace vexa::ui
