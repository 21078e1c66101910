#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

#ifdef _WIN32
#include <windows.h>

#include "platform/file_calls.h"
#else
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/file_name.h"

namespace {

std::string FolderOf(const std::string& path)
{
#ifdef _WIN32
    // The folder is what the name part leaves: a trail byte 0x5C of a
    // double-byte name is no separator.
    return path.substr(0, path.size() - NamePart(path).size());
#else
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
#endif
}

std::string TemporaryName(const std::string& folder, unsigned long process)
{
    static unsigned counter;
    return folder + ".~vbk" + std::to_string(process) + "-" + std::to_string(counter++) + ".tmp";
}

// Gives room for n bytes and where it starts, keeping what was read so far.
using Room = std::function<char*(size_t n)>;

// Reads to the end into room for the size the file had, grown should the
// file have grown meanwhile. read(p, n) gives the count of bytes read, 0 at
// the end, or -1 after an error.
template <class Read>
bool ReadToEnd(size_t expected, Read read, const Room& room, size_t& size)
{
    // One byte more than expected, so that the end shows without growing.
    size_t capacity = expected + 1;
    char* p = room(capacity);
    size = 0;
    for (;;) {
        if (size == capacity) {
            capacity += capacity / 2 + (1 << 16);
            p = room(capacity);
        }
        long long n = read(p + size, capacity - size);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        size += size_t(n);
    }
}

// Blocks of the temporary file are copied through this much memory when a
// hard-linked target is rewritten.
const size_t CopyBlock = 1 << 20;

#ifdef _WIN32

} // namespace

FileSystemCalls FileCalls;

namespace {

std::string WindowsError(DWORD code)
{
    char text[512] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), text, sizeof text,
                             nullptr);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.'))
        text[--n] = '\0';
    return n ? std::string(text) : "system error " + std::to_string(code);
}

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return h != INVALID_HANDLE_VALUE; }
};

const char* KindOfFileType(DWORD type)
{
    return type == FILE_TYPE_PIPE ? "a pipe" : type == FILE_TYPE_CHAR ? "a device" : "not a file";
}

bool WriteAll(HANDLE h, std::string_view bytes, DWORD& code)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = DWORD(bytes.size() - done < (1u << 24) ? bytes.size() - done : 1u << 24);
        DWORD written = 0;
        if (!FileCalls.Write(h, bytes.data() + done, chunk, &written, nullptr) ||
            written != chunk) {
            code = GetLastError();
            return false;
        }
        done += written;
    }
    return true;
}

std::string FullPath(const std::string& path)
{
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full, n) : path;
}

// The file a symbolic link or junction finally names.
std::string FinalPath(const std::string& path)
{
    Handle h(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    char final[MAX_PATH * 2];
    DWORD n = h.Valid() ? GetFinalPathNameByHandleA(h.h, final, sizeof final, VOLUME_NAME_DOS) : 0;
    if (n == 0 || n >= sizeof final)
        return path;
    std::string p(final, n);
    if (p.compare(0, 8, "\\\\?\\UNC\\") == 0)
        return "\\\\" + p.substr(8);
    if (p.compare(0, 4, "\\\\?\\") == 0)
        return p.substr(4);
    return p;
}

// What is known of the target before it is replaced.
struct Target {
    std::string path; // full, links followed
    bool exists = false;
    DWORD attributes = 0;
    DWORD links = 1;
};

FileOutcome Inspect(const std::string& path, Target& t, std::string& error)
{
    t.path = FullPath(path);
    DWORD attributes = GetFileAttributesA(t.path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        t.path = FinalPath(t.path);
    Handle h(CreateFileA(t.path.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.Valid()) {
        // Not there, or not to be opened now: the replacement will tell.
        t.attributes = GetFileAttributesA(t.path.c_str());
        t.exists = t.attributes != INVALID_FILE_ATTRIBUTES;
        if (t.exists && (t.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            error = "a folder";
            return FileOutcome::NotRegular;
        }
        return FileOutcome::Ok;
    }
    t.exists = true;
    DWORD type = GetFileType(h.h);
    if (type != FILE_TYPE_DISK) {
        error = KindOfFileType(type);
        return FileOutcome::NotRegular;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h.h, &info)) {
        t.attributes = info.dwFileAttributes;
        t.links = info.nNumberOfLinks;
    }
    if (t.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = "a folder";
        return FileOutcome::NotRegular;
    }
    return FileOutcome::Ok;
}

// A name of our own beside the target that no one else holds: CREATE_NEW
// refuses a name that exists.
HANDLE CreateTemporary(const std::string& folder, std::string& name, DWORD& error)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        name = TemporaryName(folder, GetCurrentProcessId());
        HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

// The complete new bytes are in temp: they are copied over the target's own.
// Both are closed before temp is deleted, which Windows refuses for an open file.
FileOutcome RewriteInPlace(const Target& t, const std::string& temp, std::string& error,
                           KeptFiles* kept)
{
    bool opened = false, ok = true;
    DWORD code = 0;
    {
        Handle from(CreateFileA(temp.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        Handle to(!from.Valid() ? INVALID_HANDLE_VALUE
                                : CreateFileA(t.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
        code = GetLastError();
        std::unique_ptr<char[]> block(to.Valid() ? new (std::nothrow) char[CopyBlock] : nullptr);
        opened = block != nullptr;
        if (!opened)
            error = to.Valid() ? "not enough memory to copy it" : WindowsError(code);
        while (opened && ok) {
            DWORD n = 0;
            if (!FileCalls.Read(from.h, block.get(), DWORD(CopyBlock), &n, nullptr)) {
                code = GetLastError();
                ok = false;
            }
            if (!ok || n == 0)
                break;
            ok = WriteAll(to.h, std::string_view(block.get(), n), code);
        }
        if (opened && ok && (!SetEndOfFile(to.h) || !FlushFileBuffers(to.h))) {
            ok = false;
            code = GetLastError();
        }
    } // both closed here: Windows refuses to delete an open file
    if (!opened) {
        // The target was not touched: its old bytes stay.
        DeleteFileA(temp.c_str());
        return FileOutcome::Unwritable;
    }
    if (!ok) {
        error = WindowsError(code) + "; its complete new contents are in " + temp;
        if (kept)
            kept->push_back(temp);
        return FileOutcome::InPlaceFailed;
    }
    DeleteFileA(temp.c_str());
    return FileOutcome::Ok;
}

#else

std::string SystemError(int code) { return std::strerror(code); }

const char* KindOfMode(mode_t mode)
{
    return S_ISDIR(mode)                     ? "a folder"
           : S_ISFIFO(mode)                  ? "a FIFO"
           : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
           : S_ISSOCK(mode)                  ? "a socket"
                                             : "not a regular file";
}

struct Descriptor {
    int fd;
    explicit Descriptor(int d) : fd(d) {}
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    // Closes now, so that an error of the close itself is seen.
    bool Close()
    {
        int d = fd;
        fd = -1;
        return close(d) == 0;
    }
};

bool WriteAll(int fd, std::string_view bytes, int& code)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            code = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// The name of the file that path reaches through any symbolic links; the
// file itself need not exist yet.
bool FollowLinks(std::string path, std::string& target, int& code)
{
    for (int hops = 0; hops < 40; hops++) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        char to[PATH_MAX];
        ssize_t n = readlink(path.c_str(), to, sizeof to);
        if (n < 0 || size_t(n) >= sizeof to) {
            code = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        path = to[0] == '/' ? std::string(to, size_t(n)) : FolderOf(path) + std::string(to, size_t(n));
    }
    code = ELOOP;
    return false;
}

// The new file takes the old one's owner where the process may give it, and
// its permissions (without set-id bits if the owner could not be kept).
void TakeOwnerAndMode(int fd, const struct stat& old)
{
    mode_t mode = old.st_mode & 07777;
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        struct stat now;
        if (fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid))
            mode &= ~mode_t(S_ISUID | S_ISGID);
    }
    (void)fchmod(fd, mode);
}

// The complete new bytes are in temp: they are copied over the target's own.
FileOutcome RewriteInPlace(const std::string& target, const std::string& temp, std::string& error,
                           KeptFiles* kept)
{
    Descriptor from(open(temp.c_str(), O_RDONLY | O_CLOEXEC));
    Descriptor d(from.fd < 0 ? -1 : open(target.c_str(), O_WRONLY | O_CLOEXEC));
    if (d.fd < 0) {
        error = SystemError(errno);
        unlink(temp.c_str());
        return FileOutcome::Unwritable;
    }
    int code = 0;
    std::unique_ptr<char[]> block(new char[CopyBlock]);
    off_t copied = 0;
    bool ok = true;
    for (;;) {
        ssize_t n = read(from.fd, block.get(), CopyBlock);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            code = errno;
            ok = false;
        }
        if (n <= 0)
            break;
        if (!WriteAll(d.fd, std::string_view(block.get(), size_t(n)), code)) {
            ok = false;
            break;
        }
        copied += off_t(n);
    }
    if (ok && (ftruncate(d.fd, copied) != 0 || fsync(d.fd) != 0)) {
        ok = false;
        code = errno;
    }
    if (!d.Close() && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        error = SystemError(code) + "; its complete new contents are in " + temp;
        if (kept)
            kept->push_back(temp);
        return FileOutcome::InPlaceFailed;
    }
    unlink(temp.c_str());
    return FileOutcome::Ok;
}

#endif

} // namespace

#ifdef _WIN32

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string SystemErrorText(unsigned long code)
{
    return WindowsError(DWORD(code));
}

namespace {

// Opened for its attributes only, which a file held open without sharing
// still allows.
bool Identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info)
{
    Handle h(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.Valid() && GetFileInformationByHandle(h.h, &info);
}

} // namespace

bool SameFile(const std::string& a, const std::string& b)
{
    BY_HANDLE_FILE_INFORMATION x, y;
    return Identity(a, x) && Identity(b, y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

namespace {

FileOutcome ReadRegularFile(const std::string& path, const Room& room, size_t& size,
                            std::string& error)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "a folder";
        return FileOutcome::NotRegular;
    }
    // Shared as the C runtime shares: a list still open in its editor is read.
    Handle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) {
        DWORD code = GetLastError();
        error = WindowsError(code);
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? FileOutcome::Missing
                                                                             : FileOutcome::Unreadable;
    }
    DWORD type = GetFileType(h.h);
    if (type != FILE_TYPE_DISK) {
        error = KindOfFileType(type);
        return FileOutcome::NotRegular;
    }
    LARGE_INTEGER length;
    size_t expected = GetFileSizeEx(h.h, &length) && length.QuadPart > 0 ? size_t(length.QuadPart) : 0;
    bool read = ReadToEnd(
        expected,
        [&](char* p, size_t n) -> long long {
            DWORD got = 0;
            if (!FileCalls.Read(h.h, p, DWORD(n < (1u << 24) ? n : 1u << 24), &got, nullptr))
                return -1;
            return got;
        },
        room, size);
    if (!read) {
        error = WindowsError(GetLastError());
        return FileOutcome::BrokenOff;
    }
    return FileOutcome::Ok;
}

} // namespace

FileOutcome CreateTemporaryBeside(const std::string& path, std::string& temp, std::string& error)
{
    Target t;
    FileOutcome inspected = Inspect(path, t, error);
    if (inspected != FileOutcome::Ok)
        return inspected;
    DWORD code = 0;
    HANDLE h = CreateTemporary(FolderOf(t.path), temp, code);
    if (h == INVALID_HANDLE_VALUE) {
        error = "cannot create a file in its folder: " + WindowsError(code);
        return FileOutcome::Unwritable;
    }
    CloseHandle(h);
    return FileOutcome::Ok;
}

namespace {

// ReplaceFile failed. With a backup name, the system documents two ways of
// failing half-way: ERROR_UNABLE_TO_MOVE_REPLACEMENT (1176) leaves both
// files under their own names, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 (1177)
// leaves the old file under the backup name and the target's name free.
// Other systems may fail elsewhere; what is on the disk decides: the target
// gets the new bytes, or else the old ones back, and what cannot be put
// there is kept and named.
FileOutcome AfterFailedReplace(const Target& t, const std::string& temp,
                               const std::string& backup, DWORD code, std::string& error,
                               KeptFiles* kept)
{
    error = WindowsError(code);
    if (GetFileAttributesA(t.path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        DeleteFileA(temp.c_str());
        DeleteFileA(backup.c_str());
        return FileOutcome::Unwritable;
    }
    if (MoveFileExA(temp.c_str(), t.path.c_str(), MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(backup.c_str());
        return FileOutcome::Ok;
    }
    bool oldKept = GetFileAttributesA(backup.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (oldKept && MoveFileExA(backup.c_str(), t.path.c_str(), MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temp.c_str());
        return FileOutcome::Unwritable;
    }
    error += "; its complete new contents are in " + temp;
    if (kept)
        kept->push_back(temp);
    if (oldKept) {
        error += ", its old contents in " + backup;
        if (kept)
            kept->push_back(backup);
    }
    return FileOutcome::Stranded;
}

} // namespace

FileOutcome PlaceFile(const std::string& temp, const std::string& path, std::string& error,
                      KeptFiles* kept)
{
    Target t;
    FileOutcome inspected = Inspect(path, t, error);
    if (inspected != FileOutcome::Ok) {
        DeleteFileA(temp.c_str());
        return inspected;
    }
    if (t.exists && t.links > 1)
        return RewriteInPlace(t, temp, error, kept);
    if (!t.exists) {
        if (MoveFileExA(temp.c_str(), t.path.c_str(), MOVEFILE_WRITE_THROUGH))
            return FileOutcome::Ok;
        error = WindowsError(GetLastError());
        DeleteFileA(temp.c_str());
        return FileOutcome::Unwritable;
    }
    // The old file goes to a backup name of ours rather than nowhere, so
    // that a replacement failing half-way never loses it.
    const std::string backup = temp + ".old";
    // ReplaceFile keeps the target's attributes and security on Windows;
    // the attributes are set again for systems whose ReplaceFile does not.
    if (!FileCalls.Replace(t.path.c_str(), temp.c_str(), backup.c_str(),
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        FileOutcome after = AfterFailedReplace(t, temp, backup, GetLastError(), error, kept);
        if (after != FileOutcome::Ok)
            return after;
    }
    DeleteFileA(backup.c_str());
    const DWORD keptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD now = GetFileAttributesA(t.path.c_str());
    if (now != INVALID_FILE_ATTRIBUTES &&
        (now & keptAttributes) != (t.attributes & keptAttributes))
        SetFileAttributesA(t.path.c_str(),
                           (now & ~keptAttributes) | (t.attributes & keptAttributes));
    return FileOutcome::Ok;
}

namespace {

// The temporary file, written a block at a time.
class TemporaryWriter {
public:
    explicit TemporaryWriter(const std::string& name)
        : name_(name), h_(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        if (h_ == INVALID_HANDLE_VALUE)
            code_ = GetLastError();
    }
    ~TemporaryWriter() { Close(); }
    TemporaryWriter(const TemporaryWriter&) = delete;
    TemporaryWriter& operator=(const TemporaryWriter&) = delete;

    bool Ready() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Write(std::string_view block)
    {
        failed_ = failed_ || !WriteAll(h_, block, code_);
        return !failed_;
    }
    // On the disk and closed: true, or false with the reason.
    bool Finish(std::string& error)
    {
        if (!failed_ && !FlushFileBuffers(h_)) {
            failed_ = true;
            code_ = GetLastError();
        }
        Close();
        if (failed_)
            error = WindowsError(code_);
        return !failed_;
    }
    bool Failed() const { return failed_ || !Ready(); }
    std::string Reason() const { return WindowsError(code_); }
    void Discard()
    {
        Close();
        DeleteFileA(name_.c_str());
    }

private:
    void Close()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

    std::string name_;
    HANDLE h_;
    DWORD code_ = 0;
    bool failed_ = false;
};

} // namespace

#else

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string SystemErrorText(unsigned long code)
{
    return SystemError(int(code));
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat x, y;
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

namespace {

FileOutcome ReadRegularFile(const std::string& path, const Room& room, size_t& size,
                            std::string& error)
{
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    Descriptor d(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (d.fd < 0) {
        int code = errno;
        error = SystemError(code);
        return code == ENOENT ? FileOutcome::Missing : FileOutcome::Unreadable;
    }
    struct stat st;
    if (fstat(d.fd, &st) != 0) {
        error = SystemError(errno);
        return FileOutcome::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        error = KindOfMode(st.st_mode);
        return FileOutcome::NotRegular;
    }
    fcntl(d.fd, F_SETFL, fcntl(d.fd, F_GETFL) & ~O_NONBLOCK);
    bool read = ReadToEnd(
        size_t(st.st_size),
        [&](char* p, size_t n) -> long long {
            for (;;) {
                ssize_t got = ::read(d.fd, p, n);
                if (got >= 0 || errno != EINTR)
                    return got;
            }
        },
        room, size);
    if (!read) {
        error = SystemError(errno);
        return FileOutcome::BrokenOff;
    }
    return FileOutcome::Ok;
}

} // namespace

FileOutcome CreateTemporaryBeside(const std::string& path, std::string& temp, std::string& error)
{
    std::string target;
    int code = 0;
    if (!FollowLinks(path, target, code)) {
        error = SystemError(code);
        return FileOutcome::Unwritable;
    }
    struct stat old;
    bool exists = stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        error = KindOfMode(old.st_mode);
        return FileOutcome::NotRegular;
    }
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; attempt++) {
        temp = TemporaryName(FolderOf(target), (unsigned long)getpid());
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = "cannot create a file in its folder: " + SystemError(errno);
        return FileOutcome::Unwritable;
    }
    Descriptor d(fd);
    if (exists)
        TakeOwnerAndMode(d.fd, old);
    return FileOutcome::Ok;
}

FileOutcome PlaceFile(const std::string& temp, const std::string& path, std::string& error,
                      KeptFiles* kept)
{
    std::string target;
    int code = 0;
    if (!FollowLinks(path, target, code)) {
        unlink(temp.c_str());
        error = SystemError(code);
        return FileOutcome::Unwritable;
    }
    struct stat old;
    bool exists = stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        unlink(temp.c_str());
        error = KindOfMode(old.st_mode);
        return FileOutcome::NotRegular;
    }
    if (exists && old.st_nlink > 1)
        return RewriteInPlace(target, temp, error, kept);
    if (rename(temp.c_str(), target.c_str()) != 0) {
        code = errno;
        unlink(temp.c_str());
        error = SystemError(code);
        return FileOutcome::Unwritable;
    }
    return FileOutcome::Ok;
}

namespace {

// The temporary file, written a block at a time.
class TemporaryWriter {
public:
    explicit TemporaryWriter(const std::string& name)
        : name_(name), d_(open(name.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC))
    {
        if (d_.fd < 0)
            code_ = errno;
    }
    TemporaryWriter(const TemporaryWriter&) = delete;
    TemporaryWriter& operator=(const TemporaryWriter&) = delete;

    bool Ready() const { return d_.fd >= 0; }
    bool Write(std::string_view block)
    {
        failed_ = failed_ || !WriteAll(d_.fd, block, code_);
        return !failed_;
    }
    // On the disk and closed: true, or false with the reason.
    bool Finish(std::string& error)
    {
        if (!failed_ && fsync(d_.fd) != 0) {
            failed_ = true;
            code_ = errno;
        }
        if (!d_.Close() && !failed_) {
            failed_ = true;
            code_ = errno;
        }
        if (failed_)
            error = SystemError(code_);
        return !failed_;
    }
    bool Failed() const { return failed_ || !Ready(); }
    std::string Reason() const { return SystemError(code_); }
    void Discard()
    {
        if (d_.fd >= 0)
            d_.Close();
        unlink(name_.c_str());
    }

private:
    std::string name_;
    Descriptor d_;
    int code_ = 0;
    bool failed_ = false;
};

} // namespace

#endif

FileOutcome ReadWholeFile(const std::string& path, std::string& bytes, std::string& error)
{
    bytes.clear();
    size_t size = 0;
    FileOutcome outcome = ReadRegularFile(
        path,
        [&](size_t n) {
            bytes.resize(n);
            return &bytes[0];
        },
        size, error);
    bytes.resize(outcome == FileOutcome::Ok ? size : 0);
    return outcome;
}

FileOutcome ReadWholeFile(const std::string& path, std::unique_ptr<char[]>& bytes, size_t& size,
                          std::string& error)
{
    bytes.reset();
    size_t held = 0;
    FileOutcome outcome = ReadRegularFile(
        path,
        [&](size_t n) {
            std::unique_ptr<char[]> more(new char[n]);
            if (held)
                std::memcpy(more.get(), bytes.get(), held);
            bytes = std::move(more);
            held = n;
            return bytes.get();
        },
        size, error);
    if (outcome != FileOutcome::Ok) {
        bytes.reset();
        size = 0;
    }
    return outcome;
}

FileOutcome PutFileInPlace(const std::string& path, const FileMaker& make, std::string& error,
                           KeptFiles* kept)
{
    std::string temp;
    FileOutcome prepared = CreateTemporaryBeside(path, temp, error);
    if (prepared != FileOutcome::Ok)
        return prepared;
    TemporaryWriter file(temp);
    bool made = false;
    try {
        made = file.Ready() && make([&](std::string_view block) { return file.Write(block); });
    } catch (...) { // memory ran out while the bytes were made
        file.Discard();
        throw;
    }
    if (!made && !file.Failed()) {
        file.Discard();
        return FileOutcome::Abandoned;
    }
    if (file.Failed() || !file.Finish(error)) {
        if (error.empty())
            error = file.Reason();
        file.Discard();
        return FileOutcome::Unwritable;
    }
    return PlaceFile(temp, path, error, kept);
}

FileOutcome PutFileInPlace(const std::string& path, std::string_view bytes, std::string& error)
{
    return PutFileInPlace(
        path, [bytes](const BlockPut& put) { return put(bytes); }, error);
}

