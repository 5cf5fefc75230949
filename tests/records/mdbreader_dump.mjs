// Prints what the mdb-reader package reads from an Access file, as JSON, for
// the engine's comparison test.
//   node mdbreader_dump.mjs NODE_PREFIX FILE
//     -> {"tables": [user tables], "data": {TABLE: {"columns": [...], "rows": [[...]]}}}
//   with "data" holding every table, system tables too, that mdb-reader can read.
// Values: null, strings, numbers, booleans; dates as ISO text; binary as
// upper-case hex; big integers as decimal text.
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { pathToFileURL } from "node:url";

const [prefix, file] = process.argv.slice(2);
const require = createRequire(prefix + "/package.json");
const MDBReader = (await import(pathToFileURL(require.resolve("mdb-reader")).href)).default;
const reader = new MDBReader(readFileSync(file));

function plain(value) {
  if (value === null || value === undefined) return null;
  if (value instanceof Date) return value.toISOString();
  if (value instanceof Uint8Array) return Buffer.from(value).toString("hex").toUpperCase();
  if (typeof value === "bigint") return value.toString();
  return value;
}

function dump(name) {
  const t = reader.getTable(name);
  const columns = t.getColumns().map((c) => ({ name: c.name, type: c.type }));
  const rows = t.getData().map((row) => columns.map((c) => plain(row[c.name])));
  return { columns, rows };
}

const data = {};
for (const name of reader.getTableNames({ normalTables: true, systemTables: true })) {
  try {
    data[name] = dump(name);
  } catch {
    // a column type mdb-reader does not know; the test notes the table as unread
  }
}
process.stdout.write(JSON.stringify({ tables: reader.getTableNames(), data }));
