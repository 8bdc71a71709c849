// Prints an Access database as JSON through mdb-reader, an independent reader:
//   node mdb_dump.mjs FILE [--password P] [--table T]
// Output: {"tables": [names...], "data": {name: {"columns": [{name,type}], "rows": [[...]]}}}
// Values: null, booleans, numbers; dates as "YYYY-MM-DDTHH:MM:SS.mmm" (UTC parts);
// binary as {"hex": "..."}; everything else as strings.
import fs from "node:fs";
import MDBReader from "mdb-reader";

const args = process.argv.slice(2);
const file = args[0];
let password;
const only = [];
for (let i = 1; i < args.length; i++) {
  if (args[i] === "--password") password = args[++i];
  else if (args[i] === "--table") only.push(args[++i]);
}
const reader = new MDBReader(fs.readFileSync(file), password === undefined ? {} : { password });
const names = reader.getTableNames();
const out = { tables: names, data: {} };
for (const name of only.length ? only : names) {
  const table = reader.getTable(name);
  const columns = table.getColumns().map((c) => ({ name: c.name, type: c.type }));
  const rows = table.getData().map((row) =>
    columns.map((c) => {
      const v = row[c.name];
      if (v === null || v === undefined) return null;
      if (v instanceof Date) return v.toISOString().replace("Z", "");
      if (Buffer.isBuffer(v)) return { hex: v.toString("hex") };
      if (typeof v === "boolean" || typeof v === "number") return v;
      return String(v);
    })
  );
  out.data[name] = { columns, rows };
}
process.stdout.write(JSON.stringify(out));
