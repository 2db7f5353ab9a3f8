#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "Core/Paths.h"
#include "ZorSubsystemTest.h"
#include "ZorTempFolder.h"

/** A subsystem with a logged-in user and a cloud directory of its own, removed after the test. */
class FCloudTest : public FZorSubsystemTest
{
protected:
    FCloudTest() { FPaths::SetProjectSavedDir(FString((Root / "Saved").string())); }
    ~FCloudTest() override { FPaths::SetProjectSavedDir(FString()); }

    void AddUser(const FString& AccountId) { InstallUser(AccountId); }

    std::filesystem::path CloudDir() const { return Root / "Saved" / "Cloud"; }
    static void WriteFile(const std::filesystem::path& File, const std::string& Content)
    {
        std::filesystem::create_directories(File.parent_path());
        std::ofstream(File, std::ios::binary) << Content;
    }
    static std::string ReadFile(const std::filesystem::path& File)
    {
        std::ifstream Stream(File, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
    }
    /** Every regular file under Root, relative to it, sorted. */
    std::string FilesUnderRoot() const
    {
        std::vector<std::string> Found;
        for (const auto& Entry : std::filesystem::recursive_directory_iterator(Root))
        {
            if (Entry.is_regular_file())
            {
                Found.push_back(std::filesystem::relative(Entry.path(), Root).generic_string());
            }
        }
        std::sort(Found.begin(), Found.end());
        std::string Joined;
        for (const std::string& Name : Found)
        {
            Joined += (Joined.empty() ? "" : ",") + Name;
        }
        return Joined;
    }
    static TArray<uint8> Bytes(const std::string& Text)
    {
        return TArray<uint8>(reinterpret_cast<const uint8*>(Text.data()), static_cast<int32>(Text.size()));
    }

    FZorTempFolder Folder{"zor_cloud"};
    const std::filesystem::path Root = Folder.Path();
};
