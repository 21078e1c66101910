// What differs between Linux and Windows for vbk beyond the files
// themselves (platform/files.h): its messages about them, and whether a
// name is taken.
#pragma once

#include <cstddef>
#include <string>

#include "platform/files.h"

// The message for a file that could not be read or written, naming it.
std::string DescribeFileFailure(const std::string& path, FileOutcome outcome,
                                const std::string& why);

// Something of that name is there: a file, a folder, a FIFO or a device.
// Names are in the system's code page, as for every other file.
bool PathExists(const std::string& path);

// Asks that a block of hundreds of megabytes, about to be filled, be given
// memory in large pages where the system allows it: filling it then costs
// one fault per 2 MB rather than one per 4 KB. Nothing where it does not.
void PreferLargePages(void* block, size_t size);
