// Test entry for tests that need a Qt application: headless unless told otherwise.
#include <gtest/gtest.h>

#include "graphics/application.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    TApplication application(argc, argv);
    TApplication::setApplicationName("Quillory");
    return RUN_ALL_TESTS();
}
