#include "ZorTempFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <system_error>
#include <unistd.h>

FZorTempFolder::FZorTempFolder(const std::string& Prefix)
{
    // A parameterised test's name holds a "/", which would nest the folder and leave its parent behind.
    std::string TestName = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(TestName.begin(), TestName.end(), '/', '_');
    Root =
        std::filesystem::temp_directory_path() / (Prefix + "_" + std::to_string(::getpid()) + "_" + TestName);
    std::error_code Ignored;
    std::filesystem::remove_all(Root, Ignored);
}

FZorTempFolder::~FZorTempFolder()
{
    std::error_code Ignored;
    std::filesystem::remove_all(Root, Ignored);
}
