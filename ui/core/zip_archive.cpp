#include "ui/core/zip_archive.h"

#include <cstring>
#include <utility>

#include <zlib.h>

namespace ui {

namespace {

constexpr uint32_t kEndOfDirectorySignature = 0x06054b50;
constexpr uint32_t kDirectoryEntrySignature = 0x02014b50;
constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr size_t kEndOfDirectorySize = 22;
constexpr size_t kDirectoryEntrySize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kLongestComment = 0xFFFF;
constexpr size_t kLongestName = 255;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
// Deflate cannot compress better than about 1032:1; a member that claims
// more is lying, and is refused before any memory is allocated for it.
constexpr uint64_t kLargestDeflateRatio = 1032;

uint16_t ReadU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// [offset, offset + length) lies within [0, limit), without overflow.
bool Fits(size_t offset, size_t length, size_t limit) {
  return offset <= limit && length <= limit - offset;
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// Ends the inflate stream however the extraction ends.
class InflateStream {
 public:
  InflateStream() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~InflateStream() {
    if (ok_) inflateEnd(&stream_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  // Inflates all of `in` into exactly `out_size` bytes of `out`.
  bool InflateExactly(const unsigned char* in, uInt in_size, unsigned char* out, uInt out_size) {
    if (!ok_) return false;
    stream_.next_in = const_cast<Bytef*>(in);
    stream_.avail_in = in_size;
    stream_.next_out = out;
    stream_.avail_out = out_size;
    return inflate(&stream_, Z_FINISH) == Z_STREAM_END && stream_.total_out == out_size;
  }

 private:
  z_stream stream_ = {};
  bool ok_ = false;
};

}  // namespace

bool ZipArchive::Open(const void* data, size_t size) {
  Close();
  if (!data || size < kEndOfDirectorySize) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  data_ = bytes;
  size_ = size;

  // The end record sits at the very end, possibly followed by a comment of
  // up to 64 KiB: search backwards for a signature whose record holds up.
  const size_t last = size - kEndOfDirectorySize;
  const size_t first = last > kLongestComment ? last - kLongestComment : 0;
  for (size_t at = last + 1; at-- > first;) {
    if (ReadU32(bytes + at) != kEndOfDirectorySignature) continue;
    if (ReadEndRecord(at)) return true;
    members_.clear();  // a record that did not hold up may have read part of a directory
  }
  Close();
  return false;
}

bool ZipArchive::ReadEndRecord(size_t at) {
  const unsigned char* record = data_ + at;
  if (!Fits(at + kEndOfDirectorySize, ReadU16(record + 20), size_)) return false;
  const uint16_t disk = ReadU16(record + 4);
  const uint16_t directory_disk = ReadU16(record + 6);
  const uint16_t entries_here = ReadU16(record + 8);
  const uint16_t entries = ReadU16(record + 10);
  const uint32_t directory_size = ReadU32(record + 12);
  const uint32_t directory_offset = ReadU32(record + 16);
  // Spanned archives and ZIP64 (marked by all-ones fields) are not read.
  if (disk != 0 || directory_disk != 0 || entries_here != entries) return false;
  if (entries == 0xFFFF || directory_size == 0xFFFFFFFF || directory_offset == 0xFFFFFFFF) {
    return false;
  }
  if (!Fits(directory_offset, directory_size, at)) return false;
  return ReadDirectory(directory_offset, directory_size, entries);
}

bool ZipArchive::ReadDirectory(size_t directory_offset, size_t directory_size, size_t count) {
  const size_t end = directory_offset + directory_size;
  size_t at = directory_offset;
  members_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (!Fits(at, kDirectoryEntrySize, end)) return false;
    const unsigned char* entry = data_ + at;
    if (ReadU32(entry) != kDirectoryEntrySignature) return false;
    const size_t name_length = ReadU16(entry + 28);
    const size_t entry_size =
        kDirectoryEntrySize + name_length + ReadU16(entry + 30) + ReadU16(entry + 32);
    if (!Fits(at, entry_size, end)) return false;
    Member member;
    member.flags = ReadU16(entry + 8);
    member.method = ReadU16(entry + 10);
    member.crc = ReadU32(entry + 16);
    member.compressed_size = ReadU32(entry + 20);
    member.size = ReadU32(entry + 24);
    member.local_header_offset = ReadU32(entry + 42);
    member.name.assign(reinterpret_cast<const char*>(entry + kDirectoryEntrySize), name_length);
    members_.push_back(std::move(member));
    at += entry_size;
  }
  directory_offset_ = directory_offset;
  return true;
}

void ZipArchive::Close() {
  data_ = nullptr;
  size_ = 0;
  directory_offset_ = 0;
  members_.clear();
}

const ZipArchive::Member* ZipArchive::Find(const std::string& name) const {
  if (name.size() > kLongestName) return nullptr;
  for (const Member& member : members_) {
    if (EqualsIgnoringAsciiCase(member.name, name)) return &member;
  }
  return nullptr;
}

size_t ZipArchive::DataOffset(const Member& member) const {
  const size_t header = member.local_header_offset;
  if (!Fits(header, kLocalHeaderSize, directory_offset_)) return 0;
  const unsigned char* local = data_ + header;
  if (ReadU32(local) != kLocalHeaderSignature) return 0;
  const size_t data = header + kLocalHeaderSize + ReadU16(local + 26) + ReadU16(local + 28);
  if (!Fits(data, member.compressed_size, directory_offset_)) return 0;
  return data;
}

bool ZipArchive::CanExtract(const Member& member) const {
  if (!IsOpen()) return false;
  if (member.flags & (kFlagEncrypted | kFlagStrongEncryption)) return false;
  if (member.method == kMethodStored) {
    if (member.compressed_size != member.size) return false;
  } else if (member.method == kMethodDeflated) {
    if (member.size > (static_cast<uint64_t>(member.compressed_size) + 1) * kLargestDeflateRatio)
      return false;
  } else {
    return false;
  }
  return DataOffset(member) != 0;
}

bool ZipArchive::Extract(const Member& member, void* out) const {
  if (!CanExtract(member)) return false;
  const unsigned char* in = data_ + DataOffset(member);
  // zlib refuses a null output even for an empty member.
  unsigned char none = 0;
  auto* target = member.size > 0 ? static_cast<unsigned char*>(out) : &none;
  if (!target) return false;
  if (member.method == kMethodStored) {
    if (member.size > 0) std::memcpy(target, in, member.size);
  } else {
    InflateStream stream;
    if (!stream.InflateExactly(in, member.compressed_size, target, member.size)) return false;
  }
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), target, member.size);
  return crc == member.crc;
}

}  // namespace ui
