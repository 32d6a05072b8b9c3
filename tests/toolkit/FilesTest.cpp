#include "TestSupport.h"
#include "toolkit/Files.h"

#include <gtest/gtest.h>

TEST(Files, placeholder) { TempFolder t; EXPECT_FALSE(FileExists("x")); }
