#include "db/paradox/table_keys.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "db/io/error.h"
#include "db/paradox/index_file.h"
#include "db/paradox/primary_index.h"
#include "db/paradox/secondary_index.h"
#include "db/paradox/table_header.h"

namespace qv::paradox {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// The files beside the table whose name is the table's with another extension, by
// lower-case extension ("px", "x06", "yg0", ...).
std::map<std::string, std::string> companions(const std::string& dbPath) {
  namespace fs = std::filesystem;
  const fs::path db(dbPath);
  const std::string stem = lower(db.stem().string());
  const fs::path dir = db.parent_path().empty() ? fs::path(".") : db.parent_path();
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path name = it->path().filename();
    if (lower(name.stem().string()) != stem || name.extension().string().size() < 2) continue;
    out.emplace(lower(name.extension().string().substr(1)), (db.parent_path() / name).string());
  }
  return out;
}

// The secondary index extensions: x followed by two hexadecimal digits, or xg and one.
bool isEntryExtension(const std::string& ext) {
  if (ext.size() != 3 || ext[0] != 'x') return false;
  return ext[1] == 'g' ? isHex(ext[2]) : isHex(ext[1]) && isHex(ext[2]);
}

std::string tableName(const std::string& dbPath) { return std::filesystem::path(dbPath).stem().string(); }

}  // namespace

TableKeys readTableKeys(const std::string& dbPath, io::Env& env) {
  TableKeys keys;
  IndexFile table(dbPath, env);
  const IndexFileHeader& t = table.header();
  const std::map<std::string, std::string> files = companions(dbPath);
  auto has = [&](const std::string& ext) { return files.count(ext) > 0; };
  const std::string name = tableName(dbPath);
  IndexedTable indexed{&t, {}};
  indexed.blocks = chainRecordCounts(table);

  const bool keyed = t.fileType == kFileTypeKeyed && t.keyFields > 0;
  if (keyed) {
    if (t.keyFields > t.fields.size()) {
      keys.problems.push_back("'" + dbPath + "' declares " + std::to_string(t.keyFields) + " key fields but has " +
                              std::to_string(t.fields.size()) + " fields; table " + name +
                              " is converted without its primary key");
    } else if (!has("px")) {
      std::string expected = dbPath.substr(0, dbPath.size() - std::min<size_t>(dbPath.size(), 3)) + ".PX";
      keys.problems.push_back("'" + expected + "': the primary index of table " + name +
                              " is missing; the table is converted without its primary key");
    } else {
      try {
        checkTreeFile(files.at("px"), env, std::vector<FieldSlot>(t.fields.begin(), t.fields.begin() + t.keyFields),
                      indexed.blocks);
        keys.primaryKeyFields = t.keyFields;
      } catch (const DbError& e) {
        keys.problems.push_back(std::string(e.what()) + "; table " + name + " is converted without its primary key");
      }
    }
  }

  for (const auto& [ext, path] : files) {
    const bool entry = isEntryExtension(ext);
    const bool tree = ext.size() == 3 && ext[0] == 'y' && isEntryExtension("x" + ext.substr(1));
    if (tree && !has("x" + ext.substr(1))) {
      keys.problems.push_back("'" + path + "': the entries of this secondary index (its .X" + ext.substr(1) +
                              " file) are missing; table " + name + " is converted without this index");
    }
    if (!entry) continue;
    const std::string treeExt = "y" + ext.substr(1);
    try {
      keys.indexes.push_back(readSecondaryIndex(path, has(treeExt) ? files.at(treeExt) : std::string(), indexed, env));
    } catch (const DbError& e) {
      keys.problems.push_back(std::string(e.what()) + "; table " + name + " is converted without this index");
    }
  }
  return keys;
}

}  // namespace qv::paradox
