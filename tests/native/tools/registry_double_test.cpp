// The double must behave like the registry where the code under test relies on it.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace win32double;

namespace {

TEST(RegistryDouble, PathsIgnoreCaseAndCreateMakesParents) {
    ResetRegistry();
    HKEY k;
    DWORD disp = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disp),
              ERROR_SUCCESS);
    EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
    EXPECT_TRUE(KeyExists("a\\b"));
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "a\\b\\c", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disp),
              ERROR_SUCCESS);
    EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A\\X", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
}

TEST(RegistryDouble, QueryFollowsTheBufferRules) {
    ResetRegistry();
    PutString("K", "V", "hello");
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &k), ERROR_SUCCESS);
    uint8_t buf[4];
    DWORD type = 0, size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(k, "V", nullptr, &type, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, REG_SZ);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(k, "missing", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExA(k, "W", 0, REG_SZ, buf, 1), ERROR_ACCESS_DENIED) << "opened for reading only";
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(OpenKeyCount(), 0);
}

TEST(RegistryDouble, FaultsHitOnlyTheirTarget) {
    ResetRegistry();
    PutDword("K", "A", 1);
    PutDword("K", "B", 2);
    FailRegistry(RegOp::Query, "k", "a", 1234);
    FailRegistry(RegOp::Open, "Other", nullptr, ERROR_ACCESS_DENIED);
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &k), ERROR_SUCCESS);
    DWORD v, size = 4;
    EXPECT_EQ(RegQueryValueExA(k, "A", nullptr, nullptr, reinterpret_cast<LPBYTE>(&v), &size), 1234);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(k, "B", nullptr, nullptr, reinterpret_cast<LPBYTE>(&v), &size), ERROR_SUCCESS);
    EXPECT_EQ(v, 2u);
    RegCloseKey(k);
    PutKey("Other");
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "OTHER", 0, KEY_READ, &k), ERROR_ACCESS_DENIED);
}

}  // namespace
