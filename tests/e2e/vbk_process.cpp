#include "tests/e2e/vbk_process.h"

#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace fs = std::filesystem;

namespace {

// Long enough for the largest dictionary the tests bring in (WordNet as DSL,
// 96 MB of text) in the sanitizers' build on a busy machine.
const int DeadlineMs = 180000;

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

#ifdef _WIN32
// vbk.exe is built beside this test program.
std::string VbkPath()
{
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    return path.substr(0, path.find_last_of("\\/") + 1) + "vbk.exe";
}

// Quoting as the C runtime's command-line parser undoes it.
std::string Quote(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string q = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        q.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, '\\');
    return q + "\"";
}

HANDLE InheritableFile(const std::string& path)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

} // namespace

std::string TestFolderName(const std::string& tag)
{
    return FreshTestFolder("vbk-" + tag).string();
}

bool TerminalIsUtf8()
{
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

#ifdef _WIN32

VbkRun RunVbk(const std::vector<std::string>& args, const std::string& folder,
              unsigned long long, unsigned long long)
{
    return RunVbkAt(VbkPath(), args, folder);
}

static VbkRun StartVbk(const std::string& exe, const std::vector<std::string>& args,
                       const std::string& folder, bool& started)
{
    // Names of their own for every run: a handle the child passed on may
    // outlive it for a moment and keep an old file from being replaced.
    static int runs;
    VbkRun run;
    std::string base = folder + "." + std::to_string(runs++);
    std::string outPath = base + ".out", errPath = base + ".err";
    HANDLE out = InheritableFile(outPath), err = InheritableFile(errPath);
    std::string command = Quote(exe);
    for (const std::string& a : args)
        command += " " + Quote(a);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = INVALID_HANDLE_VALUE;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi = {};
    std::string mutableCommand = command;
    started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
              CreateProcessA(nullptr, mutableCommand.data(), nullptr, nullptr, TRUE,
                             DETACHED_PROCESS, nullptr, folder.c_str(), &si, &pi);
    DWORD why = started ? 0 : GetLastError();
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE)
        CloseHandle(err);
    if (started) {
        if (WaitForSingleObject(pi.hProcess, DeadlineMs) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            run.Status = int(code);
        } else {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    run.Out = Slurp(outPath);
    run.Err = Slurp(errPath);
    if (!started)
        run.Err += "the test could not start vbk.exe: error " + std::to_string(why);
    DeleteFileA(outPath.c_str());
    DeleteFileA(errPath.c_str());
    return run;
}

VbkRun RunVbkAt(const std::string& exe, const std::vector<std::string>& args,
                const std::string& folder)
{
    VbkRun run;
    StartedAtMostTwice([&] {
        bool started = false;
        run = StartVbk(exe, args, folder, started);
        return started;
    });
    return run;
}

#else

VbkRun RunVbk(const std::vector<std::string>& args, const std::string& folder,
              unsigned long long memoryLimit, unsigned long long fileSizeLimit)
{
    VbkRun run;
    std::string outPath = folder + ".out", errPath = folder + ".err";
    std::vector<std::string> argv = {VBK_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || chdir(folder.c_str()) != 0)
            _exit(127);
        if (memoryLimit) {
            struct rlimit limit = {rlim_t(memoryLimit), rlim_t(memoryLimit)};
            if (setrlimit(RLIMIT_AS, &limit) != 0)
                _exit(127);
        }
        if (fileSizeLimit) {
            // A write past the limit then fails with EFBIG, as on a full
            // disk, instead of ending the process.
            struct rlimit limit = {rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            signal(SIGXFSZ, SIG_IGN);
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(127);
        }
        dup2(out, 1);
        dup2(err, 2);
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    if (child < 0)
        return run;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(DeadlineMs);
    int status = 0;
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.Out = Slurp(outPath);
    run.Err = Slurp(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return run;
}

#endif
