// The definitions file of a dictionary (NAME.dict, or NAME.dict.dz in the
// dictzip form of gzip), read a piece at a time: a dictzip file's blocks are
// inflated as the entries ask for them, and a plain file is read through a
// window, so that a large dictionary is never held whole.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

class DictionaryData {
public:
    // Finds base.dict or base.dict.dz and gets ready to read it; false with
    // a failure that names the file.
    bool Open(const std::string& base, std::string& failure);

    const std::string& Name() const { return name_; }
    uint64_t Size() const { return size_; }

    // The bytes at [offset, offset + length), which lie within Size(). The
    // view is valid until the next call. False with a failure on damage.
    bool Read(uint64_t offset, uint64_t length, std::string_view& bytes, std::string& failure);

private:
    enum class Kind { Plain, Dictzip, Whole };

    bool OpenDictzip(std::string_view header, uint64_t fileSize, std::string& failure);
    bool ReadFile(uint64_t offset, size_t length, std::string& into);
    // Chunk i of a dictzip file, inflated; nullptr on damage.
    const std::string* Chunk(size_t i, std::string& failure);
    std::string Damaged(const std::string& problem) const;

    std::string name_;
    Kind kind_ = Kind::Plain;
    uint64_t size_ = 0;
    std::ifstream file_;
    std::string whole_;    // Whole: a gzip file without a table of its blocks
    std::string window_;   // Plain: the bytes last read, from windowAt_
    uint64_t windowAt_ = 0;
    std::string joined_;   // a piece that spans dictzip chunks
    // Dictzip: where each chunk starts in the file, one more for the end.
    std::vector<uint64_t> chunkStarts_;
    uint64_t chunkLength_ = 0;
    // The chunks inflated and held, up to capacity_ of them, the least
    // recently used given up first. A chunk asked for again after it was
    // given up means the entries jump about the file: more are then held.
    std::vector<std::string> chunks_;
    std::vector<uint64_t> used_;      // when each held chunk was last asked for; 0: not held
    std::vector<bool> inflatedBefore_;
    std::vector<size_t> held_;
    size_t capacity_ = 4;
    uint64_t clock_ = 0;
    std::string compressed_;
};
