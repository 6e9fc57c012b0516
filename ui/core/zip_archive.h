#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// Reads a ZIP archive held in memory (for example a resource mapped with the
// executable). The archive is never copied: the memory must outlive the
// object. Stored and deflated members can be extracted; everything read from
// the archive is checked against the memory's size first, so a damaged or
// lying archive yields failures, never a read outside the memory.
class ZipArchive {
 public:
  struct Member {
    std::string name;  // as stored, "/"-separated
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint32_t compressed_size = 0;
    uint32_t size = 0;  // uncompressed
    uint32_t local_header_offset = 0;
  };

  ZipArchive() = default;
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Reads the central directory. False, with nothing open, when the memory is
  // not a readable single-volume archive (ZIP64 archives are not read).
  bool Open(const void* data, size_t size);
  void Close();
  bool IsOpen() const { return data_ != nullptr; }

  const std::vector<Member>& members() const { return members_; }

  // The first member, in directory order, whose name equals `name` with
  // ASCII letters compared case-insensitively. Null when there is none or the
  // name is 256 bytes or longer.
  const Member* Find(const std::string& name) const;

  // Whether Extract can succeed as far as the headers tell: a supported
  // method, no encryption, a local header and data inside the archive, and
  // sizes that agree with the method. Checked before memory is allocated.
  bool CanExtract(const Member& member) const;

  // Writes the member's `size` bytes to `out`. False when the member cannot
  // be extracted or its data does not inflate to exactly `size` bytes with
  // the recorded CRC.
  bool Extract(const Member& member, void* out) const;

 private:
  bool ReadEndRecord(size_t at);
  bool ReadDirectory(size_t directory_offset, size_t directory_size, size_t count);
  // Offset of the member's data, or 0 when its local header is unusable.
  size_t DataOffset(const Member& member) const;

  const unsigned char* data_ = nullptr;
  size_t size_ = 0;
  // Member data lies before the central directory.
  size_t directory_offset_ = 0;
  std::vector<Member> members_;
};

}  // namespace ui
