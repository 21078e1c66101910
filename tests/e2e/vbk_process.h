// Runs the built vbk as a separate process in a working folder of its own,
// on Linux and on Windows alike.
#pragma once

#include <string>
#include <vector>

struct VbkRun {
    int Status = -1; // the exit status; -1 if it could not be started or did not end
    std::string Out, Err;
};

// A fresh name for a test's own folder under the system's temporary folder.
std::string TestFolderName(const std::string& tag);

// Runs vbk with the arguments, in the folder, and waits (with a deadline)
// for it to end. Its standard output and error are captured through files
// outside the folder. A memory limit (bytes of address space) and a file
// size limit (bytes a file may grow to) let a test see what running out of
// memory or of room does (Linux only).
VbkRun RunVbk(const std::vector<std::string>& args, const std::string& folder,
              unsigned long long memoryLimit = 0, unsigned long long fileSizeLimit = 0);
#ifdef _WIN32
// The same with another vbk.exe, such as one unpacked from a release.
VbkRun RunVbkAt(const std::string& exe, const std::vector<std::string>& args,
                const std::string& folder);
#endif

// The encoding in which vbk talks to its terminal on this system: true for
// UTF-8 (Linux), false for code page 932 (Windows).
bool TerminalIsUtf8();
