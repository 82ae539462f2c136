#include "base/error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

namespace
{

error::Result<std::unique_ptr<int>> Parse(bool ok)
{
    if (!ok) return error::Unexpected(error::Error::File(error::Kind::NotFound, "a/b", ENOENT));
    return std::make_unique<int>(7);
}

TEST(Result, HoldsTheValueOrTheError)
{
    error::Result<std::unique_ptr<int>> good = Parse(true);
    ASSERT_TRUE(good.has_value());
    EXPECT_EQ(**good, 7);
    const std::unique_ptr<int> taken = std::move(good).value(); // a value that only moves
    EXPECT_EQ(*taken, 7);

    const error::Result<std::unique_ptr<int>> bad = Parse(false);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().kind, error::Kind::NotFound);
    EXPECT_EQ(bad.error().path, "a/b");
    EXPECT_EQ(bad.error().reason(), "No such file or directory");
    EXPECT_THROW(bad.value(), error::BadResultAccess);
    EXPECT_EQ(error::Result<std::string>(error::Unexpected(bad.error())).value_or("none"), "none");

    const error::Result<void> failed = error::Unexpected(error::Error::Of(error::Kind::Stopped));
    EXPECT_TRUE(error::Result<void>().has_value());
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().kind, error::Kind::Stopped);
    EXPECT_THROW(failed.value(), error::BadResultAccess);
}

} // namespace
