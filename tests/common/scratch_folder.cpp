#include "tests/common/scratch_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

std::filesystem::path FreshTestFolder(const std::string& tag)
{
    static int counter;
#ifdef _WIN32
    std::string pid = std::to_string(GetCurrentProcessId());
#else
    std::string pid = std::to_string(getpid());
#endif
    return std::filesystem::temp_directory_path() /
           ("vk-" + tag + "-" + pid + "-" + std::to_string(counter++));
}
