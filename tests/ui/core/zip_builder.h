#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

namespace test_support {

// Writes small ZIP archives in memory, and remembers where each piece went
// so that tests can damage exactly one field.
class ZipBuilder {
 public:
  static constexpr uint16_t kStored = 0;
  static constexpr uint16_t kDeflated = 8;

  struct Layout {
    std::vector<size_t> local_headers;  // offset of each member's local header
    std::vector<size_t> entries;        // offset of each member's directory entry
    size_t directory = 0;
    size_t end_record = 0;
  };

  void Add(const std::string& name, const std::string& content, uint16_t method) {
    members_.push_back({name, content, method});
  }

  std::string Build(Layout* layout = nullptr) const {
    std::string out;
    Layout where;
    std::vector<std::string> entries;
    for (const Member& m : members_) {
      const std::string data = m.method == kDeflated ? Deflate(m.content) : m.content;
      const uint32_t crc = static_cast<uint32_t>(
          crc32(0L, reinterpret_cast<const Bytef*>(m.content.data()), static_cast<uInt>(m.content.size())));
      where.local_headers.push_back(out.size());
      std::string entry;
      Put32(&entry, 0x02014b50);
      Put16(&entry, 20);  // made by
      Put16(&entry, 20);  // needed
      Put16(&entry, 0);   // flags
      Put16(&entry, m.method);
      Put32(&entry, 0);   // time, date
      Put32(&entry, crc);
      Put32(&entry, static_cast<uint32_t>(data.size()));
      Put32(&entry, static_cast<uint32_t>(m.content.size()));
      Put16(&entry, static_cast<uint16_t>(m.name.size()));
      Put16(&entry, 0);  // extra
      Put16(&entry, 0);  // comment
      Put16(&entry, 0);  // disk
      Put16(&entry, 0);  // internal attributes
      Put32(&entry, 0);  // external attributes
      Put32(&entry, static_cast<uint32_t>(out.size()));
      entry += m.name;
      entries.push_back(entry);

      Put32(&out, 0x04034b50);
      Put16(&out, 20);
      Put16(&out, 0);
      Put16(&out, m.method);
      Put32(&out, 0);
      Put32(&out, crc);
      Put32(&out, static_cast<uint32_t>(data.size()));
      Put32(&out, static_cast<uint32_t>(m.content.size()));
      Put16(&out, static_cast<uint16_t>(m.name.size()));
      Put16(&out, 0);
      out += m.name;
      out += data;
    }
    where.directory = out.size();
    for (const std::string& entry : entries) {
      where.entries.push_back(out.size());
      out += entry;
    }
    where.end_record = out.size();
    Put32(&out, 0x06054b50);
    Put16(&out, 0);
    Put16(&out, 0);
    Put16(&out, static_cast<uint16_t>(members_.size()));
    Put16(&out, static_cast<uint16_t>(members_.size()));
    Put32(&out, static_cast<uint32_t>(where.end_record - where.directory));
    Put32(&out, static_cast<uint32_t>(where.directory));
    Put16(&out, 0);
    if (layout) *layout = where;
    return out;
  }

  static void Put16(std::string* out, uint16_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>(value >> 8));
  }
  static void Put32(std::string* out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<uint16_t>(value >> 16));
  }
  static void Set16(std::string* out, size_t at, uint16_t value) {
    (*out)[at] = static_cast<char>(value & 0xFF);
    (*out)[at + 1] = static_cast<char>(value >> 8);
  }
  static void Set32(std::string* out, size_t at, uint32_t value) {
    Set16(out, at, static_cast<uint16_t>(value & 0xFFFF));
    Set16(out, at + 2, static_cast<uint16_t>(value >> 16));
  }

  static std::string Deflate(const std::string& content) {
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(content.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
  }

 private:
  struct Member {
    std::string name;
    std::string content;
    uint16_t method;
  };
  std::vector<Member> members_;
};

}  // namespace test_support
