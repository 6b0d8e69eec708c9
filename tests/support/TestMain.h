#pragma once

#include "TestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTest>

namespace tramelle::test {

// What every test program fixes before its application object exists: the C locale for the
// C library, 96 dots per inch and no screen scaling, so that layouts and fonts measure the
// same on every machine, and the offscreen platform unless another one is asked for.
void PrepareTestProcess();

// Runs the test object's slots in an application of type App (after PrepareTestProcess and
// with InitTestEnvironment done).
template <typename App, typename TestObject> int RunTestObject(int argc, char** argv)
{
    PrepareTestProcess();
    App app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    InitTestEnvironment();
    TestObject test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace tramelle::test

// The main function of a test program whose tests show widgets.
#define TRAMELLE_TEST_MAIN(TestObject)                                                             \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return tramelle::test::RunTestObject<QApplication, TestObject>(argc, argv);                \
    }

// The main function of a test program of headless code: no GUI application object.
#define TRAMELLE_TEST_GUILESS_MAIN(TestObject)                                                     \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return tramelle::test::RunTestObject<QCoreApplication, TestObject>(argc, argv);            \
    }
