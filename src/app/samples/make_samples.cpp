// quorvane-make-samples FOLDER: writes the sample data the programs offer next to
// themselves: a few Paradox tables of a small trading firm (customers, orders, parts with
// pictures, and last year's orders in a sub-folder), which together hold every Paradox
// field type, memos and pictures, and sample.mdb, an empty Access 2000 database to
// convert them into. Run by the build.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "db/jet/database.h"
#include "db/paradox/table_writer.h"

namespace {

using namespace qv::paradox;

Value nullValue() { return Value{}; }

Value text(std::string s) {
  Value v;
  v.kind = Value::Kind::kText;
  v.text = std::move(s);
  return v;
}

Value bytes(std::string s) {
  Value v;
  v.kind = Value::Kind::kBytes;
  v.text = std::move(s);
  return v;
}

Value integer(int64_t i) {
  Value v;
  v.kind = Value::Kind::kInteger;
  v.integer = i;
  return v;
}

Value real(double d) {
  Value v;
  v.kind = Value::Kind::kDouble;
  v.real = d;
  return v;
}

Value logical(bool b) {
  Value v;
  v.kind = Value::Kind::kLogical;
  v.integer = b ? 1 : 0;
  return v;
}

Value date(int y, unsigned m, unsigned d) {
  Value v;
  v.kind = Value::Kind::kDate;
  v.integer = dayNumberFromCivil(y, m, d);
  return v;
}

Value timeOfDay(int h, int min, int s) {
  Value v;
  v.kind = Value::Kind::kTime;
  v.integer = ((h * 60 + min) * 60 + s) * int64_t{1000};
  return v;
}

Value timestamp(int y, unsigned m, unsigned d, int h, int min, int s) {
  Value v;
  v.kind = Value::Kind::kTimestamp;
  v.integer = dayNumberFromCivil(y, m, d) * kMillisPerDay + ((h * 60 + min) * 60 + s) * int64_t{1000};
  return v;
}

Value bcd(std::string digits) {
  Value v;
  v.kind = Value::Kind::kBcd;
  v.text = std::move(digits);
  return v;
}

void putLe(std::string& out, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A small 24-bit Windows bitmap (the format Paradox keeps in Graphic fields): a disc of
// the given colour on a white ground, shaded towards its edge.
std::string bitmap(int size, uint8_t red, uint8_t green, uint8_t blue) {
  const uint32_t rowBytes = static_cast<uint32_t>((size * 3 + 3) / 4 * 4);
  const uint32_t pixels = rowBytes * static_cast<uint32_t>(size);
  std::string bmp = "BM";
  putLe(bmp, 54 + pixels, 4);
  putLe(bmp, 0, 4);
  putLe(bmp, 54, 4);
  putLe(bmp, 40, 4);
  putLe(bmp, static_cast<uint32_t>(size), 4);
  putLe(bmp, static_cast<uint32_t>(size), 4);
  putLe(bmp, 1, 2);
  putLe(bmp, 24, 2);
  putLe(bmp, 0, 4);
  putLe(bmp, pixels, 4);
  putLe(bmp, 2835, 4);
  putLe(bmp, 2835, 4);
  putLe(bmp, 0, 4);
  putLe(bmp, 0, 4);
  const double centre = (size - 1) / 2.0;
  for (int y = 0; y < size; ++y) {
    std::string row;
    for (int x = 0; x < size; ++x) {
      const double r = std::hypot(x - centre, y - centre) / (size / 2.0);
      if (r > 1) {
        row += "\xFF\xFF\xFF";
      } else {
        const double shade = 1.0 - 0.5 * r;
        row += static_cast<char>(static_cast<uint8_t>(blue * shade));
        row += static_cast<char>(static_cast<uint8_t>(green * shade));
        row += static_cast<char>(static_cast<uint8_t>(red * shade));
      }
    }
    row.resize(rowBytes, '\0');
    bmp += row;
  }
  return bmp;
}

// A formatted memo as a word processor keeps it (rich text).
std::string richText(const std::string& plain) {
  return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 " + plain + "\\par}";
}

void writeTable(const std::filesystem::path& path, const std::vector<NewField>& fields,
                const std::vector<std::vector<Value>>& rows) {
  TableWriter writer(path.string(), fields);
  for (const auto& row : rows) writer.append(row);
  writer.finish();
}

void writeCustomers(const std::filesystem::path& folder) {
  const std::vector<NewField> fields = {{"Customer No", FieldType::kAutoInc, 0}, {"Name", FieldType::kAlpha, 30},
                                        {"Street", FieldType::kAlpha, 30},       {"City", FieldType::kAlpha, 20},
                                        {"Country", FieldType::kAlpha, 20},      {"Phone", FieldType::kAlpha, 16},
                                        {"Customer Since", FieldType::kDate, 0}, {"Credit Limit", FieldType::kMoney, 0},
                                        {"Active", FieldType::kLogical, 0},      {"Notes", FieldType::kMemo, 40}};
  const std::vector<std::vector<Value>> rows = {
      {integer(1), text("Kessler & Söhne GmbH"), text("Hafenstraße 12"), text("Bremen"), text("Germany"),
       text("+49 421 55 01 2"), date(1994, 3, 14), real(25000), logical(true),
       text("Pays within 10 days.\r\nPrefers deliveries on Tuesdays; the loading bay closes at 15:00.")},
      {integer(2), text("Lindqvist Marin AB"), text("Skeppsbron 4"), text("Göteborg"), text("Sweden"),
       text("+46 31 77 42 00"), date(1995, 11, 2), real(12500.5), logical(true),
       text("Asked for the 1997 catalogue in Swedish.")},
      {integer(3), text("O'Hara Outfitters"), text("22 Quay Street"), text("Galway"), text("Ireland"),
       text("+353 91 56 23 11"), date(1996, 6, 30), real(4000), logical(false), nullValue()},
      {integer(4), text("Café Düsseldorf"), text("Königsallee 60"), text("Düsseldorf"), text("Germany"),
       text("+49 211 13 57 9"), date(1997, 1, 8), real(800.25), logical(true),
       text("Small orders, often. Contact: Frau Becker. Notes from the visit of 12 May 1998: the new branch "
            "opens in autumn and will order through the head office; invoices go to the head office as well, "
            "never to the branch. Keep the delivery notes in German.")},
      {integer(5), text("Pacific Divers Ltd."), text("1 Harbour Road"), text("Auckland"), text("New Zealand"),
       nullValue(), date(1998, 9, 21), real(15000), logical(true), text("")},
      {integer(6), text("Société Nautique du Léman"), text("Quai du Mont-Blanc 5"), text("Genève"), text("Switzerland"),
       text("+41 22 731 00 00"), nullValue(), nullValue(), nullValue(),
       text("Pricing agreed in francs; see the 50% rule for repeat orders.")},
  };
  writeTable(folder / "CUSTOMER.DB", fields, rows);
}

void writeOrders(const std::filesystem::path& path, int firstOrder, int year) {
  const std::vector<NewField> fields = {{"Order No", FieldType::kLong, 0},     {"Customer No", FieldType::kLong, 0},
                                        {"Sale Date", FieldType::kDate, 0},    {"Ship Time", FieldType::kTime, 0},
                                        {"Entered", FieldType::kTimestamp, 0}, {"Items", FieldType::kShort, 0},
                                        {"Amount Paid", FieldType::kMoney, 0}, {"Tax Rate", FieldType::kBcd, 2},
                                        {"Weight kg", FieldType::kNumber, 0},  {"Shipped", FieldType::kLogical, 0},
                                        {"Ship Via", FieldType::kAlpha, 12},   {"Remarks", FieldType::kMemo, 20}};
  static const char* carriers[] = {"UPS", "DHL", "Sea freight", "Courier", "Pick-up"};
  std::vector<std::vector<Value>> rows;
  for (int i = 0; i < 24; ++i) {
    const unsigned month = static_cast<unsigned>(1 + i / 2);
    const unsigned day = static_cast<unsigned>(3 + (i * 7) % 25);
    std::vector<Value> row = {integer(firstOrder + i),
                              integer(1 + (i * 5) % 6),
                              date(year, month, day),
                              timeOfDay(8 + i % 9, (i * 13) % 60, 0),
                              timestamp(year, month, day > 1 ? day - 1 : day, 9 + i % 8, (i * 17) % 60, (i * 29) % 60),
                              integer(1 + (i * 3) % 40),
                              real((i * 1237 % 50000) / 4.0),
                              bcd(i % 3 == 0   ? "7.00"
                                  : i % 3 == 1 ? "16.00"
                                               : "0.00"),
                              real(0.75 + i * 2.5),
                              logical(i % 4 != 3),
                              text(carriers[i % 5]),
                              i % 5 == 0   ? text("Customer asked for a call before delivery; the goods are fragile, "
                                                    "pack each item separately.")
                              : i % 5 == 1 ? text("Paid in advance.")
                                           : nullValue()};
    if (i == 7) row[3] = nullValue();  // not shipped yet: no time
    rows.push_back(std::move(row));
  }
  writeTable(path, fields, rows);
}

void writeParts(const std::filesystem::path& folder) {
  const std::vector<NewField> fields = {{"Part No", FieldType::kAutoInc, 0},  {"Description", FieldType::kAlpha, 40},
                                        {"List Price", FieldType::kMoney, 0}, {"On Hand", FieldType::kShort, 0},
                                        {"Bar Code", FieldType::kBytes, 8},   {"Picture", FieldType::kGraphic, 10},
                                        {"Data Sheet", FieldType::kBlob, 10}, {"Care Notes", FieldType::kFmtMemo, 10},
                                        {"Drawing", FieldType::kOle, 10},     {"Last Count", FieldType::kTimestamp, 0}};
  struct Part {
    const char* name;
    double price;
    int onHand;
    uint8_t r, g, b;
  };
  static const Part parts[] = {{"Dive mask, tempered glass", 49.95, 120, 30, 90, 200},
                               {"Fins, adjustable, size M", 79.5, 64, 240, 200, 20},
                               {"Wet suit 5 mm, men's L", 219, 12, 20, 20, 20},
                               {"Regulator, first stage", 389, 7, 200, 40, 40},
                               {"Compass, wrist mount", 64.75, 0, 40, 160, 80}};
  std::vector<std::vector<Value>> rows;
  int n = 0;
  for (const Part& p : parts) {
    ++n;
    std::string code;
    for (int i = 0; i < 8; ++i) code += static_cast<char>((n * 37 + i * 11) & 0xFF);
    // Raw bytes of a data sheet: a header and a short table of figures.
    std::string sheet = "QVDS";
    for (int i = 0; i < 64; ++i) sheet += static_cast<char>((i * n) & 0xFF);
    std::string ole = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";  // a compound document's signature
    ole += std::string(24, '\0');
    rows.push_back({integer(n), text(p.name), real(p.price), integer(p.onHand), bytes(code),
                    bytes(bitmap(24 + 4 * n, p.r, p.g, p.b)), n == 3 ? nullValue() : bytes(sheet),
                    bytes(richText(std::string("Rinse in fresh water after each dive. Store ") +
                                   (n % 2 ? "dry" : "flat") + ", away from the sun.")),
                    n == 5 ? bytes(ole) : nullValue(), timestamp(1998, 12, 31, 17, 30 + n, 0)});
  }
  writeTable(folder / "PARTS.DB", fields, rows);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quorvane-make-samples FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  try {
    std::filesystem::create_directories(folder / "Archive");
    writeCustomers(folder);
    writeOrders(folder / "ORDERS.DB", 1001, 1998);
    writeOrders(folder / "Archive" / "ORDERS97.DB", 501, 1997);
    writeParts(folder);
    const std::filesystem::path mdb = folder / "sample.mdb";
    std::filesystem::remove(mdb);
    qv::jet::createDatabase(mdb.string(), qv::jet::Format::kJet4)->close();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorvane-make-samples: %s\n", e.what());
    return 1;
  }
  return 0;
}
