#pragma once
// The one failure type of the plain C++ data-access libraries (I/O, Paradox, Jet, SQL).
// It carries a number and a description; the ADO layer turns it into its own error
// with the same two parts.

#include <stdexcept>
#include <string>

namespace qv {

// Numbers the libraries use. The ADO layer passes them through unchanged.
enum ErrorNumber : int {
  kErrGeneric = -2147467259,   // 0x80004005, the provider's "unspecified error"
  kErrIo = -2147024865,        // 0x8007001F, a device or file failure
  kErrDiskFull = -2147024784,  // 0x80070070, no space left on the device
  kErrNotFound = -2147024894,  // 0x80070002, no such file
  kErrFormat = -2147217887,    // 0x80040E21, not a valid file of the expected kind
  kErrSql = -2147217900,       // 0x80040E14, a statement the database rejects
  kErrPassword = -2147217843,  // 0x80040E4D, not a valid password
  kErrLocked = -2147467259,    // same as generic: the provider reports locks that way
};

class DbError : public std::runtime_error {
 public:
  DbError(int number, const std::string& description) : std::runtime_error(description), number_(number) {}
  explicit DbError(const std::string& description) : DbError(kErrGeneric, description) {}
  int number() const noexcept { return number_; }

 private:
  int number_;
};

// A failure of one file, described the way every failure that names its file is:
// "'PATH': WHAT".
inline std::string fileMessage(const std::string& path, const std::string& what) { return "'" + path + "': " + what; }
inline DbError fileError(int number, const std::string& path, const std::string& what) {
  return DbError(number, fileMessage(path, what));
}

}  // namespace qv
