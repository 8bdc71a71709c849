// quorvane-cli dump-paradox FILE.db: the table as JSON lines (a table line, one line per
// field, then one array per record).

#include <QByteArray>
#include <QCryptographicHash>
#include <QFileInfo>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/cli/access_json.h"
#include "app/cli/command.h"
#include "db/ado/paradox_driver.h"
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

int codePageNumber(const paradox::TableReader& r) {
  const std::string& cs = r.charset();
  if (cs.rfind("CP", 0) == 0) return std::atoi(cs.c_str() + 2);
  return r.header().codePage;
}

int run(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "Usage: quorvane-cli dump-paradox FILE.db\n");
    return kExitUsage;
  }
  paradox::TableReader reader(args[0]);
  const auto& h = reader.header();
  paradox::Transcoder names(reader.charset(), "UTF-8");
  std::string line = "{\"table\": ";
  appendJsonString(line, ado::paradoxTableName(QFileInfo(QString::fromStdString(args[0])).fileName()).toStdString());
  line += ", \"version\": \"" + h.versionText() + "\", \"records\": " + std::to_string(reader.recordCount()) +
          ", \"codepage\": " + std::to_string(codePageNumber(reader)) + ", \"encrypted\": " + (reader.encrypted() ? "true" : "false") + "}\n";
  std::fputs(line.c_str(), stdout);
  for (const auto& f : h.fields) {
    std::string name;
    names.convert(f.name.data(), f.name.size(), name);
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
  return kExitOk;
}

const CommandRegistration registration{Command{
    "dump-paradox", "dump-paradox FILE.db", "prints a Paradox table (header, fields and records) as JSON lines", run}};

}  // namespace
}  // namespace qv::cli
