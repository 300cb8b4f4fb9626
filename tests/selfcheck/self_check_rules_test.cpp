// The self-check's layout rules: the tail after the record and malformed
// headers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "selfcheck/self_check_rules.h"

namespace lvm {
namespace {

TEST(SelfCheckRules, TailMustBeExactlyTheDescribedCertificateTable) {
    TSelfCheckLayout layout;
    EXPECT_TRUE(TailIsAcceptable(layout, 1000, 1000));
    EXPECT_FALSE(TailIsAcceptable(layout, 999, 1000));
    EXPECT_FALSE(TailIsAcceptable(layout, 1008, 1000));
    layout.certificateOffset = 1000;
    layout.certificateSize = 8;
    EXPECT_TRUE(TailIsAcceptable(layout, 1008, 1000));
    EXPECT_FALSE(TailIsAcceptable(layout, 1000, 1000));  // a directory with no table
    EXPECT_FALSE(TailIsAcceptable(layout, 1016, 1000));
    layout.certificateOffset = 992;
    EXPECT_FALSE(TailIsAcceptable(layout, 1008, 1000));
}

TEST(SelfCheckRules, MalformedHeadersAreRejectedWithoutReadingPastTheBuffer) {
    std::vector<uint8_t> bytes(512, 0);
    EXPECT_FALSE(ParseSelfCheckLayout(bytes.data(), bytes.size()).has_value());
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0xF0;  // PE header beyond the buffer
    bytes[0x3D] = 0xFF;
    EXPECT_FALSE(ParseSelfCheckLayout(bytes.data(), bytes.size()).has_value());
    bytes[0x3C] = 0x40;
    bytes[0x3D] = 0;
    std::memcpy(&bytes[0x40], "PE\0\0", 4);
    bytes[0x40 + 4 + 2] = 0xFF;  // many sections, none of them there
    bytes[0x40 + 4 + 16] = 0xE0;  // optional header size
    bytes[0x40 + 24] = 0x0B;
    bytes[0x40 + 25] = 0x01;
    EXPECT_FALSE(ParseSelfCheckLayout(bytes.data(), bytes.size()).has_value());
    EXPECT_FALSE(ParseSelfCheckLayout(bytes.data(), 3).has_value());
}

}  // namespace
}  // namespace lvm
