// Drives the real vocabrik.exe from outside, as a person would: it starts the
// program in a fresh working folder, finds its windows and controls, reads
// what they show, sends commands, keystrokes and clicks, answers its message
// boxes and reads what it writes to disk.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"

struct Box {
    HWND window = nullptr;
    std::string text, caption;
};

class AppUnderTest {
public:
    AppUnderTest();
    // The vocabrik.exe in a folder of someone else's, started there: the folder
    // is neither made nor removed.
    explicit AppUnderTest(const std::string& programFolder);
    ~AppUnderTest();
    AppUnderTest(const AppUnderTest&) = delete;
    AppUnderTest& operator=(const AppUnderTest&) = delete;

    // Writes data.vbk into the working folder before the start.
    void WriteTable(const std::string& bytes);
    void WriteFile(const std::string& name, const std::string& bytes);
    std::string ReadFile(const std::string& name) const;
    bool FileExists(const std::string& name) const;
    const std::string& Folder() const { return folder_; }
    // %LOCALAPPDATA% of the program: a folder of this test's own, so that no
    // test sees another's recovery journal.
    std::string AppData() const { return appData_.Folder(); }
    std::string JournalPath() const { return AppData() + "\\Vocabrik\\recovery.journal"; }

    // Starts the program and waits for its main window to be shown and the
    // program to answer.
    bool Start();
    // Starts a copy of the program placed in the working folder.
    bool StartCopy();
    // The two halves of Start: the process, then its main window shown,
    // looked for every pollMs.
    bool Launch();
    bool WaitShown(DWORD timeoutMs = 30000, DWORD pollMs = 20);
    // Starts another instance in the same folder and returns its exit code,
    // or STILL_ACTIVE if it did not end within the time.
    DWORD StartSecondInstance(DWORD timeoutMs);
    bool Running() const;
    // Ends the program at once, as a crash or the task manager would.
    void Kill();
    // Waits for the process to end and gives its exit code.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode);

    HWND Main() const { return main_; }
    DWORD Pid() const { return pid_; }
    HWND Control(int id) const;
    HWND SearchEdit() const;

    // WM_COMMAND with the id, posted (returns at once) or sent (returns after
    // the program has handled it).
    void Post(int id);
    bool Send(int id, DWORD timeoutMs = 10000);
    // Sends a harmless message and waits for the answer: the program is
    // responsive. (Sent messages overtake posted ones: this is no proof that
    // posted messages have been handled.)
    bool Sync(DWORD timeoutMs = 10000);

    // A posted key press (down and up) to a window of the program.
    void PostKey(HWND target, WORD vk);
    void SetText(HWND control, const std::string& text);

    // A visible top-level message box or dialog of the program, or null.
    HWND FindBox(DWORD timeoutMs) const;
    Box WaitBox(DWORD timeoutMs = 10000) const;
    void Press(HWND box, int id) const;

    // Clicks at a point of a window's client area with the real pointer.
    void Click(HWND window, int x, int y);

    // What a person does and sees, step by step.
    // The result pane's text once the word typed into the search box has
    // been looked up.
    std::string LookUp(const std::string& word);
    // 追加 with these texts in the Key and Data panes.
    bool AddFromPanes(const std::string& key, const std::string& data);
    // Types the name into the file dialog with this title and presses OK,
    // answering the dialog's own question about replacing a file with yes;
    // an empty name presses Cancel. False when no such dialog came or it
    // did not close.
    bool ChooseFile(const char* title, const std::string& name);
    // Waits for a message box, presses the button and gives what it showed;
    // a box with no window when none came.
    Box Answer(int button);
    bool TitleIs(const std::string& title);

private:
    bool Launch(const std::string& exe);

    std::unique_ptr<ScratchFolder> scratch_; // none when the folder is given
    std::string folder_;
    ScratchFolder appData_ = ScratchFolder::Fresh("e2e-appdata");
    std::string program_;
    PROCESS_INFORMATION process_ = {};
    HWND main_ = nullptr;
    DWORD pid_ = 0;
};

// Controls of the system's own windows: the text of a message box, and the
// name field of a file dialog.
const int MessageBoxTextId = 0xFFFF;
const int FileNameFieldId = 0x47C;

// Text of a control of another process (WM_GETTEXT into a 64 KiB buffer).
std::string TextOf(HWND window);
// Text of a child of a dialog or message box by id.
std::string DlgText(HWND dialog, int id);
RECT ClientRectOnScreen(HWND window);
// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
bool IsTopmost(HWND window);

// Toolbar buttons of another process, read through its own memory.
struct ToolbarButton {
    int command;
    BYTE state, style;
    std::string text;
    RECT rect;
};
std::vector<ToolbarButton> ReadToolbar(HWND toolbar);

// The rows of a list control of another process, every column's text.
std::vector<std::vector<std::string>> ReadListRows(HWND list, int columns);
// One cell of a list control of another process.
std::string ListCellText(HWND list, int row, int column);
// Selects exactly these rows of a list control of another process.
void SelectListRows(HWND list, const std::vector<int>& indexes);
// A header item's rectangle in the header's client coordinates.
RECT HeaderItemRect(HWND list, int index);

// Resources of the executable read as data: menu texts and the like.
std::string ProgramPath();

// Keyboard input through the system's input queue.
void SendKeys(const std::vector<INPUT>& inputs);
INPUT KeyInput(WORD vk, bool up, bool extended = false);
