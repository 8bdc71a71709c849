// The bulk text scans: the ASCII run against a byte-by-byte walk (every run length from 0
// to past two 16-byte blocks, every kind of stopping byte, texts at every offset of a
// buffer, as loads are unaligned), four two-byte letters in a word, and quotes doubled
// and undoubled.

#include "db/io/text_scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace qv::io {
namespace {

size_t slowRun(const std::string& s, bool stopAtNul) {
  size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80 && !(stopAtNul && s[i] == 0)) ++i;
  return i;
}

TEST(AsciiRun, StopsAtTheFirstByteOutsideTheRunWhereverItIs) {
  const char stops[] = {'\x80', '\xC3', '\xFF', '\0'};
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t run = 0; run <= 40; ++run) {
      for (char stop : stops) {
        // The stop, then bytes that would stop a run too (and a NUL), so a scan that
        // reads past the first stop, or misses it, gives a different length.
        std::string buffer(offset, '\xE0');
        std::string text(run, 'a');
        text += stop;
        text += std::string("b\x80\0c", 4) + std::string(20, 'x');
        buffer += text;
        const char* p = buffer.data() + offset;
        EXPECT_EQ(asciiRun(p, text.size()), slowRun(text, false)) << "offset " << offset << " run " << run;
        EXPECT_EQ(plainAsciiRun(p, text.size()), slowRun(text, true)) << "offset " << offset << " run " << run;
        // Cut at the run's end or inside it: the whole length is the run.
        for (size_t cut = 0; cut <= run; cut += 7) {
          EXPECT_EQ(asciiRun(p, cut), cut);
          EXPECT_EQ(plainAsciiRun(p, cut), cut);
        }
      }
    }
  }
}

TEST(AsciiRun, ZeroBytesAfterTheFirstStopDoNotHideIt) {
  // A NUL right after a high byte in the same word: the borrow of the NUL test must not
  // move the stop.
  const std::string text("abc\x85\0\0defghijklmnopqrstu", 23);
  EXPECT_EQ(asciiRun(text.data(), text.size()), 3u);
  EXPECT_EQ(plainAsciiRun(text.data(), text.size()), 3u);
  const std::string nulFirst("abcdefghijklmnopq\0\x85", 19);
  EXPECT_EQ(asciiRun(nulFirst.data(), nulFirst.size()), 18u);
  EXPECT_EQ(plainAsciiRun(nulFirst.data(), nulFirst.size()), 17u);
}

uint64_t word(const char* bytes) {
  uint64_t w;
  std::memcpy(&w, bytes, 8);
  return w;
}

TEST(TwoByteLetters, TakesFourWholeTwoByteSequencesAndNothingElse) {
  // "Мира": four Cyrillic letters, and their UTF-16 units.
  const uint64_t mira = word("\xD0\x9C\xD0\xB8\xD1\x80\xD0\xB0");
  ASSERT_TRUE(fourTwoByteSequences(mira));
  const uint16_t expected[4] = {0x041C, 0x0438, 0x0440, 0x0430};
  uint64_t want;
  std::memcpy(&want, expected, 8);
  EXPECT_EQ(twoByteUnits(mira), want);
  EXPECT_TRUE(fourTwoByteSequences(word("\xC2\x80\xC3\xBF\xDF\xBF\xC4\x80")));  // U+0080, U+00FF, U+07FF, U+0100
  // Overlong C0 / C1 leads, a blank, a three-byte lead, a continuation where a lead
  // belongs, and sequences out of step by one byte.
  for (const char* bytes :
       {"\xD0\x9C\xC0\x80\xD0\xB8\xD0\xB0", "\xC1\xBF\xD0\x9C\xD0\xB8\xD0\xB0", "\xD0\x9C \xD0\xB8\xD0\xB0\xD0",
        "\xE2\x82\xAC\xD0\x9C\xD0\xB8\xD0", "\x9C\xD0\x9C\xD0\xB8\xD0\xB0\xD0", "\xD0\x9C\xD0\xB8\xD1\x80\xD0\xD0"}) {
    EXPECT_FALSE(fourTwoByteSequences(word(bytes))) << testing::PrintToString(std::string(bytes, 8));
  }
}

TEST(QuoteCopies, DoubleAndUndoubleEveryQuoteWhereverItFalls) {
  // Texts of letters and quotes at every offset around the 16-byte blocks, runs of quotes
  // and a quote as the first and last byte: doubling matches a byte-by-byte copy, and
  // undoubling gives the text back.
  std::mt19937 rng(12);
  for (int trial = 0; trial < 3000; ++trial) {
    std::string text(rng() % 60, 'x');
    for (char& c : text) c = rng() % 5 == 0 ? '\'' : static_cast<char>('a' + rng() % 26);
    std::string expected;
    for (char c : text) expected += c == '\'' ? std::string("''") : std::string(1, c);
    std::string doubled(2 * text.size(), '\0');
    doubled.resize(copyDoublingQuotes(text.data(), text.size(), '\'', doubled.data()));
    ASSERT_EQ(doubled, expected) << text;
    std::string undone(doubled.size(), '\0');
    undone.resize(copyUndoublingQuotes(doubled.data(), doubled.size(), '\'', undone.data()));
    ASSERT_EQ(undone, text) << doubled;
  }
}

}  // namespace
}  // namespace qv::io
