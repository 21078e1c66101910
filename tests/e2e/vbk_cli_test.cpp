// Runs the built vbk (vbk.exe under Wine) on real files and checks what it
// writes, what it says and how it exits. The same cases run on both systems.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/common/scratch_folder.h"
#include "tests/common/table_bytes.h"
#include "tests/e2e/vbk_process.h"
#include "vocabrik_version.h"

namespace fs = std::filesystem;

namespace {

// りんご and バナナ in UTF-8 and in code page 932.
const std::string RingoUtf8 = "\xE3\x82\x8A\xE3\x82\x93\xE3\x81\x94";
const std::string BananaUtf8 = "\xE3\x83\x90\xE3\x83\x8A\xE3\x83\x8A";
const std::string RingoSjis = "\x82\xE8\x82\xF1\x82\xB2";
const std::string BananaSjis = "\x83\x6F\x83\x69\x83\x69";
// ＜候補単語＞ and a line feed in code page 932.
const std::string HeadingSjis = "\x81\x83\x8C\xF3\x95\xE2\x92\x50\x8C\xEA\x81\x84\n";

class VbkCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::make_unique<ScratchFolder>(
            TestFolderName(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    void TearDown() override { folder_.reset(); }

    std::string Path(const std::string& name) const { return folder_->Path(name); }
    void Write(const std::string& name, const std::string& bytes) const
    {
        folder_->Write(name, bytes);
    }
    std::string Read(const std::string& name) const { return folder_->Read(name); }
    std::vector<std::string> Listing() const { return folder_->Listing(); }
    VbkRun Vbk(const std::vector<std::string>& args, unsigned long long memoryLimit = 0,
               unsigned long long fileSizeLimit = 0) const
    {
        return RunVbk(args, folder_->Folder(), memoryLimit, fileSizeLimit);
    }

    std::unique_ptr<ScratchFolder> folder_;
};

std::string Describe(const VbkRun& r)
{
    return "status " + std::to_string(r.Status) + "\nout: " + r.Out + "\nerr: " + r.Err;
}

TEST_F(VbkCli, UsageAndWrongUsage)
{
    VbkRun help = Vbk({"--help"});
    EXPECT_EQ(help.Status, 0) << Describe(help);
    EXPECT_NE(help.Out.find("usage: vbk import LIST -o TABLE.vbk"), std::string::npos);
    VbkRun version = Vbk({"--version"});
    EXPECT_EQ(version.Status, 0) << Describe(version);
    EXPECT_EQ(version.Out, "vbk (Vocabrik) " VK_VERSION_TEXT "\n(C) 2026 The Vocabrik Authors\n");

    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{}, "which command"},
        {{"frobnicate"}, "unknown command frobnicate"},
        {{"import", "w.tsv"}, "import needs -o TABLE.vbk"},
        {{"import", "w.tsv", "-o"}, "-o needs a value"},
        {{"import", "w.tsv", "-o", "t.vbk", "--format", "xml"}, "--format is tsv, csv, flashcards, edict, dsl"},
        {{"import", "w.tsv", "-o", "t.vbk", "--unencodable", "drop"}, "--unencodable is error, replace or skip"},
        {{"import", "d.index", "-o", "t.vbk", "--encoding", "sjis"}, "--encoding does not go with a dictionary"},
        {{"import", "w.tsv", "-o", "t.vbk", "--keep-case"}, "--keep-case goes with a dictionary"},
        {{"export", "t.vbk", "--format", "flashcards", "--encoding", "sjis"}, "writes UTF-8"},
        {{"export", "t.vbk", "--encoding", "latin1"}, "--encoding is utf-8, sjis, euc-jp, utf-16le"},
        {{"export", "t.vbk", "--encoding", "euc-jp"}, "EUC-JP is only read"},
        {{"check", "t.vbk", "--repair"}, "--repair needs -o"},
        {{"get", "t.vbk"}, "get takes TABLE and WORD"},
        {{"get", "t.vbk", "w", "--merge"}, "--merge does not go with get"},
    };
    for (const Case& c : cases) {
        VbkRun r = Vbk(c.args);
        EXPECT_EQ(r.Status, 2) << c.message << "\n" << Describe(r);
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << Describe(r);
        EXPECT_EQ(r.Out, "") << c.message;
    }
    EXPECT_TRUE(Listing().empty());
}

TEST_F(VbkCli, ImportWritesTheTableAndSaysWhatItLeftOut)
{
    Write("words.tsv", "banana\t" + BananaUtf8 + "\r\napple\t" + RingoUtf8 +
                           "\r\napple\tagain\r\n\r\nno data\r\n");
    VbkRun r = Vbk({"import", "words.tsv", "-o", "t.vbk"});
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(Read("t.vbk"), Record("apple", RingoSjis) + Record("banana", BananaSjis));
    EXPECT_NE(r.Out.find("t.vbk: 2 entries (UTF-8 TSV, 4 lines read)"), std::string::npos)
        << Describe(r);
    EXPECT_NE(r.Out.find("1 line dropped"), std::string::npos) << Describe(r);
    EXPECT_NE(r.Out.find("1 line skipped"), std::string::npos) << Describe(r);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"t.vbk", "words.tsv"}));
}

TEST_F(VbkCli, FailuresLeaveTheTargetAsItWas)
{
    const std::string old = Record("old", "table");
    std::string big;
    for (int i = 0; i < 20000; i++)
        big += "k" + std::to_string(100000 + i) + "\t" + std::string(30, 'd') + "\n";
    struct Case {
        std::string list, bytes;
        std::vector<std::string> extra;
        std::string message;
        unsigned long long fileSizeLimit = 0; // Linux only
    } cases[] = {
        {"q.csv", "apple,x\nbanana,\"unclosed\n", {}, "q.csv:2: the quoted field"},
        {"s.tsv", "apple\tx\nsnow\t\xE2\x98\x83\n", {}, "s.tsv:2: the character U+2603"},
        {"e.tsv", "apple\t\x95\x5C\n", {"--encoding", "utf-8"}, "e.tsv:1: not valid UTF-8"},
        {"m.tsv", "", {}, "m.tsv: no such file"},
#ifndef _WIN32
        // The disk fills up half-way: the partial new file goes too.
        {"big.tsv", big, {}, "t.vbk: cannot write it: File too large (nothing was written)",
         256 << 10},
#endif
    };
    for (const Case& c : cases) {
        Write("t.vbk", old);
        if (!c.bytes.empty())
            Write(c.list, c.bytes);
        std::vector<std::string> args = {"import", c.list, "-o", "t.vbk"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        VbkRun r = Vbk(args, 0, c.fileSizeLimit);
        EXPECT_EQ(r.Status, 1) << Describe(r);
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << Describe(r);
        EXPECT_EQ(Read("t.vbk"), old) << c.list;
        std::vector<std::string> want = {"t.vbk"};
        if (!c.bytes.empty())
            want.push_back(c.list);
        std::sort(want.begin(), want.end());
        EXPECT_EQ(Listing(), want) << c.list;
        fs::remove(Path(c.list));
    }
}

TEST_F(VbkCli, ShiftJisListWithTrailBackslashes)
{
    // 表 (0x95 0x5C) as a Key, ソ (0x83 0x5C) followed by an escaped line
    // break as its Data; detected as Shift-JIS.
    Write("sjis.txt", "\x95\x5C\t\x83\x5C\\n\x83\x5C\n");
    VbkRun r = Vbk({"import", "sjis.txt", "-o", "t.vbk"});
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(Read("t.vbk"), Record("\x95\x5C", "\x83\x5C\n\x83\x5C"));
    EXPECT_NE(r.Out.find("Shift-JIS TSV"), std::string::npos) << Describe(r);
}

// The path of a file a Debian package installs, as vbk on this system names it.
std::string Installed(const std::string& path)
{
#ifdef _WIN32
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
#else
    return path;
#endif
}

// A TSV that vbk export wrote, as Keys and Data.
std::map<std::string, std::string> ExportedEntries(const std::string& tsv)
{
    std::map<std::string, std::string> entries;
    std::istringstream lines(tsv);
    std::string line;
    while (std::getline(lines, line)) {
        size_t tab = line.find('\t');
        std::string data;
        for (size_t i = tab + 1; i < line.size(); i++) {
            char c = line[i];
            if (c == '\\' && i + 1 < line.size()) {
                c = line[++i];
                c = c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            }
            data += c;
        }
        entries[line.substr(0, tab)] = data;
    }
    return entries;
}

// Text as the two WordNet packages can be compared: dictd's layout wraps
// lines after a hyphen ("bell-\n shaped") and puts spaces around some
// semicolons; the words themselves are the same.
std::string Comparable(const std::string& text)
{
    std::string out;
    for (char c : text) {
        bool blank = c == ' ' || c == '\n' || c == '\t';
        if (blank && (out.empty() || out.back() == ' ' || out.back() == '-' || out.back() == ';'))
            continue;
        if (c == ';' && !out.empty() && out.back() == ' ')
            out.pop_back();
        out += blank ? ' ' : c;
    }
    return out;
}

// The glosses of a WordNet entry as dictd has it: "n 1: a hue; \"an example\"
// [syn: {tint}]" gives "a hue".
std::vector<std::string> Glosses(const std::string& dictdText)
{
    std::istringstream words(Comparable(dictdText));
    std::vector<std::string> glosses;
    std::string word, gloss;
    bool inGloss = false;
    auto end = [&]() {
        if (!inGloss)
            return;
        for (const char* partOfSpeech : {" n", " v", " adj", " adv"}) {
            std::string tail = partOfSpeech;
            if (gloss.size() > tail.size() &&
                gloss.compare(gloss.size() - tail.size(), tail.size(), tail) == 0)
                gloss.erase(gloss.size() - tail.size());
        }
        gloss = gloss.substr(0, std::min(gloss.find(";\""), gloss.find(" [")));
        while (!gloss.empty() && gloss.back() == ';')
            gloss.pop_back();
        glosses.push_back(gloss);
    };
    while (words >> word) {
        if (word.size() > 1 && word.back() == ':' &&
            word.find_first_not_of("0123456789") == word.size() - 1) {
            end();
            gloss.clear();
            inGloss = true;
        } else if (inGloss) {
            gloss += (gloss.empty() ? "" : " ") + word;
        }
    }
    end();
    return glosses;
}

// WordNet as Debian packages it twice, for GoldenDict (DSL, dictzip) and for
// dictd: for 40 headwords picked with a fixed seed, the DSL entry holds every
// gloss of the dictd one. Then KANJIDIC, in EUC-JP.
TEST_F(VbkCli, WordNetDslAndKanjidicComeIn)
{
    const std::string dsl = Installed("/usr/share/goldendict-wordnet/goldendict-wordnet.dsl.dz");
    const std::string index = Installed("/usr/share/dictd/wn.index");
    ASSERT_TRUE(fs::exists(dsl)) << dsl << ": scripts/bootstrap installs goldendict-wordnet";
    ASSERT_TRUE(fs::exists(index)) << index << ": scripts/bootstrap installs dict-wn";
    VbkRun fromDsl = Vbk({"import", dsl, "-o", "dsl.vbk"});
    ASSERT_EQ(fromDsl.Status, 0) << Describe(fromDsl);
    EXPECT_NE(fromDsl.Out.find(" entries (UTF-8 DSL dictionary, "), std::string::npos)
        << Describe(fromDsl);
    VbkRun fromDictd = Vbk({"import", index, "-o", "dictd.vbk"});
    ASSERT_EQ(fromDictd.Status, 0) << Describe(fromDictd);
    for (const char* table : {"dsl", "dictd"}) {
        VbkRun r = Vbk({"export", std::string(table) + ".vbk", "-o", std::string(table) + ".tsv"});
        ASSERT_EQ(r.Status, 0) << Describe(r);
    }
    std::map<std::string, std::string> dslEntries = ExportedEntries(Read("dsl.tsv"));
    std::map<std::string, std::string> dictdEntries = ExportedEntries(Read("dictd.tsv"));
    std::vector<std::string> headwords;
    for (const auto& entry : dictdEntries)
        headwords.push_back(entry.first);
    ASSERT_GT(headwords.size(), 100000u);
    std::mt19937 pick(23);
    for (int n = 0; n < 40; n++) {
        const std::string& headword = headwords[pick() % headwords.size()];
        auto found = dslEntries.find(headword);
        ASSERT_NE(found, dslEntries.end()) << headword << ": not in the DSL table";
        std::string text = Comparable(found->second);
        std::vector<std::string> glosses = Glosses(dictdEntries[headword]);
        EXPECT_FALSE(glosses.empty()) << headword << ": " << dictdEntries[headword];
        for (const std::string& gloss : glosses)
            EXPECT_NE(text.find(gloss), std::string::npos)
                << headword << ": the gloss \"" << gloss << "\" is not in\n" << found->second;
    }

    const std::string kanjidic = Installed("/usr/share/edict/kanjidic");
    ASSERT_TRUE(fs::exists(kanjidic)) << kanjidic << ": scripts/bootstrap installs kanjidic";
    VbkRun k = Vbk({"import", kanjidic, "-o", "k.vbk"});
    ASSERT_EQ(k.Status, 0) << Describe(k);
    EXPECT_NE(k.Out.find(" entries (EUC-JP KANJIDIC, "), std::string::npos) << Describe(k);
    // 水: スイ, then みず, then "water", in code page 932.
    VbkRun get = Vbk({"get", "k.vbk", "\x90\x85", "--encoding", "sjis"});
    EXPECT_EQ(get.Status, 0) << Describe(get);
    EXPECT_EQ(get.Out.substr(0, 11), "\x83X\x83" "C\n\x82\xDD\x82\xB8\x81\x41") << get.Out;
    EXPECT_NE(get.Out.find("\nwater\n"), std::string::npos) << get.Out;
    EXPECT_NE(get.Out.find("\n4 strokes, grade 1\n"), std::string::npos) << get.Out;
}

TEST_F(VbkCli, ExportAndImportAgainGiveTheSameBytes)
{
    const std::string table = Record("a,\"b\"", "x\r\ny") + Record("apple", RingoSjis) +
                              Record("back\\", "tab\there\\") + Record("\x95\x5C", "\x83\x5C");
    Write("t.vbk", table);
    for (std::vector<std::string> options : std::vector<std::vector<std::string>>{
             {"-o", "l.csv"}, {"-o", "l.csv", "--encoding", "sjis"}, {"-o", "l.tsv", "--format", "csv"},
             {"-o", "l.csv", "--bom"}, {"-o", "deck.txt", "--format", "flashcards"}}) {
        std::vector<std::string> args = {"export", "t.vbk"};
        args.insert(args.end(), options.begin(), options.end());
        VbkRun out = Vbk(args);
        ASSERT_EQ(out.Status, 0) << Describe(out);
        std::vector<std::string> back = {"import", options[1], "-o", "back.vbk"};
        // A flash-card export is known by its header lines.
        if (options.size() > 3 && options[3] == "csv")
            back.insert(back.end(), {"--format", "csv"});
        VbkRun in = Vbk(back);
        ASSERT_EQ(in.Status, 0) << Describe(in);
        EXPECT_EQ(Read("back.vbk"), table) << options[1] << " " << Read(options[1]);
    }
}

TEST_F(VbkCli, ExportToStandardOutputIsTsvWithBareLineFeeds)
{
    Write("t.vbk", Record("apple", RingoSjis) + Record("banana", "two\nlines"));
    VbkRun r = Vbk({"export", "t.vbk"});
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(r.Out, "apple\t" + RingoUtf8 + "\nbanana\ttwo\\nlines\n");
    r = Vbk({"export", "t.vbk", "--encoding", "sjis", "--format", "csv"});
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(r.Out, "apple," + RingoSjis + "\r\nbanana,\"two\nlines\"\r\n");
}

TEST_F(VbkCli, CheckAndRepair)
{
    Write("good.vbk", Record("a", "1") + Record("b", "2"));
    VbkRun good = Vbk({"check", "good.vbk"});
    EXPECT_EQ(good.Status, 0) << Describe(good);
    EXPECT_NE(good.Out.find("2 records, 2 entries load"), std::string::npos) << Describe(good);

    const std::string damaged = Record("a", "1") + Record("a", "dup") + Header(100, 0) + "cut";
    Write("bad.vbk", damaged);
    VbkRun bad = Vbk({"check", "bad.vbk"});
    EXPECT_EQ(bad.Status, 1) << Describe(bad);
    EXPECT_NE(bad.Out.find("offset 10: duplicate Key"), std::string::npos) << Describe(bad);
    EXPECT_NE(bad.Out.find("offset 22: damage"), std::string::npos) << Describe(bad);
    EXPECT_NE(bad.Out.find("not sound"), std::string::npos) << Describe(bad);

    VbkRun repair = Vbk({"check", "--repair", "-o", "fixed.vbk", "bad.vbk"});
    EXPECT_EQ(repair.Status, 0) << Describe(repair);
    EXPECT_EQ(Read("fixed.vbk"), Record("a", "1"));
    EXPECT_EQ(Read("bad.vbk"), damaged);
    EXPECT_EQ(Vbk({"check", "fixed.vbk"}).Status, 0);

    VbkRun missing = Vbk({"check", "none.vbk"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Err.find("none.vbk: no such file"), std::string::npos) << Describe(missing);
}

// Japanese names as the system spells them: code page 932 for vbk.exe, UTF-8
// on Linux. 表 ends in the byte 0x5C in code page 932.
#ifdef _WIN32
const std::string Tango = "\x92\x50\x8C\xEA", Hyou = "\x95\x5C", Go = "\x8C\xEA";
#else
const std::string Tango = "\xE5\x8D\x98\xE8\xAA\x9E", Hyou = "\xE8\xA1\xA8",
                  Go = "\xE8\xAA\x9E";
#endif

bool HardLink(const std::string& existing, const std::string& link)
{
#ifdef _WIN32
    return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr);
#else
    return ::link(existing.c_str(), link.c_str()) == 0;
#endif
}

// Whatever the names, a command that writes never writes over a file it
// reads: the names are compared as files, not as text.
TEST_F(VbkCli, NeverWritesOverItsInputUnderAJapaneseName)
{
    const std::string list = Tango + ".tsv", table = Hyou + ".vbk", link = Go + ".tsv";
    const std::string listBytes = "apple\tx\n";
    const std::string tableBytes = Record("a", "1") + Header(9, 0) + "cut";
    // Byte for byte: a name the folder helper would convert is not used.
    const std::string folder = folder_->Folder() + (TerminalIsUtf8() ? "/" : "\\");
    WriteFileBytes(folder + list, listBytes);
    WriteFileBytes(folder + table, tableBytes);
    ASSERT_TRUE(HardLink(folder + list, folder + link));
    struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"import", list, "-o", list}, "that is the list itself"},
        {{"import", list, "-o", link}, "that is the list itself"},
        {{"export", table, "-o", table}, "that is the table itself"},
        {{"check", "--repair", "-o", table, table}, "that is the damaged table itself"},
    };
    for (const auto& c : cases) {
        VbkRun r = Vbk(c.args);
        std::string what;
        for (const std::string& a : c.args)
            what += a + " ";
        EXPECT_EQ(r.Status, 1) << what << "\n" << Describe(r);
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << what << "\n" << Describe(r);
        EXPECT_EQ(ReadFileBytes(folder + list), listBytes) << what;
        EXPECT_EQ(ReadFileBytes(folder + table), tableBytes) << what;
    }
}

// Folders, FIFOs and devices are refused before anything is read or written.
TEST_F(VbkCli, OnlyRegularFilesAreReadOrWritten)
{
    const std::string table = Record("a", "b");
    Write("t.vbk", table);
    Write("w.tsv", "k\td\n");
    fs::create_directory(Path("folder.vbk"));
    // Dictionaries whose companion files are no files.
    Write("d.index", "k\tA\tB\n");
    Write("s.ifo", "StarDict's dict ifo file\nwordcount=1\n");
    Write("s.dict", "text");
    fs::create_directory(Path("s.idx"));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"check", "folder.vbk"}, "folder.vbk: not a regular file but a folder"},
        {{"import", "folder.vbk", "-o", "t.vbk", "--format", "tsv"}, "folder.vbk: not a regular file"},
        {{"import", "w.tsv", "-o", "folder.vbk"}, "folder.vbk: not a regular file but a folder"},
        {{"export", "t.vbk", "-o", "folder.vbk"}, "folder.vbk: not a regular file but a folder"},
        {{"import", "s.ifo", "-o", "t.vbk"}, "s.idx: not a regular file but a folder"},
#ifdef _WIN32
        {{"check", "NUL"}, "NUL: not a regular file but a device"},
        {{"import", "w.tsv", "-o", "NUL"}, "NUL: not a regular file but a device"},
#else
        {{"import", "fifo.tsv", "-o", "t.vbk"}, "fifo.tsv: not a regular file but a FIFO"},
        {{"import", "w.tsv", "-o", "fifo.tsv", "--merge"}, "fifo.tsv: not a regular file but a FIFO"},
        {{"import", "w.tsv", "-o", "/dev/null"}, "/dev/null: not a regular file but a device"},
        {{"import", "d.index", "-o", "t.vbk"}, "d.dict: not a regular file but a FIFO"},
#endif
    };
#ifndef _WIN32
    ASSERT_EQ(mkfifo(Path("fifo.tsv").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(Path("d.dict").c_str(), 0600), 0);
#endif
    for (const Case& c : cases) {
        VbkRun r = Vbk(c.args);
        EXPECT_EQ(r.Status, 1) << c.message << "\n" << Describe(r);
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << Describe(r);
        EXPECT_EQ(Read("t.vbk"), table) << c.message;
    }
    EXPECT_TRUE(fs::is_directory(Path("folder.vbk")));
}

// The C runtime's stat says 1 on Windows whatever the links.
unsigned long LinkCount(const std::string& path)
{
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info = {};
    GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return info.nNumberOfLinks;
#else
    return (unsigned long)fs::hard_link_count(path);
#endif
}

// A save replaces the file's contents, not what the user set up around it.
TEST_F(VbkCli, SavingKeepsWhatTheUserSetUp)
{
    const std::string old = Record("old", "table"), fresh = Record("k", "d");
    Write("w.tsv", "k\td\n");
    auto import = [&](const std::string& target) {
        VbkRun r = Vbk({"import", "w.tsv", "-o", target});
        EXPECT_EQ(r.Status, 0) << target << "\n" << Describe(r);
    };
    // Hard links: every name sees the new contents.
    Write("a.vbk", old);
    fs::create_hard_link(Path("a.vbk"), Path("b.vbk"));
    import("a.vbk");
    EXPECT_EQ(Read("b.vbk"), fresh);
    EXPECT_EQ(LinkCount(Path("a.vbk")), 2u);
    // A table larger than the blocks it is copied in, over a smaller one.
    std::string big, bigTable;
    for (int i = 0; i < 30000; i++) {
        std::string key = "k" + std::to_string(100000 + i);
        big += key + "\t" + std::string(30, 'd') + "\n";
        bigTable += Record(key, std::string(30, 'd'));
    }
    Write("big.tsv", big);
    VbkRun r = Vbk({"import", "big.tsv", "-o", "a.vbk"});
    EXPECT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(Read("b.vbk"), bigTable);
#ifdef _WIN32
    // The replaced file's attributes stay.
    Write("hidden.vbk", old);
    const DWORD set = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesA(Path("hidden.vbk").c_str(), set));
    import("hidden.vbk");
    EXPECT_EQ(Read("hidden.vbk"), fresh);
    EXPECT_EQ(GetFileAttributesA(Path("hidden.vbk").c_str()) & set, set);
#else
    // Permissions stay; a symbolic link stays and its target gets the contents.
    Write("private.vbk", old);
    fs::permissions(Path("private.vbk"), fs::perms::owner_read | fs::perms::owner_write);
    import("private.vbk");
    EXPECT_EQ(Read("private.vbk"), fresh);
    EXPECT_EQ(fs::status(Path("private.vbk")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directory(Path("real"));
    Write("real/t.vbk", old);
    fs::create_symlink("real/t.vbk", Path("link.vbk"));
    import("link.vbk");
    EXPECT_TRUE(fs::is_symlink(Path("link.vbk")));
    EXPECT_EQ(Read("real/t.vbk"), fresh);
    // A relative link is followed from its own folder, not the working one.
    fs::create_directories(Path("sub/real"));
    Write("sub/real/t.vbk", old);
    Write("real/t.vbk", old);
    fs::create_symlink("real/t.vbk", Path("sub/link.vbk"));
    import("sub/link.vbk");
    EXPECT_TRUE(fs::is_symlink(Path("sub/link.vbk")));
    EXPECT_EQ(Read("sub/real/t.vbk"), fresh);
    EXPECT_EQ(Read("real/t.vbk"), old);
    EXPECT_EQ(ScratchFolder::ListingOf(Path("sub/real")), std::vector<std::string>{"t.vbk"});
#endif
    // No temporary file is left behind.
    for (const std::string& name : Listing())
        EXPECT_EQ(name.find("~vbk"), std::string::npos) << name;
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// Within a gigabyte of address space: a table file larger than that is a
// failure that says so; a line of millions of unused fields is read without
// making each of them a string.
TEST_F(VbkCli, RunningOutOfMemoryIsAFailureThatSaysSo)
{
    // A sparse file larger than the memory vbk is allowed.
    Write("big.vbk", "");
    fs::resize_file(Path("big.vbk"), 3ull << 30);
    const std::string fields(20 << 20, ',');
    Write("commas.csv", "k,d" + fields + "\n");
    Write("tabs.txt", "#separator:tab\nk\td" + std::string(20 << 20, '\t') + "\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"check", "big.vbk"}, 1, "big.vbk: out of memory"},
        {{"import", "commas.csv", "-o", "c.vbk"}, 0, "c.vbk: 1 entry (UTF-8 CSV, 1 line read)"},
        {{"import", "tabs.txt", "-o", "t.vbk"}, 0, "t.vbk: 1 entry (UTF-8 flash-card text"},
    };
    for (const Case& c : cases) {
        VbkRun r = Vbk(c.args, 1ull << 30);
        EXPECT_EQ(r.Status, c.status) << Describe(r);
        EXPECT_NE((r.Out + r.Err).find(c.message), std::string::npos) << Describe(r);
    }
    EXPECT_EQ(Read("c.vbk"), Record("k", "d"));
}
#endif

// The English-Japanese dictionary of FreeDict and EDICT, as Debian installs
// them.
TEST_F(VbkCli, FreeDictEnglishJapaneseComesIn)
{
#ifdef _WIN32
    const std::string index = "Z:\\usr\\share\\dictd\\freedict-eng-jpn.index";
#else
    const std::string index = "/usr/share/dictd/freedict-eng-jpn.index";
#endif
    ASSERT_TRUE(fs::exists(index)) << index << ": scripts/bootstrap installs dict-freedict-eng-jpn";
    VbkRun strict = Vbk({"import", index, "-o", "fd.vbk"});
    EXPECT_EQ(strict.Status, 1) << Describe(strict);
    EXPECT_NE(strict.Err.find("freedict-eng-jpn.index:7: the character U+02C8"), std::string::npos)
        << Describe(strict);
    EXPECT_FALSE(fs::exists(Path("fd.vbk")));

    VbkRun r = Vbk({"import", index, "-o", "fd.vbk", "--unencodable", "replace"});
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_NE(r.Out.find(" entries (dictd dictionary, "), std::string::npos) << Describe(r);
    EXPECT_NE(r.Out.find("written as a look-alike or ?"), std::string::npos) << Describe(r);
    EXPECT_NE(r.Out.find(" entries with pronunciations in IPA: "), std::string::npos) << Describe(r);
    struct Case {
        std::string word, shown; // in code page 932
    } cases[] = {
        {"apple", "\x97\xD1\x8C\xE7"},                           // 林檎
        {"apple", "\x83\x41\x83\x62\x83\x76\x83\x8B"},           // アップル, its homograph
        {"water", "\x90\x85"},                                   // 水
        {"abandon", "\x8C\xA9\x8E\xCC\x82\xC4\x82\xE9"},         // 見捨てる
        {"rose", "\x83\x8D\x83\x5B"},                             // ロゼ, of rosé written as rose
        {"apple", "apple //\"{p.@l// /[\"{p.5=]/ <n>"},            // its IPA in X-SAMPA
    };
    for (const Case& c : cases) {
        VbkRun get = Vbk({"get", "fd.vbk", c.word, "--encoding", "sjis"});
        EXPECT_EQ(get.Status, 0) << Describe(get);
        EXPECT_NE(get.Out.find(c.shown), std::string::npos) << c.word << ": " << get.Out;
        EXPECT_EQ(get.Out.find("\x81\x83\x8C\xF3"), std::string::npos) << c.word << ": a candidate";
    }

    // EDICT, in EUC-JP, its file known by its lines; ō (JIS X 0212) in its glosses.
#ifdef _WIN32
    const std::string edict = "Z:\\usr\\share\\edict\\edict";
#else
    const std::string edict = "/usr/share/edict/edict";
#endif
    ASSERT_TRUE(fs::exists(edict)) << edict << ": scripts/bootstrap installs edict";
    VbkRun strictEdict = Vbk({"import", edict, "-o", "ed.vbk"});
    EXPECT_EQ(strictEdict.Status, 1) << Describe(strictEdict);
    EXPECT_NE(strictEdict.Err.find("edict:5880: the character U+014D"), std::string::npos)
        << Describe(strictEdict);
    VbkRun e = Vbk({"import", edict, "-o", "ed.vbk", "--unencodable", "replace"});
    ASSERT_EQ(e.Status, 0) << Describe(e);
    EXPECT_NE(e.Out.find(" entries (EUC-JP EDICT, "), std::string::npos) << Describe(e);
    struct Lookup {
        std::string word, first, shown; // in code page 932; first: how the Data starts
    } lookups[] = {
        // 水: its three readings, すい first, then み and みず "water".
        {"\x90\x85", "\x90\x85 [\x82\xB7\x82\xA2]\n(n) (1) (abbr) Wednesday",
         "\n\n\x90\x85 [\x82\xDD\x82\xB8]\n(n) (1) water (esp. cool, fresh water"},
        // 先生: せんせい "teacher" among its readings, one gloss a line.
        {"\x90\xE6\x90\xB6", "\x90\xE6\x90\xB6 [",
         "\x90\xE6\x90\xB6 [\x82\xB9\x82\xF1\x82\xB9\x82\xA2]\n(n) (1) teacher\ninstructor\nmaster\n"},
        // 日本: にっぽん and にほん.
        {"\x93\xFA\x96\x7B", "\x93\xFA\x96\x7B [\x82\xC9\x82\xC1\x82\xDB\x82\xF1]\n(n) Japan",
         "\n\n\x93\xFA\x96\x7B [\x82\xC9\x82\xD9\x82\xF1]\n(n) Japan\n(P)"},
        // にほん finds 日本 among the words read so.
        {"\x82\xC9\x82\xD9\x82\xF1", "", "\x93\xFA\x96\x7B [\x82\xC9\x82\xD9\x82\xF1]\n(n) Japan"},
    };
    for (const Lookup& l : lookups) {
        VbkRun get = Vbk({"get", "ed.vbk", l.word, "--encoding", "sjis"});
        EXPECT_EQ(get.Status, 0) << Describe(get);
        EXPECT_EQ(get.Out.substr(0, l.first.size()), l.first) << get.Out;
        EXPECT_NE(get.Out.find(l.shown), std::string::npos) << get.Out;
    }
}

// The dictd and StarDict dictionaries Debian ships beyond the one above,
// each as it is installed: FreeDict's with index lines that have no
// headword, StarDict's in Pango markup.
TEST_F(VbkCli, DebianDictionariesComeInAsShipped)
{
#ifdef _WIN32
    const std::string dictd = "Z:\\usr\\share\\dictd\\", stardict = "Z:\\usr\\share\\stardict\\dic\\";
#else
    const std::string dictd = "/usr/share/dictd/", stardict = "/usr/share/stardict/dic/";
#endif
    struct Lookup {
        std::string word, shown; // in code page 932: the beginning of what get prints, or a part of it
        bool atStart;
    };
    const struct Case {
        std::string file, package, report;
        std::vector<Lookup> lookups;
    } cases[] = {
        {dictd + "freedict-deu-eng.index", "dict-freedict-deu-eng",
         "6 index lines left out: no headword (first at index lines 1, 2, 3, 4, 5, ...)",
         {{"haus", "Haus /h\"aUs/ <neut, n, sg>\n [adm.] establishment <n>", true},
          {"Haus", HeadingSjis + "haus\nHaus /h\"aUs/", true},
          // schon's definitions, then schön's, each under its own line.
          {"schon", "schon /S\"o:n/ <adv>\njust <adv>", true},
          {"schon", "\n\nschon /S\"2:n/ <adj>\nfair <adj>", false}}},
        {dictd + "freedict-jpn-eng.index", "dict-freedict-jpn-eng",
         "19 index lines left out: no headword (first at index lines 1, 2, 3, 4, 5, ...)",
         {{"\x90\x85", "water (esp. cool, fresh water, e.g. drinking water)", false}}}, // 水
        {stardict + "czech-cizi.ifo", "stardict-czech", " entries (StarDict dictionary, 18259 headwords read)",
         {{"dekomponovany", "    rozlo?eny\n", true}}}, // <b>rozložený</b>
        {stardict + "XMLittre.ifo", "stardict-xmlittre", " entries (StarDict dictionary, 122910 headwords read)",
         {{"aludel", "(a-lu-del) s. m.\n    Terme de chimie. Assemblage de pots", true},
          {"aludel", "\nHISTORIQUE\n\n    XIIIe s. \nPor quoi donc en tristor demores ?", false}}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(fs::exists(c.file)) << c.file << ": scripts/bootstrap installs " << c.package;
        VbkRun r = Vbk({"import", c.file, "-o", "d.vbk", "--unencodable", "replace"});
        ASSERT_EQ(r.Status, 0) << Describe(r);
        EXPECT_NE(r.Out.find(c.report), std::string::npos) << Describe(r);
        for (const Lookup& l : c.lookups) {
            VbkRun get = Vbk({"get", "d.vbk", l.word, "--encoding", "sjis"});
            EXPECT_EQ(get.Status, 0) << Describe(get);
            if (l.atStart)
                EXPECT_EQ(get.Out.substr(0, l.shown.size()), l.shown) << c.file << ", " << l.word;
            else
                EXPECT_NE(get.Out.find(l.shown), std::string::npos) << c.file << ", " << l.word << ": " << get.Out;
        }
    }
}

TEST_F(VbkCli, GetPrintsDataOrCandidate)
{
    Write("t.vbk", Record("apple", RingoSjis) + Record("banana", BananaSjis));
    struct Case {
        std::string word;
        std::string shown; // in code page 932
    } cases[] = {
        {"apple", RingoSjis + "\n"},
        {"b", HeadingSjis + "banana\n" + BananaSjis + "\n"},
        {"zebra", HeadingSjis},
    };
    for (const Case& c : cases) {
        VbkRun r = Vbk({"get", "t.vbk", c.word, "--encoding", "sjis"});
        EXPECT_EQ(r.Status, 0) << Describe(r);
        EXPECT_EQ(r.Out, c.shown) << c.word;
    }
    // Without --encoding it speaks the terminal's encoding.
    VbkRun r = Vbk({"get", "t.vbk", "apple"});
    EXPECT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(r.Out, (TerminalIsUtf8() ? RingoUtf8 : RingoSjis) + "\n");
}

} // namespace
