#pragma once

#include <filesystem>
#include <string>

/**
 * A folder of the running test's own in the system temp folder, "<Prefix>_<pid>_<test>", empty at the start
 * and removed with everything in it when this goes.
 */
class FZorTempFolder
{
public:
    explicit FZorTempFolder(const std::string& Prefix);
    ~FZorTempFolder();
    FZorTempFolder(const FZorTempFolder&) = delete;
    FZorTempFolder& operator=(const FZorTempFolder&) = delete;

    const std::filesystem::path& Path() const { return Root; }

private:
    std::filesystem::path Root;
};
