// Prints one table as the mdb-reader package reads it, for the engine's tests:
//   node mdbreader_rows.mjs NODE_PREFIX FILE TABLE
//     -> {"tables": [user tables], "columns": [names], "rows": [[values]]}
// Values: null or text; numbers, booleans and big integers as their text,
// dates as ISO text, binary as upper-case hex.
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { pathToFileURL } from "node:url";

const [prefix, file, table] = process.argv.slice(2);
const require = createRequire(prefix + "/package.json");
const MDBReader = (await import(pathToFileURL(require.resolve("mdb-reader")).href)).default;
const reader = new MDBReader(readFileSync(file));
const t = reader.getTable(table);

function text(value) {
  if (value === null || value === undefined) return null;
  if (value instanceof Date) return value.toISOString();
  if (value instanceof Uint8Array) return Buffer.from(value).toString("hex").toUpperCase();
  return String(value);
}

const columns = t.getColumnNames();
const rows = t.getData().map((row) => columns.map((c) => text(row[c])));
process.stdout.write(JSON.stringify({ tables: reader.getTableNames(), columns, rows }));
