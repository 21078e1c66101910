#include <gtest/gtest.h>

#include <string>

#include "core/file_name.h"

TEST(FileName, EnsureExtension)
{
    struct {
        const char* name;
        const char* want;
    } cases[] = {
        {"dict", "dict.vbk"},
        {"dict.vbk", "dict.vbk"},
        {"dict.VBK", "dict.VBK.vbk"},
        {"a", "a.vbk"},
        {"", ".vbk"},
        {"vbk", "vbk.vbk"},
        {".vbk", ".vbk"},
        {"C:\\tables\\\x95\x5c" /* 表 */, "C:\\tables\\\x95\x5c.vbk"},
        {"dict.vbk.txt", "dict.vbk.txt.vbk"},
    };
    for (const auto& c : cases) {
        std::string name = c.name;
        EnsureExtension(name, ".vbk");
        EXPECT_EQ(name, c.want) << "name '" << c.name << "'";
    }
}

TEST(FileName, NamePartNeverTakesATrailByteForABackslash)
{
    struct {
        const char* path;
        const char* want;
    } cases[] = {
        {"data.vbk", "data.vbk"},
        {"C:\\dir\\\x95\x5c.vbk" /* 表.vbk */, "\x95\x5c.vbk"},
        {"sub\\\x83\x5c\x95\x5c" /* ソ表 */, "\x83\x5c\x95\x5c"},
        {"/home/a/b.vbk", "b.vbk"},
        {"C:b.vbk", "b.vbk"},
        {"dir\\", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NamePart(c.path), c.want) << "path '" << c.path << "'";
}

TEST(FileName, TableNameBesideAListReplacesItsLastExtension)
{
    struct {
        const char* path;
        const char* want;
    } cases[] = {
        {"C:\\dict\\freedict-eng-jpn.index", "C:\\dict\\freedict-eng-jpn.vbk"},
        {"/usr/share/edict/edict", "/usr/share/edict/edict.vbk"},
        {"words.tar.csv", "words.tar.vbk"},
        {"C:\\v1.2\\list", "C:\\v1.2\\list.vbk"},
        {"C:\\dir\\.hidden", "C:\\dir\\.hidden.vbk"},
        {"\x95\x5c.txt" /* 表.txt */, "\x95\x5c.vbk"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TableNameBeside(c.path), c.want) << "path '" << c.path << "'";
}
