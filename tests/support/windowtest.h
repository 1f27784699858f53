#pragma once

// main() of a window test: a QApplication (offscreen in the test runs), the
// core's and the windows' registrations as the program makes them.

#include "registration.h"
#include "windowregistration.h"

#include <QtTest>

#define JEX_WINDOW_TEST_MAIN(TestObject)                                             \
    QTEST_MAIN_WRAPPER(TestObject, QTEST_MAIN_SETUP() jex::registerCore(jex::coreRegistry()); \
                                       jex::registerWindows(jex::windowRegistry());)
