// quorvane-cli dump-paradox FILE.db: the table as JSON lines (a table line, one line per
// field, then one array per record). Text is read as the conversion reads it: in the
// code page the table names, or given by --code-page, or else the locale's DOS code page.

#include <QByteArray>
#include <QCryptographicHash>
#include <QFileInfo>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/cli/access_json.h"
#include "app/cli/code_page_option.h"
#include "app/cli/command.h"
#include "db/ado/oem_code_page.h"
#include "db/ado/paradox_driver.h"
#include "db/io/env.h"
#include "db/paradox/table_reader.h"

namespace qv::cli {
namespace {

// Appends s as a JSON string: the runs that need no escape are copied whole (the same
// escapes as access::jsonString).
// True when one of the eight bytes of w is below 0x20, '"' or '\\'.
bool needsEscape(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  auto hasZero = [](uint64_t x) { return (x - kOnes) & ~x & kHigh; };
  const uint64_t control = (w - kOnes * 0x20) & ~w & kHigh;
  return (control | hasZero(w ^ (kOnes * '"')) | hasZero(w ^ (kOnes * '\\'))) != 0;
}

void appendJsonString(std::string& out, std::string_view s) {
  out += '"';
  size_t from = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    // Eight bytes at a time while none needs an escape.
    while (i + 8 <= s.size()) {
      uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      if (needsEscape(w)) break;
      i += 8;
    }
    if (i >= s.size()) break;
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(s, from, i - from);
    from = i + 1;
    switch (c) {
      case '"': out.append("\\\"", 2); break;
      case '\\': out.append("\\\\", 2); break;
      case '\n': out.append("\\n", 2); break;
      case '\r': out.append("\\r", 2); break;
      case '\t': out.append("\\t", 2); break;
      default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
      }
    }
  }
  out.append(s, from, std::string_view::npos);
  out += '"';
}

// Appends v with at least width digits (a minus sign before them when negative).
void appendDigits(std::string& out, int64_t v, int width = 2) {
  if (v < 0) {
    out += '-';
    v = -v;
  }
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  for (auto n = r.ptr - buf; n < width; ++n) out += '0';
  out.append(buf, r.ptr);
}

void appendDate(std::string& out, int64_t dayNumber) {
  const auto c = paradox::civilFromDayNumber(dayNumber);
  appendDigits(out, c.year, 4);
  out += '-';
  appendDigits(out, c.month);
  out += '-';
  appendDigits(out, c.day);
}

void appendTime(std::string& out, int64_t ms) {
  appendDigits(out, ms / 3'600'000);
  out += ':';
  appendDigits(out, ms / 60'000 % 60);
  out += ':';
  appendDigits(out, ms / 1000 % 60);
  out += '.';
  appendDigits(out, ms % 1000, 3);
}

void appendValue(std::string& out, const paradox::Value& v) {
  using K = paradox::Value::Kind;
  switch (v.kind) {
    case K::kNull: out += "null"; return;
    case K::kLogical: out += v.integer ? "true" : "false"; return;
    case K::kInteger: {
      char buf[24];
      const auto r = std::to_chars(buf, buf + sizeof buf, v.integer);
      out.append(buf, r.ptr);
      return;
    }
    case K::kDouble: {
      if (!std::isfinite(v.real)) {
        out += "null";
        return;
      }
      char buf[64];
      auto r = std::to_chars(buf, buf + sizeof buf, v.real);
      out.append(buf, r.ptr);
      return;
    }
    case K::kBcd:
    case K::kText: appendJsonString(out, v.text); return;
    case K::kDate:
      out += '"';
      appendDate(out, v.integer);
      out += '"';
      return;
    case K::kTime:
      out += '"';
      appendTime(out, v.integer);
      out += '"';
      return;
    case K::kTimestamp: {
      int64_t day = v.integer / paradox::kMillisPerDay;
      int64_t ms = v.integer % paradox::kMillisPerDay;
      if (ms < 0) {
        ms += paradox::kMillisPerDay;
        --day;
      }
      out += '"';
      appendDate(out, day);
      out += 'T';
      appendTime(out, ms);
      out += '"';
      return;
    }
    case K::kBytes: {
      const QByteArray hash =
          QCryptographicHash::hash(QByteArray::fromRawData(v.text.data(), static_cast<qsizetype>(v.text.size())),
                                   QCryptographicHash::Sha256)
              .toHex();
      out += "{\"len\": " + std::to_string(v.text.size()) + ", \"sha256\": \"" + hash.toStdString() + "\"}";
      return;
    }
  }
}

constexpr const char* kUsage = "dump-paradox FILE.db [--code-page N]";

int run(const std::vector<std::string>& args) {
  std::string file;
  paradox::TextOptions text;
  text.fallbackCodePage = ado::paradoxFallbackCodePage();
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--code-page" && i + 1 < args.size()) {
      text.forcedCodePage = parseCodePage(args[++i]);
      if (text.forcedCodePage == 0) {
        std::fprintf(stderr, "quorvane-cli dump-paradox: %s\n", unknownCodePage(args[i]).c_str());
        return kExitUsage;
      }
    } else if (file.empty() && !(args[i].size() > 1 && args[i][0] == '-')) {
      file = args[i];
    } else {
      file.clear();
      break;
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "Usage: quorvane-cli %s\n", kUsage);
    return kExitUsage;
  }
  paradox::TableReader reader(file, io::defaultEnv(), text);
  const auto& h = reader.header();
  std::string line = "{\"table\": ";
  appendJsonString(line, ado::paradoxTableName(QFileInfo(QString::fromStdString(file)).fileName()).toStdString());
  line += ", \"version\": \"" + h.versionText() + "\", \"records\": " + std::to_string(reader.recordCount()) +
          ", \"codepage\": " + std::to_string(reader.codePage()) +
          ", \"encrypted\": " + (reader.encrypted() ? "true" : "false") + "}\n";
  std::fputs(line.c_str(), stdout);
  for (size_t i = 0; i < h.fields.size(); ++i) {
    const paradox::FieldDef& f = h.fields[i];
    const std::string name = reader.fieldName(i);
    line = "{\"field\": ";
    appendJsonString(line, name);
    line += ", \"type\": \"" + std::string(paradox::fieldTypeName(f.type)) +
            "\", \"size\": " + std::to_string(f.sizeByte) + ", \"ado\": " + std::to_string(ado::adoTypeOf(f.type)) +
            "}\n";
    std::fputs(line.c_str(), stdout);
  }
  // Records go out a megabyte or so at a time, in one write each.
  constexpr size_t kChunk = size_t{1} << 20;
  std::vector<paradox::Value> row;
  line.clear();
  line.reserve(kChunk + (kChunk >> 2));
  while (reader.next(row)) {
    line += '[';
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) line += ", ";
      appendValue(line, row[i]);
    }
    line += "]\n";
    if (line.size() >= kChunk) {
      std::fwrite(line.data(), 1, line.size(), stdout);
      line.clear();
    }
  }
  std::fwrite(line.data(), 1, line.size(), stdout);
  for (const std::string& notice : reader.textNotices()) std::fprintf(stderr, "%s\n", notice.c_str());
  return kExitOk;
}

const CommandRegistration registration{Command{
    "dump-paradox", kUsage,
    "prints a Paradox table (header, fields and records) as JSON lines (--code-page: reads it in code page N)", run}};

}  // namespace
}  // namespace qv::cli
