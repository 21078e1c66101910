// A folder of a test's own, with its files read and written as bytes.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/common/file_bytes.h"

// A name under the system's temporary folder that no other test of any
// running test program has: the process id and a count tell them apart.
std::filesystem::path FreshTestFolder(const std::string& tag);

class ScratchFolder {
public:
    explicit ScratchFolder(const std::filesystem::path& folder) : folder_(folder)
    {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, ignored);
    }
    ScratchFolder(ScratchFolder&& other) noexcept : folder_(std::move(other.folder_))
    {
        other.folder_.clear();
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // A fresh folder under the temporary folder, named after the tag.
    static ScratchFolder Fresh(const std::string& tag) { return ScratchFolder(FreshTestFolder(tag)); }

    std::string Folder() const { return folder_.string(); }
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const
    {
        WriteFileBytes(Path(name), bytes);
    }
    std::string Read(const std::string& name) const { return ReadFileBytes(Path(name)); }
    // The names in the folder, sorted.
    std::vector<std::string> Listing() const { return ListingOf(folder_); }
    static std::vector<std::string> ListingOf(const std::filesystem::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path folder_;
};
