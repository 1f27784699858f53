#pragma once

// What each window subsystem adds to the program: window classes created by
// name from the function registry's items, and the handlers of items that
// open no window. The program calls registerWindows() once, after the core.

namespace jex {

class FormRegistry;
class TdmJexAttivazioni;

struct WindowRegistry
{
    FormRegistry &forms;
    TdmJexAttivazioni &hooks;
};

WindowRegistry &windowRegistry();

void registerEntryWindows(WindowRegistry &registry);  // entry/sectionwindows.cpp
void registerImportWindows(WindowRegistry &registry); // importwindows/f24window.cpp, autonomiwindow.cpp, previouswindow.cpp, intsoswindow.cpp
void registerFileWizard(WindowRegistry &registry);    // filewizard/registration.cpp
void registerPrintWindows(WindowRegistry &registry);  // printwindows/registration.cpp
void registerTableWindows(WindowRegistry &registry);  // tables/codelistwindow.cpp
void registerRecipientWindows(WindowRegistry &registry); // recipients/registration.cpp

// The window subsystems above, in that order; a second call does nothing.
void registerWindows(WindowRegistry &registry);

} // namespace jex
