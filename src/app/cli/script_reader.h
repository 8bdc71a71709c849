#pragma once
// Reading a script of statements, one per line, where a text literal may itself hold line
// breaks (a memo copied from Paradox): a line break inside '...', "...", `...` or [...]
// belongs to the statement, any other one ends it.

#include <istream>
#include <string>

namespace qv::cli {

class ScriptReader {
 public:
  explicit ScriptReader(std::istream& in) : in_(in) {}
  // The next statement and the number of the line it starts on; false at the end.
  // A statement's own "\r" before the line break that ends it is dropped.
  bool next(std::string* statement, long* firstLine);

 private:
  std::istream& in_;
  long line_ = 0;
};

}  // namespace qv::cli
