#pragma once
// Text of Paradox tables: conversion between a table's character set and UTF-8 through
// the C library's iconv. Which character set a table is in is code_page.h's business.

#include <cstddef>
#include <string>

namespace qv::paradox {

// A one-way converter. Bytes that cannot be converted become U+FFFD (decoding) or "?"
// (encoding); conversion never fails.
//
// Decoding a single-byte character set to UTF-8 (every DOS and Windows code page but the
// East Asian ones) does not go through iconv per value: the UTF-8 form of each of the 256
// bytes is worked out once, when the converter is made, and text is then converted by
// copying its ASCII runs whole and looking up the other bytes. Which character set a
// table is read in is the caller's choice; this only says how.
class Transcoder {
 public:
  Transcoder(const std::string& from, const std::string& to);
  ~Transcoder();
  Transcoder(const Transcoder&) = delete;
  Transcoder& operator=(const Transcoder&) = delete;

  // Replaces out with the converted form of n bytes at data. Returns true when the
  // converted text holds U+FFFD (decoding: bytes that are no character of the source).
  bool convert(const char* data, size_t n, std::string& out);
  // Appends the converted form of n bytes at data to out; returns as convert does, for
  // what it appended.
  bool append(const char* data, size_t n, std::string& out);
  const std::string& from() const { return from_; }
  // True when decoding goes through the byte table (a single-byte source, UTF-8 target).
  bool byteTable() const { return byteTable_; }

 private:
  void buildByteTable();
  bool appendByTable(const char* data, size_t n, std::string& out) const;
  void appendByIconv(const char* data, size_t n, std::string& out);

  std::string from_;
  std::string to_;
  void* cd_;
  bool toUtf8_;
  bool fromUtf8_;
  bool byteTable_ = false;
  // The UTF-8 form of each byte (at most 3 bytes, padded to 4) and its length, with
  // kReplacedBit set for the bytes whose form is U+FFFD.
  unsigned char utf8Of_[256][4] = {};
  static constexpr unsigned char kReplacedBit = 0x10;
  unsigned char utf8Length_[256] = {};
};

}  // namespace qv::paradox
