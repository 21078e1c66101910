#include "tools/vbk/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string FolderOf(const std::string& path)
{
#ifdef _WIN32
    // Step by characters: a trail byte 0x5C of a double-byte name is not a
    // separator.
    const char* last = nullptr;
    for (const char* p = path.c_str(); *p; p = CharNextA(p))
        if (*p == '\\' || *p == '/' || *p == ':')
            last = p;
    if (!last)
        return std::string();
    return path.substr(0, size_t(last - path.c_str()) + 1);
#else
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
#endif
}

std::string SystemError(int code) { return std::strerror(code); }

#ifdef _WIN32
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

// A name of our own beside the target that no one else holds: CREATE_NEW
// refuses a name that exists.
HANDLE CreateTemporary(const std::string& folder, std::string& name, DWORD& error)
{
    static unsigned counter;
    for (int attempt = 0; attempt < 100; attempt++) {
        name = folder + "~vbk" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(counter++) + ".tmp";
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
#endif

} // namespace

bool FileExists(const std::string& path)
{
#ifdef _WIN32
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
#endif
}

FileOutcome ReadWholeFile(const std::string& path, std::string& bytes, std::string& error)
{
    bytes.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        int code = errno;
        error = SystemError(code);
        return code == ENOENT ? FileOutcome::Missing : FileOutcome::Unreadable;
    }
    // Knowing the size up front spares the copies of a growing buffer.
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long size = std::ftell(f);
        if (size > 0)
            bytes.reserve(size_t(size));
        std::fseek(f, 0, SEEK_SET);
    }
    char block[1 << 16];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0)
        bytes.append(block, n);
    bool failed = std::ferror(f) != 0;
    int code = errno;
    std::fclose(f);
    if (failed) {
        // A folder opens on some systems and fails only when read.
        error = code == EISDIR ? "it is a folder" : SystemError(code);
        bytes.clear();
        return FileOutcome::Unreadable;
    }
    return FileOutcome::Ok;
}

#ifdef _WIN32

FileOutcome PutFileInPlace(const std::string& path, std::string_view bytes, std::string& error)
{
    std::string temp;
    DWORD code = 0;
    HANDLE h = CreateTemporary(FolderOf(path), temp, code);
    if (h == INVALID_HANDLE_VALUE) {
        error = "cannot create a file in its folder: " + WindowsError(code);
        return FileOutcome::Unwritable;
    }
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD chunk = DWORD(bytes.size() - done < (1u << 24) ? bytes.size() - done : 1u << 24);
        DWORD written = 0;
        ok = WriteFile(h, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    ok = ok && FlushFileBuffers(h);
    if (!ok)
        code = GetLastError();
    CloseHandle(h);
    if (ok && !MoveFileExA(temp.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        code = GetLastError();
    }
    if (!ok) {
        DeleteFileA(temp.c_str());
        error = WindowsError(code);
        return FileOutcome::Unwritable;
    }
    return FileOutcome::Ok;
}

#else

FileOutcome PutFileInPlace(const std::string& path, std::string_view bytes, std::string& error)
{
    static unsigned counter;
    std::string folder = FolderOf(path);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; attempt++) {
        temp = folder + ".~vbk" + std::to_string(getpid()) + "-" + std::to_string(counter++) +
               ".tmp";
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = "cannot create a file in its folder: " + SystemError(errno);
        return FileOutcome::Unwritable;
    }
    bool ok = true;
    int code = 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            code = n < 0 ? errno : ENOSPC;
        } else {
            done += size_t(n);
        }
    }
    if (ok && fsync(fd) != 0) {
        ok = false;
        code = errno;
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        error = SystemError(code);
        return FileOutcome::Unwritable;
    }
    return FileOutcome::Ok;
}

#endif

void UseBinaryStandardStreams()
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

TextEncoding TerminalEncoding()
{
#ifdef _WIN32
    // Words arrive through the ANSI command line; a system whose code page
    // is not 932 still gets Shift-JIS bytes, the only other choice vbk has.
    return GetACP() == CP_UTF8 ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
#else
    return TextEncoding::Utf8;
#endif
}
