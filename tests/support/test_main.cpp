// Unit tests never show a real message box: a box nobody answers would hang
// the run. Any box that a test did not script fails the test that showed it.
#include <gtest/gtest.h>

#include "lang/user_interface.h"

namespace {

class UnexpectedBoxes final : public lvm::UserInterface {
public:
    int ShowMessageBox(const lvm::MessageBoxRequest& request) override {
        ADD_FAILURE() << "unexpected message box: " << request.caption << ": " << request.text;
        return 0;
    }
};

UnexpectedBoxes g_unexpectedBoxes;

class ResetUserInterface : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { lvm::SetUserInterface(&g_unexpectedBoxes); }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    lvm::SetUserInterface(&g_unexpectedBoxes);
    testing::UnitTest::GetInstance()->listeners().Append(new ResetUserInterface);
    return RUN_ALL_TESTS();
}
