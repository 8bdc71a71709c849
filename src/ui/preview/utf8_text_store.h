#pragma once
// Many texts, held compactly: their UTF-8 bytes back to back in large blocks, and per
// text where it lies (12 bytes). A million preview lines of two hundred characters cost
// about two hundred megabytes here, against twice that and an allocation each as QStrings.
// A text that is replaced is written anew at the end; its old bytes stay unused until
// the store is cleared.

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
  // The text at index (which must be below size()); valid until the store changes.
  std::string_view at(size_t index) const;
  void set(size_t index, std::string_view utf8);

 private:
  struct Entry {
    uint32_t block = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
  };
  Entry store(std::string_view utf8);

  std::vector<std::string> blocks_;
  std::vector<Entry> entries_;
};

}  // namespace qv::ui
