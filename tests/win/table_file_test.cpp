// Loading and saving tables on real files.
#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "app/file_commands.h"
#include "core/journal_codec.h"
#include "core/table_codec.h"
#include "platform/file_calls.h"
#include "platform/files.h"
#include "table/recovery_journal.h"
#include "table/table_document.h"
#include "tests/common/file_bytes.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/table_bytes.h"
#include "tests/win/msgbox_watcher.h"

namespace {

// Each test works in a fresh folder of its own, which is the working folder.
class TableFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, previous_);
        SetCurrentDirectoryA(folder_.Folder().c_str());
        Document.ClearEntries();
        Document.Rename("");
        Document.ResetModified();
    }

    void TearDown() override
    {
        RecoveryJournal.Detach();
        FileCalls = FileSystemCalls();
        SetCurrentDirectoryA(previous_);
    }

    std::string Path(const std::string& name) const { return folder_.Path(name); }
    std::vector<std::string> Listing(const std::string& sub = "") const
    {
        return ScratchFolder::ListingOf(sub.empty() ? folder_.Folder() : folder_.Path(sub));
    }

    ScratchFolder folder_ = ScratchFolder::Fresh("table-file");
    char previous_[MAX_PATH];
};

TEST_F(TableFileTest, MissingDefaultFileGivesEmptyUntitledTableSilently)
{
    MessageBoxWatcher watcher;
    Document.MarkModified();
    LoadDefaultTable();
    EXPECT_EQ(Document.EntryTable().Size(), 0u);
    EXPECT_STREQ(Document.CurrentTablePath(), "");
    EXPECT_EQ(Document.TableModified(), 0);
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(TableFileTest, ZeroByteFileLoadsEmptyAndKeepsItsName)
{
    WriteFileBytes(Path("data.vbk"), "");
    LoadDefaultTable();
    EXPECT_EQ(Document.EntryTable().Size(), 0u);
    EXPECT_STREQ(Document.CurrentTablePath(), "data.vbk");

    Document.MarkModified();
    EXPECT_EQ(Document.SaveTableFile(), 1);
    EXPECT_EQ(ReadFileBytes(Path("data.vbk")), "");
    EXPECT_EQ(Document.TableModified(), 0);
}

TEST_F(TableFileTest, AppendKeepsPresentKeysAndLoadReplacesTheTable)
{
    Document.StoreEntry("apple", "mine");
    Document.ResetModified();
    WriteFileBytes(Path("other.vbk"), Record("apple", "theirs") + Record("b", "1") +
                                          Record("b", "2"));
    EXPECT_TRUE(Document.AppendTableFile("other.vbk").outcome == ReadOk);
    EXPECT_EQ(Document.EntryTable().FindEntry("apple")->Data, "mine");
    EXPECT_EQ(Document.EntryTable().FindEntry("b")->Data, "1") << "the first record wins";
    EXPECT_STREQ(Document.CurrentTablePath(), "") << "an append keeps the table's name";
    EXPECT_EQ(Document.TableModified(), 1);

    EXPECT_TRUE(Document.LoadTableFile("other.vbk").outcome == ReadOk);
    EXPECT_EQ(Document.EntryTable().FindEntry("apple")->Data, "theirs");
    EXPECT_EQ(Document.EntryTable().Size(), 2u);
    EXPECT_STREQ(Document.CurrentTablePath(), "other.vbk");
    EXPECT_EQ(Document.TableModified(), 1) << "loading leaves the flag as it was";
}

TEST_F(TableFileTest, SaveOverALongerFileLeavesExactlyTheNewRecords)
{
    WriteFileBytes(Path("t.vbk"), std::string(5000, 'x'));
    Document.StoreEntry("k", "v");
    Document.StoreEntry("\x95\x5c" /* 表 */, std::string(2047, 'd'));
    Document.Rename("t.vbk");
    Document.MarkModified();
    MessageBoxWatcher watcher;
    EXPECT_EQ(Document.SaveTableFile(), 1);
    EXPECT_EQ(ReadFileBytes(Path("t.vbk")), EncodeTableToBytes(Document.EntryTable()));
    EXPECT_EQ(ReadFileBytes(Path("t.vbk")).size(), 8 + 1 + 1 + 8 + 2 + 2047u);
    EXPECT_TRUE(watcher.Boxes().empty());
    EXPECT_EQ(Listing(), std::vector<std::string>{"t.vbk"}) << "no temporary left";
}

TEST_F(TableFileTest, SaveMakesANewFile)
{
    Document.StoreEntry("k", "v");
    Document.Rename("new.vbk");
    EXPECT_EQ(Document.SaveTableFile(), 1);
    EXPECT_EQ(ReadFileBytes(Path("new.vbk")), Record("k", "v"));
}

// The table reads its records where the file's bytes lie: while it does,
// another program may read the file but not write into it; once the table
// has been saved it holds nothing of the file.
TEST_F(TableFileTest, ALoadedFileKeepsWritersOutUntilTheTableIsSaved)
{
    const std::string bytes = Record("a", "1") + Record("b", std::string(20000, '2'));
    WriteFileBytes(Path("t.vbk"), bytes);
    ASSERT_EQ(Document.LoadTableFile("t.vbk").outcome, ReadOk);
    auto writer = [&] {
        return CreateFileA(Path("t.vbk").c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    };
    HANDLE h = writer();
    DWORD error = GetLastError();
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "a writer got in while the table reads the file";
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    else
        EXPECT_EQ(error, DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(ReadFileBytes(Path("t.vbk")), bytes) << "a reader is let in";
    EXPECT_EQ(Document.EntryTable().FindEntry("b")->Data, std::string(20000, '2'));

    Document.StoreEntry("c", "3");
    ASSERT_EQ(Document.SaveTableFile(), 1);
    EXPECT_EQ(ReadFileBytes(Path("t.vbk")), bytes + Record("c", "3"));
    h = writer();
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "the saved table still holds the file: "
                                       << GetLastError();
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

TEST_F(TableFileTest, RefusedSavesShowWriteInvalidAndKeepTheFlag)
{
    struct {
        const char* name;
        const char* table;
    } cases[] = {
        {"untitled", ""},
        {"missing folder", "no-such-folder\\t.vbk"},
    };
    for (const auto& c : cases) {
        Document.StoreEntry("k", "v");
        Document.Rename(c.table);
        Document.MarkModified();
        MessageBoxWatcher watcher;
        EXPECT_EQ(Document.SaveTableFile(), 0) << c.name;
        auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes[0].text, "Write() INVALID") << c.name;
        EXPECT_EQ(boxes[0].caption, "Error") << c.name;
        EXPECT_EQ(Document.TableModified(), 1) << c.name;
        EXPECT_TRUE(Listing().empty()) << c.name << ": nothing may be created";
    }
}

TEST_F(TableFileTest, FileHeldOpenElsewhere)
{
    const std::string old = Record("old", "data");
    WriteFileBytes(Path("data.vbk"), old);
    HANDLE other = CreateFileA(Path("data.vbk").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);

    MessageBoxWatcher watcher;
    Document.Rename("data.vbk");
    Document.StoreEntry("mine", "1");
    EXPECT_EQ(Document.SaveTableFile(), 0);
    auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Write() INVALID");
    CloseHandle(other);
    EXPECT_EQ(ReadFileBytes(Path("data.vbk")), old);
    EXPECT_EQ(Document.TableModified(), 1);
}

int failAfterWrites;
BOOL WINAPI FailingWriteFile(HANDLE h, LPCVOID p, DWORD n, LPDWORD done, LPOVERLAPPED o)
{
    if (failAfterWrites-- <= 0) {
        *done = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return WriteFile(h, p, n, done, o);
}

TEST_F(TableFileTest, FailedWriteLeavesTheOldFileIntact)
{
    std::string old;
    for (int i = 0; i < 100; i++)
        old += Record("old" + std::to_string(1000 + i), std::string(i, 'o'));
    WriteFileBytes(Path("data.vbk"), old);
    LoadDefaultTable();
    ASSERT_EQ(Document.EntryTable().Size(), 100u);

    // A table large enough to need several blocks, so the failure strikes
    // after part of it has been written.
    for (int i = 0; i < 40000; i++)
        Document.StoreEntry("new" + std::to_string(i), std::string(1000, 'n'));
    Document.MarkModified();

    for (int attempt = 0; attempt < 2; attempt++) {
        failAfterWrites = 1;
        FileCalls.Write = FailingWriteFile;
        MessageBoxWatcher watcher;
        EXPECT_EQ(Document.SaveTableFile(), 0);
        auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Write() FALSE");
        EXPECT_EQ(boxes[0].caption, "Error");
        EXPECT_EQ(Document.TableModified(), 1);
        EXPECT_EQ(ReadFileBytes(Path("data.vbk")), old) << "the old table must survive";
        EXPECT_EQ(Listing(), std::vector<std::string>{"data.vbk"})
            << "the partial file must be removed";
    }

    FileCalls.Write = ::WriteFile;
    EXPECT_EQ(Document.SaveTableFile(), 1);
    EXPECT_EQ(ReadFileBytes(Path("data.vbk")), EncodeTableToBytes(Document.EntryTable()));
}

TEST_F(TableFileTest, FailedWriteOfANewFileLeavesNoFile)
{
    Document.StoreEntry("k", "v");
    Document.Rename("fresh.vbk");
    failAfterWrites = 0;
    FileCalls.Write = FailingWriteFile;
    MessageBoxWatcher watcher;
    EXPECT_EQ(Document.SaveTableFile(), 0);
    EXPECT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_TRUE(Listing().empty());
}

BOOL WINAPI ThrowingWriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED)
{
    throw std::bad_alloc();
}

// Memory running out half-way through a save leaves no file open and no
// temporary behind: the next save and load work.
TEST_F(TableFileTest, ExceptionInTheMiddleOfASaveLeavesNothingOpen)
{
    WriteFileBytes(Path("data.vbk"), Record("a", "b"));
    LoadDefaultTable();
    Document.StoreEntry("c", "d");
    FileCalls.Write = ThrowingWriteFile;
    EXPECT_THROW(Document.SaveTableFile(), std::bad_alloc);
    EXPECT_EQ(Listing(), std::vector<std::string>{"data.vbk"});
    EXPECT_EQ(ReadFileBytes(Path("data.vbk")), Record("a", "b"));
    EXPECT_EQ(Document.TableModified(), 1);

    FileCalls.Write = ::WriteFile;
    MessageBoxWatcher watcher;
    EXPECT_EQ(Document.SaveTableFile(), 1);
    EXPECT_EQ(ReadFileBytes(Path("data.vbk")), Record("a", "b") + Record("c", "d"));
    EXPECT_EQ(Document.LoadTableFile("data.vbk").outcome, ReadOk);
    EXPECT_EQ(Document.EntryTable().Size(), 2u);
    EXPECT_TRUE(watcher.Boxes().empty());
}

int readsBeforeFailure;
BOOL WINAPI FailingReadFile(HANDLE h, LPVOID p, DWORD n, LPDWORD done, LPOVERLAPPED o)
{
    if (readsBeforeFailure-- <= 0) {
        *done = 0;
        SetLastError(ERROR_DEV_NOT_EXIST); // the network drive went away
        return FALSE;
    }
    return ReadFile(h, p, n, done, o);
}

LPVOID WINAPI NoView(HANDLE, DWORD, DWORD, DWORD, SIZE_T)
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
}

// A file that is there but cannot be read whole, whether its read fails
// part-way or it is held open without sharing, is never taken for a shorter
// or a missing one: at start-up the table is empty and untitled, so no save
// goes over the file unasked; an open of either kind keeps the table as it
// was, unmodified.
TEST_F(TableFileTest, ReadErrorIsNeverASmallerTable)
{
    const std::string bytes = Record("a", "1") + Record("b", "2");
    WriteFileBytes(Path("data.vbk"), bytes);
    WriteFileBytes(Path("other.vbk"), Record("o", "3"));
    struct {
        LoadKind kind;
        const char* file;
        const char* text;
    } cases[] = {
        {StartLoad, "data.vbk", "data.vbk を読み込めませんでした。\n空の表で始めます。"},
        {OpenLoad, "other.vbk", "other.vbk を読み込めませんでした。\n今の表はそのままです。"},
        {AppendLoad, "other.vbk", "other.vbk を読み込めませんでした。\n今の表はそのままです。"},
    };
    for (bool held : {false, true})
        for (const auto& c : cases) {
            const std::string what = std::string(held ? "held: " : "read fails: ") + c.text;
            if (c.kind == StartLoad) { // as a start finds it
                Document.ClearEntries();
                Document.Rename("");
            } else {
                LoadDefaultTable();
            }
            HANDLE other = INVALID_HANDLE_VALUE;
            if (held) {
                other = CreateFileA(Path(c.file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr);
                ASSERT_NE(other, INVALID_HANDLE_VALUE) << what;
            } else {
                readsBeforeFailure = 1;
                FileCalls.Read = FailingReadFile;
                FileCalls.MapView = NoView; // a file the system will not map is read
            }
            MessageBoxWatcher watcher;
            TableLoad load = c.kind == StartLoad   ? LoadDefaultTable()
                             : c.kind == OpenLoad ? Document.LoadTableFile(c.file)
                                                  : Document.AppendTableFile(c.file);
            ReportLoad(nullptr, c.file, load, c.kind);
            if (other != INVALID_HANDLE_VALUE)
                CloseHandle(other);
            FileCalls = FileSystemCalls();
            EXPECT_EQ(load.outcome, ReadFailed) << what;
            auto boxes = watcher.Boxes();
            ASSERT_EQ(boxes.size(), 1u) << what;
            EXPECT_EQ(boxes[0].text, c.text) << what;
            EXPECT_EQ(boxes[0].caption, "エラー") << what;
            if (c.kind == StartLoad) {
                EXPECT_EQ(Document.EntryTable().Size(), 0u) << what;
                EXPECT_STREQ(Document.CurrentTablePath(), "") << what;
            } else {
                EXPECT_EQ(EncodeTableToBytes(Document.EntryTable()), bytes) << what;
                EXPECT_STREQ(Document.CurrentTablePath(), "data.vbk") << what;
                EXPECT_EQ(Document.TableModified(), 0) << what;
            }
        }
    EXPECT_EQ(ReadFileBytes(Path("data.vbk")), bytes);
}

// The disk fills up in the middle of a write: half of it is there.
BOOL WINAPI HalfWrittenFile(HANDLE h, LPCVOID p, DWORD n, LPDWORD done, LPOVERLAPPED o)
{
    WriteFile(h, p, n / 2, done, o);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

// A change the journal cannot write is said once and waits: the next write
// that succeeds brings every change, the half-written record cut off, and
// only a failure after that is said again.
TEST_F(TableFileTest, AJournalThatCannotBeWrittenSaysSoOnceAndCatchesUp)
{
    const std::string path = Path("recovery.journal");
    const std::string said = "変更の控えを書けません。\n" + SystemErrorText(ERROR_DISK_FULL) +
                             "\n保存するまで、異常終了すると変更は失われます。";
    RecoveryJournal.Attach(Document, path);
    Document.StoreEntry("a", "1");
    FileCalls.Write = HalfWrittenFile;
    {
        MessageBoxWatcher watcher;
        Document.StoreEntry("b", "2");
        Document.ReplaceEntry("a", "c", "3");
        auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, said);
        EXPECT_EQ(boxes[0].caption, "警告");
        EXPECT_EQ(Document.TableModified(), 1) << "the change is made all the same";
    }
    FileCalls.Write = ::WriteFile;
    {
        MessageBoxWatcher watcher;
        Document.EraseEntry("b");
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    JournalContents found = ReadJournal(ReadFileBytes(path));
    EXPECT_FALSE(found.Torn);
    ASSERT_EQ(found.Changes.size(), 4u);
    const JournalKind kinds[] = {JournalKind::Store, JournalKind::Store, JournalKind::Replace,
                                 JournalKind::Erase};
    const std::vector<std::string> fields[] = {{"a", "1"}, {"b", "2"}, {"a", "c", "3"}, {"b"}};
    for (size_t i = 0; i < 4; i++) {
        EXPECT_EQ(found.Changes[i].Kind, kinds[i]) << "change " << i;
        EXPECT_EQ(found.Changes[i].Fields, fields[i]) << "change " << i;
    }

    FileCalls.Write = HalfWrittenFile;
    MessageBoxWatcher watcher;
    Document.StoreEntry("d", "4");
    EXPECT_EQ(watcher.Boxes().size(), 1u) << "it worked, then failed again";
}

HANDLE heldFiles[2] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
DWORD replaceFailure;
// ReplaceFile as the system documents its two half-way failures when it is
// given a backup name: 1176 leaves both files where they were, 1177 has
// moved the old file to the backup name. With holdBoth, neither file can
// then be moved back: the old and the new contents are stranded.
bool holdBoth;
BOOL WINAPI FailingReplaceFile(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD, LPVOID,
                               LPVOID)
{
    if (replaceFailure == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileA(replaced, backup);
    if (holdBoth) {
        heldFiles[0] = CreateFileA(replacement, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        heldFiles[1] = CreateFileA(backup, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    SetLastError(replaceFailure);
    return FALSE;
}

TEST_F(TableFileTest, FailedReplaceNeverLosesTheOnlyCopy)
{
    const std::string old = Record("a", "1"), fresh = Record("a", "1") + Record("b", "2");
    struct {
        DWORD failure;
        bool hold;
        int saved;
        const char* expected; // data.vbk afterwards
    } cases[] = {
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT, false, 0, "old"},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, false, 1, "new"},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, 0, "none"},
    };
    for (const auto& c : cases) {
        std::string name = std::to_string(c.failure) + (c.hold ? " held" : "");
        WriteFileBytes(Path("data.vbk"), old);
        FileCalls.Replace = ::ReplaceFileA;
        LoadDefaultTable();
        Document.StoreEntry("b", "2");
        replaceFailure = c.failure;
        holdBoth = c.hold;
        FileCalls.Replace = FailingReplaceFile;
        MessageBoxWatcher watcher;
        EXPECT_EQ(Document.SaveTableFile(), c.saved) << name;
        auto boxes = watcher.Boxes();
        for (HANDLE& h : heldFiles) {
            if (h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
            h = INVALID_HANDLE_VALUE;
        }
        std::vector<std::string> files = Listing();
        if (std::string(c.expected) == "none") {
            // Both copies are kept, and the message names each.
            ASSERT_EQ(files.size(), 2u) << name;
            ASSERT_EQ(boxes.size(), 1u) << name;
            for (const std::string& f : files) {
                EXPECT_NE(boxes[0].text.find(f), std::string::npos) << name << ": " << f;
                std::string bytes = ReadFileBytes(Path(f));
                EXPECT_TRUE(bytes == old || bytes == fresh) << name << ": " << f;
            }
            EXPECT_EQ(boxes[0].text.rfind("Write() FALSE\n", 0), 0u) << boxes[0].text;
            continue;
        }
        EXPECT_EQ(files, std::vector<std::string>{"data.vbk"}) << name;
        EXPECT_EQ(ReadFileBytes(Path("data.vbk")), c.saved ? fresh : old) << name;
        EXPECT_EQ(Document.TableModified(), c.saved ? 0 : 1) << name;
        ASSERT_EQ(boxes.size(), c.saved ? 0u : 1u) << name;
        if (!c.saved) {
            EXPECT_EQ(boxes[0].text, "Write() FALSE") << name;
        }
    }
}

TEST_F(TableFileTest, SaveReachesTheLoadedFileAfterTheWorkingFolderMoved)
{
    WriteFileBytes(Path("data.vbk"), Record("a", "1"));
    CreateDirectoryA(Path("elsewhere").c_str(), nullptr);
    LoadDefaultTable();
    SetCurrentDirectoryA(Path("elsewhere").c_str());
    Document.StoreEntry("b", "2");
    Document.MarkModified();
    EXPECT_EQ(Document.SaveTableFile(), 1);
    EXPECT_EQ(ReadFileBytes(Path("data.vbk")), Record("a", "1") + Record("b", "2"));
    EXPECT_TRUE(Listing("elsewhere").empty());
    EXPECT_STREQ(Document.CurrentTablePath(), "data.vbk");
}

TEST_F(TableFileTest, LongFieldsAndDamageSurviveRealFiles)
{
    Document.StoreEntry(std::string(2047, 'k'), std::string(2047, 'd'));
    Document.StoreEntry(std::string(3000, 'K'), std::string(70000, 'D'));
    Document.Rename("long.vbk");
    ASSERT_EQ(Document.SaveTableFile(), 1);
    std::string saved = ReadFileBytes(Path("long.vbk"));
    EXPECT_TRUE(Document.LoadTableFile("long.vbk").outcome == ReadOk);
    EXPECT_EQ(EncodeTableToBytes(Document.EntryTable()), saved);

    // A damaged file keeps its sound part, and its bytes are kept beside it
    // before the first save over it, under a name not yet taken.
    const std::string damaged = saved + Header(0xFFFFFFF0, 0x20) + "tail";
    Document.NewTable(); // a loaded table holds its file until it lets it go
    WriteFileBytes(Path("long.vbk"), damaged);
    WriteFileBytes(Path("long.vbk.damaged"), "earlier");
    TableLoad load = Document.LoadTableFile("long.vbk");
    EXPECT_TRUE(load.outcome == ReadOk && load.summary.Damaged);
    EXPECT_EQ(load.summary.Records, 2u);
    EXPECT_EQ(Document.EntryTable().Size(), 2u);
    ASSERT_EQ(Document.SaveTableFile(), 1);
    ASSERT_EQ(Document.SaveTableFile(), 1);
    EXPECT_EQ(ReadFileBytes(Path("long.vbk.damaged.2")), damaged);
    EXPECT_EQ(ReadFileBytes(Path("long.vbk.damaged")), "earlier");
    EXPECT_EQ(ReadFileBytes(Path("long.vbk")), saved);
    EXPECT_EQ(Listing().size(), 3u) << "one copy, at the first save only";
}

// A save replaces the file the way the person set it up: its attributes
// stay, and every hard link to it sees the new table.
TEST_F(TableFileTest, SaveKeepsWhatThePersonSetUp)
{
    WriteFileBytes(Path("data.vbk"), Record("a", "1"));
    ASSERT_TRUE(SetFileAttributesA(Path("data.vbk").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    LoadDefaultTable();
    Document.StoreEntry("b", "2");
    ASSERT_EQ(Document.SaveTableFile(), 1);
    EXPECT_EQ(ReadFileBytes(Path("data.vbk")), Record("a", "1") + Record("b", "2"));
    EXPECT_TRUE(GetFileAttributesA(Path("data.vbk").c_str()) & FILE_ATTRIBUTE_HIDDEN);

    SetFileAttributesA(Path("data.vbk").c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(CreateHardLinkA(Path("other.vbk").c_str(), Path("data.vbk").c_str(), nullptr));
    Document.StoreEntry("c", "3");
    ASSERT_EQ(Document.SaveTableFile(), 1);
    const std::string saved = Record("a", "1") + Record("b", "2") + Record("c", "3");
    EXPECT_EQ(ReadFileBytes(Path("data.vbk")), saved);
    EXPECT_EQ(ReadFileBytes(Path("other.vbk")), saved) << "the other link sees the new table";
    EXPECT_EQ(Listing(), (std::vector<std::string>{"data.vbk", "other.vbk"}));
}

TEST_F(TableFileTest, TitleNameIsTheNamePartEvenWithTrailBytes5C)
{
    // 表 and ソ end in the byte 0x5C, which must not be taken for a backslash.
    Document.Rename("C:\\dir\\\x95\x5c.vbk");
    EXPECT_STREQ(Document.CurrentTablePath(), "\x95\x5c.vbk");
    Document.Rename("sub\\\x83\x5c\x95\x5c");
    EXPECT_STREQ(Document.CurrentTablePath(), "\x83\x5c\x95\x5c");
}

TEST_F(TableFileTest, SaveOnCloseAsksOnlyForAModifiedTable)
{
    WriteFileBytes(Path("data.vbk"), Record("a", "1"));
    LoadDefaultTable();
    Document.StoreEntry("b", "2");
    Document.ResetModified();
    {
        MessageBoxWatcher watcher(IDYES);
        EXPECT_TRUE(SaveOnClose(nullptr));
        EXPECT_TRUE(watcher.Boxes().empty()) << "no question while TableModified is 0";
    }
    Document.MarkModified();
    {
        MessageBoxWatcher watcher(IDNO);
        EXPECT_TRUE(SaveOnClose(nullptr)) << "no closes without saving";
        auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "上書きしますか？");
        EXPECT_EQ(boxes[0].caption, "確認");
        EXPECT_EQ(boxes[0].type & MB_YESNO, UINT(MB_YESNO));
        EXPECT_EQ(ReadFileBytes(Path("data.vbk")), Record("a", "1"));
        EXPECT_EQ(Document.TableModified(), 1);
    }
    {
        MessageBoxWatcher watcher(IDYES);
        EXPECT_TRUE(SaveOnClose(nullptr));
        EXPECT_EQ(watcher.Boxes().size(), 1u);
        EXPECT_EQ(ReadFileBytes(Path("data.vbk")), Record("a", "1") + Record("b", "2"));
        EXPECT_EQ(Document.TableModified(), 0);
    }
}

} // namespace
