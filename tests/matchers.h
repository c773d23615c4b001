// GoogleTest with the matchers our tests use most, named without their
// namespace: every test file includes this instead of gmock and gtest.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvo {
using ::testing::AllOf;
using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::Eq;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::MatchesRegex;
using ::testing::Not;
using ::testing::Optional;
using ::testing::SizeIs;
using ::testing::StartsWith;
}  // namespace orvo
