// A system error keeps its kind, so that callers can act on it.
#include "core/status.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(Status, SystemErrorsKeepTheirKind) {
  EXPECT_EQ(Status::FromErrno(ENOENT, "m").code(), StatusCode::kNotFound);
  EXPECT_EQ(Status::FromErrno(ENOTDIR, "m").code(), StatusCode::kNotDirectory);
  EXPECT_EQ(Status::FromErrno(ENOMEM, "m").code(), StatusCode::kOutOfMemory);
  EXPECT_EQ(Status::FromErrno(EACCES, "m").code(), StatusCode::kIoError);
  EXPECT_EQ(Status::FromErrno(EACCES, "m").message(), "m");
  EXPECT_TRUE(Status().ok());
  EXPECT_FALSE(Status::FromErrno(EIO, "").ok());
}

}  // namespace
