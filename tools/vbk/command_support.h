// What vbk's commands share: messages, counts, and table files read and
// written whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/entry_table.h"
#include "formats/message_text.h"
#include "tools/vbk/vbk_commands.h"

// Text from the table (code page 932) as the terminal shows it.
std::string TableText(const CommandIo& io, std::string_view cp932);
// Text from a UTF-8 list as the terminal shows it.
std::string Utf8Text(const CommandIo& io, std::string_view utf8);
// Table text quoted for a message, cut short if long.
std::string QuotedKey(const CommandIo& io, std::string_view cp932);

// Adds "vbk: message" to standard error; returns ExitFailed.
int Fail(CommandIo& io, const std::string& message);

// Reads a table file as the program does. Missing and unreadable files are
// failures; so is damage when refuseDamage is set, else a warning.
bool LoadTable(const std::string& path, CEntryTable& table, CommandIo& io, bool refuseDamage,
               std::string& failure);
// Puts the table's file in place under path.
bool SaveTable(const std::string& path, const CEntryTable& table, std::string& failure);

// Takes one record; false once the file is given up.
using RecordPut = std::function<bool(std::string_view key, std::string_view data)>;
// Puts in place under path the table file whose records, in Key order, the
// function hands to the RecordPut it is given, returning false to give the
// file up. They go to the file a block at a time, never held whole.
bool PutTableFile(const std::string& path, const std::function<bool(const RecordPut&)>& records,
                  std::string& failure);
