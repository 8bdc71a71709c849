// Reads many Access databases through mdb-reader in one process (tests that make hundreds
// of small files would otherwise start node hundreds of times):
//   node mdb_dump_many.mjs FILE...
// Output: {FILE: {"tables": {name: [[values...], ...]}} or {"error": "..."}, ...}, values as
// in mdb_dump.mjs: null, booleans, numbers, dates as "YYYY-MM-DDTHH:MM:SS.mmm", binary as
// {"hex": "..."}, everything else as strings.
import fs from "node:fs";
import MDBReader from "mdb-reader";

function cell(v) {
  if (v === null || v === undefined) return null;
  if (v instanceof Date) return v.toISOString().replace("Z", "");
  if (Buffer.isBuffer(v)) return { hex: v.toString("hex") };
  if (typeof v === "boolean" || typeof v === "number") return v;
  return String(v);
}

const out = {};
for (const file of process.argv.slice(2)) {
  try {
    const reader = new MDBReader(fs.readFileSync(file));
    const tables = {};
    for (const name of reader.getTableNames()) {
      const table = reader.getTable(name);
      const columns = table.getColumnNames();
      tables[name] = table.getData().map((row) => columns.map((c) => cell(row[c])));
    }
    out[file] = { tables };
  } catch (e) {
    out[file] = { error: String(e && e.message ? e.message : e) };
  }
}
process.stdout.write(JSON.stringify(out));
