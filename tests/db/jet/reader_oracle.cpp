#include "db/jet/reader_oracle.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <filesystem>
#include <sstream>

#include "db/jet/storage/date.h"
#include "db/jet/storage/numeric.h"
#include "support/testdata.h"

namespace qv::test {

std::string hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

namespace {

// Decimal texts compared by value: "1.2300" equals "1.23", "-0" equals "0".
std::string normalDecimal(std::string s) {
  bool negative = !s.empty() && s[0] == '-';
  if (negative) s.erase(0, 1);
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  size_t nz = s.find_first_not_of('0');
  s = nz == std::string::npos ? "0" : s.substr(nz);
  if (s.empty() || s[0] == '.') s = "0" + s;
  return (negative && s != "0") ? "-" + s : s;
}

std::string describe(const jet::Value& v) {
  using K = jet::Value::Kind;
  switch (v.kind) {
    case K::kNull: return "null";
    case K::kBoolean: return v.b ? "true" : "false";
    case K::kInteger: return std::to_string(v.i);
    case K::kCurrency: return jet::currencyText(v.i);
    case K::kDouble:
    case K::kDateTime: {
      std::ostringstream o;
      o.precision(17);
      o << v.d;
      return o.str();
    }
    case K::kBinary:
    case K::kGuid: return "hex " + hex(v.s.substr(0, 40));
    default: return "'" + v.s.substr(0, 60) + "'";
  }
}

bool matches(const jet::Value& v, const QJsonValue& j) {
  using K = jet::Value::Kind;
  switch (v.kind) {
    case K::kNull: return j.isNull();
    case K::kBoolean: return j.isBool() && j.toBool() == v.b;
    case K::kInteger: return j.isDouble() && j.toDouble() == static_cast<double>(v.i);
    case K::kDouble: return j.isDouble() && j.toDouble() == v.d;
    case K::kCurrency:
      return j.isString() && normalDecimal(j.toString().toStdString()) == normalDecimal(jet::currencyText(v.i));
    case K::kDecimal: return j.isString() && normalDecimal(j.toString().toStdString()) == normalDecimal(v.s);
    case K::kDateTime: {
      if (v.d < 0 && v.d != static_cast<double>(static_cast<int64_t>(v.d)))
        return true;  // mdb-reader mis-decodes these
      jet::DateParts p = jet::partsFromOleDate(v.d);
      char buf[48];
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour, p.minute,
                    p.second, p.millisecond);
      return j.isString() && j.toString().toStdString() == buf;
    }
    case K::kText: return j.isString() && j.toString().toStdString() == v.s;
    case K::kBinary: return j.isObject() && j.toObject().value("hex").toString().toStdString() == hex(v.s);
    case K::kGuid: {
      if (!j.isString() || v.s.size() != 16) return false;
      std::string h = hex(v.s);
      std::string expect = h.substr(6, 2) + h.substr(4, 2) + h.substr(2, 2) + h.substr(0, 2) + "-" + h.substr(10, 2) +
                           h.substr(8, 2) + "-" + h.substr(14, 2) + h.substr(12, 2) + "-" + h.substr(16, 4) + "-" +
                           h.substr(20);
      std::string got = j.toString().toStdString();
      for (auto& c : got) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (!got.empty() && got.front() == '{') got = got.substr(1, got.size() - 2);
      return got == expect;
    }
  }
  return false;
}

}  // namespace

bool mdbReaderAvailable() {
  return !nodeToolsDir().empty() && runCommand("node --version >/dev/null 2>&1", nullptr) == 0;
}
bool mdbtoolsAvailable() {
  return runCommand("mdb-ver --help >/dev/null 2>&1; command -v mdb-export >/dev/null", nullptr) == 0;
}

std::string compareWithMdbReader(const std::string& path, jet::Database& db, const std::vector<std::string>& tables,
                                 const std::string& password) {
  std::string cmd = "node " + shellQuote(nodeToolsDir() + "/mdb_dump.mjs") + " " + shellQuote(path);
  if (!password.empty()) cmd += " --password " + shellQuote(password);
  for (const auto& t : tables) cmd += " --table " + shellQuote(t);
  cmd += " 2>&1";
  std::string out;
  int rc = runCommand(cmd, &out);
  if (rc != 0) return "mdb-reader failed: " + out.substr(0, 400);
  QJsonParseError err;
  QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(out), &err);
  if (doc.isNull()) return "mdb-reader printed no JSON: " + err.errorString().toStdString();
  QJsonObject data = doc.object().value("data").toObject();
  for (const auto& name : tables) {
    jet::Table* t = db.table(name);
    if (!t) return "our engine has no table " + name;
    QJsonObject theirs = data.value(QString::fromStdString(name)).toObject();
    QJsonArray rows = theirs.value("rows").toArray();
    QJsonArray cols = theirs.value("columns").toArray();
    if (cols.size() != static_cast<qsizetype>(t->columns().size()))
      return name + ": mdb-reader sees " + std::to_string(cols.size()) + " columns";
    auto cursor = t->scan();
    std::vector<jet::Value> row;
    qsizetype i = 0;
    while (cursor->next(row)) {
      if (i >= rows.size()) return name + ": mdb-reader has fewer rows (" + std::to_string(rows.size()) + ")";
      QJsonArray r = rows[i].toArray();
      for (size_t c = 0; c < row.size(); ++c) {
        if (!matches(row[c], r[static_cast<qsizetype>(c)])) {
          QJsonValue j = r[static_cast<qsizetype>(c)];
          std::string theirsText =
              QString::fromUtf8(QJsonDocument(QJsonArray{j}).toJson(QJsonDocument::Compact)).toStdString();
          return name + " row " + std::to_string(i) + " column " + t->columns()[c].name + ": ours " + describe(row[c]) +
                 ", mdb-reader " + theirsText.substr(0, 200);
        }
      }
      ++i;
    }
    if (i != rows.size())
      return name + ": mdb-reader has more rows (" + std::to_string(rows.size()) + " vs " + std::to_string(i) + ")";
  }
  return "";
}

std::vector<std::string> mdbtoolsTables(const std::string& path) {
  std::string out;
  runCommand("mdb-tables -1 " + shellQuote(path) + " 2>/dev/null", &out);
  std::vector<std::string> names;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) names.push_back(line);
  return names;
}

long mdbtoolsCount(const std::string& path, const std::string& table) {
  std::string out;
  if (runCommand("mdb-count " + shellQuote(path) + " " + shellQuote(table) + " 2>/dev/null", &out) != 0) return -1;
  try {
    return std::stol(out);
  } catch (...) {
    return -1;
  }
}

std::vector<std::string> mdbtoolsExport(const std::string& path, const std::string& table) {
  std::string out;
  runCommand("mdb-export -D '%Y-%m-%d %H:%M:%S' " + shellQuote(path) + " " + shellQuote(table) + " 2>/dev/null", &out);
  std::vector<std::string> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

void copyFile(const std::string& from, const std::string& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

}  // namespace qv::test
