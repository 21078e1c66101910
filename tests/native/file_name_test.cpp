#include <gtest/gtest.h>

#include <string>

#include "table/file_name.h"

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
