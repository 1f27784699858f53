#include "base/desktop.h"

namespace jex {

namespace {
Desktop *g_desktop = nullptr;
}

Desktop *desktop()
{
    return g_desktop;
}

void setDesktop(Desktop *d)
{
    g_desktop = d;
}

} // namespace jex
