#include "app/import_command.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <new>

#include "core/file_name.h"
#include "formats/gathered_table.h"
#include "formats/import_source.h"
#include "res/texts.h"
#include "table/recovery_journal.h"
#include "table/table_document.h"
#include "ui/background_work.h"

namespace {

bool EndsWithNoCase(const std::string& s, const char* end)
{
    size_t n = strlen(end);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; i++)
        if (tolower(static_cast<unsigned char>(s[s.size() - n + i])) != end[i])
            return false;
    return true;
}

// A text's first bytes, read as a record's two lengths, claim far more than
// the file has: the first few records settle it, without reading the rest.
bool StartsWithRecords(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool sound = GetFileSizeEx(file, &size) && size.QuadPart > 0;
    uint64_t offset = 0, end = uint64_t(size.QuadPart);
    for (int records = 0; sound && offset < end && records < 64; records++) {
        unsigned char head[8];
        DWORD got = 0;
        LARGE_INTEGER at;
        at.QuadPart = LONGLONG(offset);
        sound = end - offset >= 8 && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                ReadFile(file, head, 8, &got, nullptr) && got == 8;
        if (!sound)
            break;
        auto get32 = [&](int i) {
            return uint64_t(head[i]) | uint64_t(head[i + 1]) << 8 | uint64_t(head[i + 2]) << 16 |
                   uint64_t(head[i + 3]) << 24;
        };
        uint64_t key = get32(0), data = get32(4);
        sound = key > 0 && key + data <= end - offset - 8;
        offset += 8 + key + data;
    }
    CloseHandle(file);
    return sound;
}

// What the reading thread made, for the window's thread to take on.
struct ImportResult {
    SourceFailure failure = SourceFailure::None;
    bool outOfMemory = false;
    std::unique_ptr<CEntryTable> table;
    uint64_t empties = 0, duplicates = 0, replaced = 0, windows1252 = 0;
    bool joins = false;
};

void ReadInto(const std::string& path, ImportResult& r, CWorkProgress& progress)
{
    try {
        SourceOptions options;
        options.Path = path;
        options.WhenUnencodable = Unencodable::Replace;
        options.ShownIn = TextEncoding::ShiftJis;
        options.Progress = [&](uint64_t done, uint64_t total) {
            return progress.Report(done, total);
        };
        ImportedSource source;
        std::string failure;
        if (!ReadSource(options, source, failure)) {
            r.failure = source.failure;
            return;
        }
        EntryGatherer& e = *source.entries;
        r.empties = e.Empties();
        r.duplicates = e.Duplicates();
        r.joins = source.names.joinsDuplicates;
        r.replaced = e.AffectedCharacters();
        r.windows1252 = source.windows1252Bytes;
        auto table = std::make_unique<CEntryTable>();
        if (!BuildGatheredTable(e, *table, [&] { return !progress.Cancelled(); })) {
            r.failure = SourceFailure::Cancelled;
            return;
        }
        r.table = std::move(table);
    } catch (const std::bad_alloc&) {
        r.table.reset();
        r.outOfMemory = true;
    }
}

std::string WithCount(const char* text, uint64_t n)
{
    std::string s = text;
    size_t at = s.find("%llu");
    return s.replace(at, 4, std::to_string(n));
}

const char* ReasonOf(const ImportResult& r)
{
    if (r.outOfMemory)
        return TEXT_REASON_NO_MEMORY;
    switch (r.failure) {
    case SourceFailure::Unreadable:
        return TEXT_REASON_UNREADABLE;
    case SourceFailure::NotText:
        return TEXT_REASON_NOT_TEXT;
    case SourceFailure::UnknownFormat:
        return TEXT_REASON_UNKNOWN_FORMAT;
    case SourceFailure::NoEntries:
        return TEXT_REASON_NO_ENTRIES;
    default:
        return TEXT_REASON_MALFORMED;
    }
}

void ReportFailure(HWND owner, const std::string& name, const ImportResult& r)
{
    std::string text = name + TEXT_NOT_IMPORTED "\n" + ReasonOf(r) + "\n" TEXT_TABLE_UNCHANGED;
    MessageBoxA(owner, text.c_str(), TEXT_ERROR_CAPTION, MB_OK | MB_ICONWARNING);
}

void ReportSuccess(HWND owner, const std::string& name, const ImportResult& r, uint64_t added,
                   uint64_t kept)
{
    std::string text = name + WithCount(TEXT_IMPORTED, added);
    auto line = [&](const char* said, uint64_t n) {
        if (n)
            text += "\n" + WithCount(said, n);
    };
    line(TEXT_IMPORTED_REPLACED, r.replaced);
    line(TEXT_IMPORTED_WINDOWS1252, r.windows1252);
    line(TEXT_IMPORTED_EMPTY, r.empties);
    line(r.joins ? TEXT_IMPORTED_JOINED : TEXT_IMPORTED_DROPPED, r.duplicates);
    line(TEXT_IMPORTED_KEPT, kept);
    MessageBoxA(owner, text.c_str(), TEXT_INFO_CAPTION, MB_OK | MB_ICONINFORMATION);
}

} // namespace

bool IsTableFile(const std::string& path)
{
    return EndsWithNoCase(path, ".vbk") || EndsWithNoCase(path, ".vbk.damaged") ||
           StartsWithRecords(path);
}

CJournalWritesAside::CJournalWritesAside(CBackgroundWork& work)
{
    RecoveryJournal.SetLongWrite([&work](const std::function<void()>& write) {
        work.Run([&](CWorkProgress&) { write(); });
    });
}

CJournalWritesAside::~CJournalWritesAside()
{
    RecoveryJournal.SetLongWrite(nullptr);
}

void ImportFile(HWND mainWindow, const std::string& path, ImportInto into)
{
    std::string name(NamePart(path));
    ImportResult r;
    // Made before the work, so that it ends after it too.
    CTableDocument::CHeldWarnings held(Document);
    CBackgroundWork work(mainWindow, name);
    bool finished = work.Run([&](CWorkProgress& progress) { ReadInto(path, r, progress); });
    if (!finished || r.failure == SourceFailure::Cancelled)
        return; // the person's choice: nothing to say, nothing changed
    if (!r.table) {
        work.Finish();
        ReportFailure(mainWindow, name, r);
        return;
    }
    work.EndCancel();
    uint64_t size = r.table->Size(), added = size;
    {
        CJournalWritesAside aside(work);
        if (into == ImportInto::NewTable)
            Document.AdoptImportedTable(std::move(r.table), TableNameBeside(path));
        else
            added = Document.AppendEntries(*r.table);
    }
    work.Finish();
    held.Show();
    ReportSuccess(mainWindow, name, r, added, size - added);
}
