#include "formats/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <sys/stat.h>
#endif

#include <cstdint>

std::string DescribeFileFailure(const std::string& path, FileOutcome outcome,
                                const std::string& why)
{
    switch (outcome) {
    case FileOutcome::Missing:
        return path + ": no such file";
    case FileOutcome::Unreadable:
    case FileOutcome::BrokenOff:
        return path + ": cannot read it: " + why;
    case FileOutcome::Unwritable:
        return path + ": cannot write it: " + why + " (nothing was written)";
    case FileOutcome::NotRegular:
        return path + ": not a regular file but " + why +
               "; vbk reads and writes only regular files (nothing was read or written)";
    case FileOutcome::InPlaceFailed:
        return path + ": cannot rewrite it in place: " + why;
    case FileOutcome::Stranded:
        return path + ": cannot put the new file in its place: " + why;
    case FileOutcome::Abandoned:
        return path + ": " + why + " (nothing was written)";
    default:
        return path + ": " + why;
    }
}

bool PathExists(const std::string& path)
{
#ifdef _WIN32
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0;
#endif
}

void PreferLargePages(void* block, size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Whole pages only: the block need not start on one.
    const uintptr_t page = 4096;
    uintptr_t start = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(page - 1);
    if (end > start)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)block;
    (void)size;
#endif
}
