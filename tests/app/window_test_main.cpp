// GoogleTest main for the window tests: one QApplication for the whole run, in a home folder of
// its own, set before the application exists, because QSettings and the settings file are
// looked for there.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/TestHome.h"

int main(int argc, char** argv) {
    const morvik::test::TestHome home;
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setApplicationName("MORVIK");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
