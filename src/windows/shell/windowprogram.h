#pragma once

#include <QString>

namespace jex {

// Runs the window program; `openItem` names a function of the registry to
// open at once. Returns the exit code.
int runGui(const QString &openItem);

} // namespace jex
