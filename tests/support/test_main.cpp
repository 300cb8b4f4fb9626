// The unit tests' entry point. No test can show a real message box: every
// operation that talks to the user is given its interface, and tests give a
// scripted one.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
