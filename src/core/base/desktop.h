#pragma once

#include <QString>

namespace jex {

// Opening a document or a folder with the desktop's own programs. The window
// program installs one where a desktop is there to show them; batch runs and
// tests have none, so nothing is opened.
class Desktop
{
public:
    virtual ~Desktop() = default;
    virtual bool openPath(const QString &path) = 0;
};

Desktop *desktop();
void setDesktop(Desktop *desktop); // not owned; nullptr: no desktop
inline bool desktopAvailable() { return desktop() != nullptr; }

} // namespace jex
