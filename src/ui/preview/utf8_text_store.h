#pragma once
// Many texts, held compactly: their UTF-8 bytes back to back in large blocks, and per
// text where it lies (12 bytes). A text that starts like others ("INSERT INTO `T` VALUES
// (" of a table's rows) keeps that start once, in a short list of shared prefixes, and
// a byte naming it. A million preview lines of two hundred characters cost about 180
// megabytes here, against twice that and an allocation each as QStrings. A text that is
// replaced is written anew at the end; its old bytes stay unused until the store is
// cleared.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ui {

class Utf8TextStore {
 public:
  size_t size() const { return entries_.size(); }
  void clear();
  void append(std::string_view utf8);
  // The text at index (which must be below size()).
  std::string at(size_t index) const;
  void set(size_t index, std::string_view utf8);

 private:
  struct Entry {
    uint32_t block = 0;
    uint32_t offset = 0;
    uint32_t length = 0;  // of the stored bytes: the prefix byte and the rest
  };
  Entry store(std::string_view utf8);
  // The number of the shared prefix the text starts with (0: none), adding it to the
  // list when there is room; prefixLength tells its length.
  unsigned prefixOf(std::string_view utf8, size_t* prefixLength);

  std::vector<std::string> blocks_;
  std::vector<Entry> entries_;
  std::vector<std::string> prefixes_;  // number k is prefixes_[k - 1]
  unsigned lastPrefix_ = 0;
};

}  // namespace qv::ui
