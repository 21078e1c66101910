// libFuzzer target for the recovery journal's reader. Whatever the bytes, it
// must stay inside them and end; what it reads must write back as the very
// bytes it took as sound.
#include <cstdint>
#include <cstdlib>

#include "core/journal_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    JournalContents j = ReadJournal(data, size);
    if (j.SoundLength > size || (!j.HeaderSound && !j.Changes.empty()))
        abort();
    if (!j.HeaderSound)
        return 0;
    std::string bytes = EncodeJournalHeader(j.Base);
    for (const JournalChange& c : j.Changes)
        bytes += EncodeJournalRecord(c.Kind, {c.Fields.begin(), c.Fields.end()});
    if (bytes.size() != j.SoundLength ||
        bytes != std::string(reinterpret_cast<const char*>(data), size_t(j.SoundLength)))
        abort();
    JournalContents again = ReadJournal(bytes);
    if (again.Torn || again.Changes.size() != j.Changes.size())
        abort();
    return 0;
}
