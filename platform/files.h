// Files on the disk, the same way on Linux and Windows, for the program and
// vbk alike: reading a file whole, and putting a file in place the safe way:
// the new bytes go to a temporary file in the same folder first, and only
// the complete file takes the target's place, so the target is either the
// old file or the new one.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class FileOutcome {
    Ok,
    Missing,
    Unreadable,
    Unwritable,
    NotRegular,    // a folder, a FIFO or a device: never read or written as a file
    InPlaceFailed, // a hard-linked target could not be rewritten; see the error
    Abandoned,     // the bytes to write could not all be made; nothing was written
    BrokenOff,     // opened, but a read failed part-way: none of it is to be used
    Stranded,      // the target has neither its old nor its new bytes; error and
                   // kept name the files that hold them
};

// The files a failed placement leaves because each holds the only complete
// copy of the old or the new contents.
using KeptFiles = std::vector<std::string>;

// Only a regular file is read, and nothing of anything else: a FIFO is not
// waited on. On failure, error says why in the system's words.
FileOutcome ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);
// The same into a block of memory of its own, which the caller may change.
FileOutcome ReadWholeFile(const std::string& path, std::unique_ptr<char[]>& bytes, size_t& size,
                          std::string& error);

// Makes a file's bytes and hands them in order, a block at a time, to put,
// which says false when the block could not be written. Returns false when
// the file is to be given up: put refused a block, or the bytes could not
// all be made. A large file is thus written without being held whole.
using BlockPut = std::function<bool(std::string_view block)>;
using FileMaker = std::function<bool(const BlockPut& put)>;

// The two steps of the safe way, for a writer of its own:
// - CreateTemporaryBeside makes an empty file of ours in the folder of the
//   file that path finally names (symbolic links followed), with the old
//   file's permissions and owner where there is one (Linux).
// - PlaceFile puts the complete temporary file in the place of path. What
//   the user set up is kept: a link is followed and the file it names is
//   replaced; the replacement keeps the old file's attributes and security
//   (Windows); a file with further hard links is rewritten through its own
//   name from the temporary file, so that every link sees the new bytes.
//   The temporary file is gone afterwards, except after InPlaceFailed, when
//   it holds the complete new contents, and after Stranded; kept then names
//   what is left. A replacement that fails half-way (the old file moved
//   aside, the new one not yet in its place) is finished, or undone, so the
//   target holds its new bytes or its old ones whenever the system allows.
FileOutcome CreateTemporaryBeside(const std::string& path, std::string& temp, std::string& error);
FileOutcome PlaceFile(const std::string& temp, const std::string& path, std::string& error,
                      KeptFiles* kept = nullptr);

// Both steps, with the bytes from make (or given whole). When the maker gives
// the file up without a failed write, the outcome is Abandoned and error is
// left for the caller to fill.
FileOutcome PutFileInPlace(const std::string& path, const FileMaker& make, std::string& error,
                           KeptFiles* kept = nullptr);
FileOutcome PutFileInPlace(const std::string& path, std::string_view bytes, std::string& error);

// A regular file (or a link to one) is there.
bool FileExists(const std::string& path);

// Whether two names reach one file, whatever the names: links, hard links,
// another case or spelling of the name. The file's identity decides (the
// volume and file index on Windows, the device and inode on Linux), so that
// a name the system's code page spells differently cannot hide it. False
// when either is not there.
bool SameFile(const std::string& a, const std::string& b);

// The system's text for an error code (errno, or GetLastError on Windows).
std::string SystemErrorText(unsigned long code);

