#include "platform/app/version.h"
#include "platform/kernel/process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

TEST(VersionBlock, ReadsFixedPartTranslationAndStrings) {
  char path[260];
  ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
  DWORD handle = 7;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  ASSERT_GT(size, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(handle, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, handle, size, block.data()));
  void* value = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &len));
  ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, value, sizeof fixed);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &len));
  ASSERT_GE(len, 4u);
  WORD tr[2];
  std::memcpy(tr, value, 4);
  EXPECT_EQ(tr[1], 1252);
  char key[64];
  std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", tr[0], tr[1], "CompanyName");
  ASSERT_TRUE(VerQueryValueA(block.data(), key, &value, &len));
  EXPECT_STREQ(static_cast<char*>(value), "KARVO");
  std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", tr[0], tr[1], "NoSuchKey");
  EXPECT_FALSE(VerQueryValueA(block.data(), key, &value, &len));
  EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\00000000\\CompanyName", &value, &len));
}

TEST(VersionBlock, TestsCanMakeReadingFail) {
  SetVersionInfoFailureForTesting(true);
  DWORD handle = 0;
  EXPECT_EQ(GetFileVersionInfoSizeA("qav", &handle), 0u);
  char buf[1024];
  EXPECT_FALSE(GetFileVersionInfoA("qav", 0, sizeof buf, buf));
  SetVersionInfoFailureForTesting(false);
  EXPECT_GT(GetFileVersionInfoSizeA("qav", &handle), 0u);
}
