#pragma once
// The data-access layer's one failure: a number and a description, as ADO reports them.

#include <QString>
#include <exception>
#include <string>

namespace qv::ado {

class Error : public std::exception {
 public:
  Error(int number, QString description)
      : number_(number), description_(std::move(description)), what_(description_.toStdString()) {}
  int number() const noexcept { return number_; }
  const QString& description() const noexcept { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int number_;
  QString description_;
  std::string what_;
};

// Error numbers of the layer itself (database failures keep the engine's numbers).
inline constexpr int kErrProviderNotFound = 3706;    // ADO's adErrProviderNotFound
inline constexpr int kErrObjectClosed = 3704;        // operation on a closed object
inline constexpr int kErrNoCurrentRecord = 3021;     // EOF or BOF is true
inline constexpr int kErrItemNotFound = 3265;        // no field of that name or index
inline constexpr int kErrUnspecified = -2147467259;  // 0x80004005

}  // namespace qv::ado
