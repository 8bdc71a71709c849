#pragma once
// Text of Paradox tables: conversion between a table's character set and UTF-8 through
// the C library's iconv. Which character set a table is in is code_page.h's business.

#include <cstddef>
#include <string>

namespace qv::paradox {

// A one-way converter. Bytes that cannot be converted become U+FFFD (decoding) or "?"
// (encoding); conversion never fails.
class Transcoder {
 public:
  Transcoder(const std::string& from, const std::string& to);
  ~Transcoder();
  Transcoder(const Transcoder&) = delete;
  Transcoder& operator=(const Transcoder&) = delete;

  // Replaces out with the converted form of n bytes at data.
  void convert(const char* data, size_t n, std::string& out);
  const std::string& from() const { return from_; }

 private:
  std::string from_;
  std::string to_;
  void* cd_;
  bool toUtf8_;
  bool fromUtf8_;
};

}  // namespace qv::paradox
