// dictzip is gzip whose header holds, in an extra field "RA", the length of
// the uncompressed chunks and the compressed size of each; every chunk
// starts after a full flush, so that it inflates on its own.
#include "formats/dictionary_data.h"

#include <zlib.h>

#include <algorithm>

#include "formats/dictionary_files.h"
#include "formats/gzip_data.h"
#include "formats/platform.h"

namespace {

const size_t PlainWindow = size_t(1) << 20;

unsigned Le16(std::string_view b, size_t at)
{
    return static_cast<unsigned char>(b[at]) | unsigned(static_cast<unsigned char>(b[at + 1])) << 8;
}

// Inflates one raw deflate chunk into out, at most limit bytes.
bool InflateChunk(std::string_view in, size_t limit, std::string& out)
{
    z_stream z = {};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    out.resize(limit);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = uInt(limit);
    int status = inflate(&z, Z_SYNC_FLUSH);
    bool ok = status == Z_OK || status == Z_STREAM_END || (status == Z_BUF_ERROR && z.avail_out == 0);
    out.resize(limit - z.avail_out);
    inflateEnd(&z);
    return ok;
}

} // namespace

std::string DictionaryData::Damaged(const std::string& problem) const
{
    return name_ + ": damaged compressed file: " + problem;
}

bool DictionaryData::Open(const std::string& base, std::string& failure)
{
    if (!FindCompanionFile(base, {".dict", ".dict.dz"}, name_, failure))
        return false;
    if (!FileExists(name_)) {
        // A folder, a FIFO or a device: refused in the words used for every
        // other file, without a byte read from it.
        std::string ignored, why;
        FileOutcome outcome = ReadWholeFile(name_, ignored, why);
        failure = DescribeFileFailure(name_, outcome == FileOutcome::Ok ? FileOutcome::Unreadable
                                                                        : outcome, why);
        return false;
    }
    file_.open(name_, std::ios::binary);
    file_.seekg(0, std::ios::end);
    std::streamoff end = file_ ? std::streamoff(file_.tellg()) : -1;
    if (end < 0) {
        failure = DescribeFileFailure(name_, FileOutcome::Unreadable, "it cannot be opened");
        return false;
    }
    uint64_t fileSize = uint64_t(end);
    if (!EndsWith(name_, ".dz")) {
        kind_ = Kind::Plain;
        size_ = fileSize;
        return true;
    }
    std::string header;
    if (!ReadFile(0, size_t(std::min<uint64_t>(fileSize, 65536 + 1024)), header)) {
        failure = DescribeFileFailure(name_, FileOutcome::Unreadable, "reading failed");
        return false;
    }
    if (OpenDictzip(header, fileSize, failure))
        return true;
    if (!failure.empty())
        return false;
    // Plain gzip, without the table of chunks: inflated whole.
    kind_ = Kind::Whole;
    std::string raw;
    if (!ReadFile(0, size_t(fileSize), raw)) {
        failure = DescribeFileFailure(name_, FileOutcome::Unreadable, "reading failed");
        return false;
    }
    std::string problem;
    if (!Gunzip(raw, whole_, problem)) {
        failure = Damaged(problem);
        return false;
    }
    size_ = whole_.size();
    return true;
}

// False with no failure when the file is gzip without the table of chunks.
bool DictionaryData::OpenDictzip(std::string_view h, uint64_t fileSize, std::string& failure)
{
    if (h.size() < 18 || h[0] != '\x1F' || h[1] != '\x8B' || h[2] != 8)
        return false;
    unsigned flags = static_cast<unsigned char>(h[3]);
    if (!(flags & 4))
        return false;
    size_t extraLength = Le16(h, 10), at = 12, extraEnd = 12 + extraLength;
    if (extraEnd > h.size())
        return false;
    bool found = false;
    while (at + 4 <= extraEnd) {
        size_t length = Le16(h, at + 2);
        if (at + 4 + length > extraEnd)
            return false;
        if (h[at] == 'R' && h[at + 1] == 'A' && length >= 6 && Le16(h, at + 4) == 1) {
            chunkLength_ = Le16(h, at + 6);
            size_t count = Le16(h, at + 8);
            if (chunkLength_ == 0 || count == 0 || length < 6 + 2 * count)
                return false;
            chunkStarts_.resize(count + 1);
            for (size_t i = 0; i < count; i++)
                chunkStarts_[i + 1] = Le16(h, at + 10 + 2 * i);
            found = true;
        }
        at += 4 + length;
    }
    if (!found)
        return false;
    size_t start = extraEnd;
    for (unsigned flag : {8u, 16u}) { // a file name, a comment: zero-terminated
        if (!(flags & flag))
            continue;
        size_t zero = h.find('\0', start);
        if (zero == std::string_view::npos)
            return false;
        start = zero + 1;
    }
    if (flags & 2)
        start += 2; // a header checksum
    chunkStarts_[0] = start;
    for (size_t i = 1; i < chunkStarts_.size(); i++)
        chunkStarts_[i] += chunkStarts_[i - 1];
    if (chunkStarts_.back() > fileSize) {
        failure = Damaged("it ends in the middle of its compressed data");
        return false;
    }
    kind_ = Kind::Dictzip;
    chunks_.resize(chunkStarts_.size() - 1);
    used_.assign(chunks_.size(), 0);
    inflatedBefore_.assign(chunks_.size(), false);
    const std::string* last = Chunk(chunkStarts_.size() - 2, failure);
    if (!last)
        return false;
    size_ = uint64_t(chunkStarts_.size() - 2) * chunkLength_ + last->size();
    return true;
}

bool DictionaryData::ReadFile(uint64_t offset, size_t length, std::string& into)
{
    into.resize(length);
    file_.clear();
    file_.seekg(std::streamoff(offset));
    file_.read(&into[0], std::streamsize(length));
    into.resize(size_t(file_.gcount()));
    return into.size() == length;
}

const std::string* DictionaryData::Chunk(size_t i, std::string& failure)
{
    if (used_[i]) { // held
        used_[i] = ++clock_;
        return &chunks_[i];
    }
    if (inflatedBefore_[i])
        capacity_ = std::min(capacity_ * 2, chunks_.size());
    if (held_.size() >= capacity_) {
        size_t oldest = 0;
        for (size_t k = 1; k < held_.size(); k++)
            if (used_[held_[k]] < used_[held_[oldest]])
                oldest = k;
        std::string().swap(chunks_[held_[oldest]]);
        used_[held_[oldest]] = 0;
        held_[oldest] = held_.back();
        held_.pop_back();
    }
    if (!ReadFile(chunkStarts_[i], size_t(chunkStarts_[i + 1] - chunkStarts_[i]), compressed_)) {
        failure = Damaged("it ends in the middle of its compressed data");
        return nullptr;
    }
    std::string& bytes = chunks_[i];
    if (!InflateChunk(compressed_, size_t(chunkLength_), bytes) ||
        (i + 2 < chunkStarts_.size() && bytes.size() != chunkLength_)) {
        std::string().swap(bytes);
        failure = Damaged("block " + std::to_string(i + 1) + " of " +
                          std::to_string(chunkStarts_.size() - 1) + " does not inflate");
        return nullptr;
    }
    inflatedBefore_[i] = true;
    used_[i] = ++clock_;
    held_.push_back(i);
    return &bytes;
}

bool DictionaryData::Read(uint64_t offset, uint64_t length, std::string_view& bytes,
                          std::string& failure)
{
    switch (kind_) {
    case Kind::Whole:
        bytes = std::string_view(whole_).substr(size_t(offset), size_t(length));
        return true;
    case Kind::Plain:
        if (offset < windowAt_ || offset + length > windowAt_ + window_.size()) {
            // Entries read in file order get a window ahead of them; one
            // elsewhere (an index that jumps about) gets its own bytes.
            uint64_t windowEnd = windowAt_ + window_.size();
            bool ahead = offset >= windowEnd && offset - windowEnd < PlainWindow;
            windowAt_ = offset;
            size_t want = size_t(std::min<uint64_t>(
                ahead ? std::max<uint64_t>(length, PlainWindow) : length, size_ - offset));
            if (!ReadFile(offset, want, window_) || window_.size() < length) {
                failure = DescribeFileFailure(name_, FileOutcome::Unreadable, "reading failed");
                return false;
            }
        }
        bytes = std::string_view(window_).substr(size_t(offset - windowAt_), size_t(length));
        return true;
    case Kind::Dictzip:
        break;
    }
    if (length == 0) {
        bytes = std::string_view();
        return true;
    }
    size_t first = size_t(offset / chunkLength_), last = size_t((offset + length - 1) / chunkLength_);
    size_t skip = size_t(offset % chunkLength_);
    if (first == last) {
        const std::string* chunk = Chunk(first, failure);
        if (!chunk)
            return false;
        bytes = std::string_view(*chunk).substr(skip, size_t(length));
        return true;
    }
    joined_.clear();
    for (size_t i = first; i <= last; i++) {
        const std::string* chunk = Chunk(i, failure);
        if (!chunk)
            return false;
        joined_.append(std::string_view(*chunk).substr(i == first ? skip : 0));
    }
    joined_.resize(size_t(length));
    bytes = joined_;
    return true;
}
