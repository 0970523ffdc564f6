#include "app/AppResources.h"

#include <QtGlobal>

static void InitVeltrixResources() { Q_INIT_RESOURCE(veltrix); }

void EnsureAppResources() {
    static const bool done = [] {
        InitVeltrixResources();
        return true;
    }();
    (void)done;
}
