#include "core/word_lookup.h"

#include "core/cp932_text.h"

// Written as bytes: the core is built without a conversion of its literals.
const char CandidateHeading[] = "\x81\x83\x8C\xF3\x95\xE2\x92\x50\x8C\xEA\x81\x84\n";

namespace {

// The capitals that the import's lowering of Latin letters leaves for a
// table's code page to hold are A-Z: accented ones have no code in it.
std::string WithLatinCapitalsLowered(std::string_view word)
{
    std::string lowered(word);
    for (size_t i = 0; i < lowered.size();) {
        size_t n = cp932::CharacterLength(lowered, i);
        if (n == 1 && lowered[i] >= 'A' && lowered[i] <= 'Z')
            lowered[i] = char(lowered[i] - 'A' + 'a');
        i += n;
    }
    return lowered;
}

} // namespace

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
    // A word typed or copied with capitals ("Haus", a sentence's first
    // word) is most likely the dictionary's lower-case Key.
    std::string lowered = WithLatinCapitalsLowered(word);
    if (lowered != word)
        if (std::optional<Entry> same = table.FindEntry(lowered))
            found = same;
    shown.result = CandidateHeading;
    if (found) {
        shown.result.append(found->Key).append("\n");
        shown.result.append(found->Data).append("\n");
    }
    return shown;
}
