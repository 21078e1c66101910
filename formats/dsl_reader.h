// DSL, the text form of Lingvo-style dictionaries (NAME.dsl, or NAME.dsl.dz
// as dictzip):
//   #NAME "..."                 header lines
//   {to }go(es)                 a card: one or more headword lines,
//   	[m1][b]1.[/b] ~ away[/m]    then body lines that start with a blank
// Headwords may hold unsorted parts in braces (shown, not searched for) and
// optional parts in parentheses; bodies hold tags in brackets, references
// <<word>>, the headword as ~, and "@ word" subentries. {{...}} is a comment
// and a backslash takes the next character as it is.
#pragma once

#include <string_view>

#include "formats/list_reader.h"

// Reads UTF-8 DSL text: every spelling of every headword of a card is a Key,
// each with the same Data, the body as plain text (tags gone, [mN] as N steps
// of indentation, media left out), after a line of the headwords as shown
// when that line says more than the Key. A subentry is an entry of its own.
// Without keepCase, Keys have their Latin letters in lower case, as
// dictionary programs find them.
ListReadResult ReadDsl(std::string_view text, bool keepCase, const ListSink& sink);

// Whether a file name is a DSL dictionary's (.dsl or .dsl.dz, any case), and
// whether it is the abbreviations file beside one (NAME_abrv.dsl).
bool IsDslName(const std::string& name);
bool IsDslAbbreviations(const std::string& name);
