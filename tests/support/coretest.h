#pragma once

// main() of a test of the core: registers the core's subsystems as the
// program does, then runs the test object.

#include "registration.h"

#include <QtTest>

#define JEX_TEST_MAIN(TestObject)                                                    \
    QTEST_MAIN_WRAPPER(TestObject, QTEST_QAPP_SETUP(QCoreApplication)                \
                                       jex::registerCore(jex::coreRegistry());)
