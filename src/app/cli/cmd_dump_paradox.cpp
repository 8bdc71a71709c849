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
#include <string>

#include "app/cli/access_json.h"
#include "app/cli/code_page_option.h"
#include "app/cli/command.h"
#include "db/ado/oem_code_page.h"
#include "db/ado/paradox_driver.h"
#include "db/io/env.h"
#include "db/paradox/table_reader.h"

namespace qv::cli {
namespace {

void appendJsonString(std::string& out, const std::string& s) { out += access::jsonString(s); }

std::string twoDigits(int64_t v, int width = 2) {
  std::string s = std::to_string(v < 0 ? -v : v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return v < 0 ? "-" + s : s;
}

std::string dateText(int64_t dayNumber) {
  const auto c = paradox::civilFromDayNumber(dayNumber);
  return twoDigits(c.year, 4) + "-" + twoDigits(c.month) + "-" + twoDigits(c.day);
}

std::string timeText(int64_t ms) {
  return twoDigits(ms / 3'600'000) + ":" + twoDigits(ms / 60'000 % 60) + ":" + twoDigits(ms / 1000 % 60) + "." + twoDigits(ms % 1000, 3);
}

void appendValue(std::string& out, const paradox::Value& v) {
  using K = paradox::Value::Kind;
  switch (v.kind) {
    case K::kNull: out += "null"; return;
    case K::kLogical: out += v.integer ? "true" : "false"; return;
    case K::kInteger: out += std::to_string(v.integer); return;
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
    case K::kBcd: case K::kText: appendJsonString(out, v.text); return;
    case K::kDate: appendJsonString(out, dateText(v.integer)); return;
    case K::kTime: appendJsonString(out, timeText(v.integer)); return;
    case K::kTimestamp: {
      int64_t day = v.integer / paradox::kMillisPerDay;
      int64_t ms = v.integer % paradox::kMillisPerDay;
      if (ms < 0) {
        ms += paradox::kMillisPerDay;
        --day;
      }
      appendJsonString(out, dateText(day) + "T" + timeText(ms));
      return;
    }
    case K::kBytes: {
      const QByteArray hash = QCryptographicHash::hash(QByteArray::fromRawData(v.text.data(), static_cast<qsizetype>(v.text.size())),
                                                       QCryptographicHash::Sha256).toHex();
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
          ", \"codepage\": " + std::to_string(reader.codePage()) + ", \"encrypted\": " + (reader.encrypted() ? "true" : "false") + "}\n";
  std::fputs(line.c_str(), stdout);
  for (size_t i = 0; i < h.fields.size(); ++i) {
    const paradox::FieldDef& f = h.fields[i];
    const std::string name = reader.fieldName(i);
    line = "{\"field\": ";
    appendJsonString(line, name);
    line += ", \"type\": \"" + std::string(paradox::fieldTypeName(f.type)) + "\", \"size\": " + std::to_string(f.sizeByte) +
            ", \"ado\": " + std::to_string(ado::adoTypeOf(f.type)) + "}\n";
    std::fputs(line.c_str(), stdout);
  }
  std::vector<paradox::Value> row;
  while (reader.next(row)) {
    line = "[";
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) line += ", ";
      appendValue(line, row[i]);
    }
    line += "]\n";
    std::fputs(line.c_str(), stdout);
  }
  for (const std::string& notice : reader.textNotices()) std::fprintf(stderr, "%s\n", notice.c_str());
  return kExitOk;
}

const CommandRegistration registration{Command{
    "dump-paradox", kUsage,
    "prints a Paradox table (header, fields and records) as JSON lines (--code-page: reads it in code page N)", run}};

}  // namespace
}  // namespace qv::cli
