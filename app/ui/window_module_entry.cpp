// The window library's one export: the Qt window layer.
#include "app/ui/qt_window_layer.h"
#include "app/window_module.h"

extern "C" __attribute__((visibility("default"))) WindowLayer* VexaCreateWindowLayer() {
    return new vexa::ui::QtWindowLayer;
}
