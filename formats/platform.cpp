#include "formats/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

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
