#include "core/word_lookup.h"

// Written as bytes: the core is built without a conversion of its literals.
const char CandidateHeading[] = "\x81\x83\x8C\xF3\x95\xE2\x92\x50\x8C\xEA\x81\x84\n";

WordShown ShowWord(const CEntryTable& table, std::string_view word)
{
    // One ordered search serves both questions: the first Key not before
    // the word is the entry itself on a hit and the candidate on a miss.
    std::optional<Entry> found = table.FindCandidate(word);
    WordShown shown;
    shown.hit = found && found->Key == word;
    if (shown.hit) {
        shown.result.assign(found->Data);
        return shown;
    }
    shown.result = CandidateHeading;
    if (found) {
        shown.result.append(found->Key).append("\n");
        shown.result.append(found->Data).append("\n");
    }
    return shown;
}
