// Prints what the mdb-reader package reads from an Access file, as JSON:
//   node mdbreader_rows.mjs NODE_MODULES FILE TABLE
//   -> {"tables": [...user tables...], "columns": [...], "rows": [[...], ...]}
// Text stays text, a null stays null.
import { readFileSync } from "node:fs";
import { pathToFileURL } from "node:url";
import { createRequire } from "node:module";

const [modules, file, table] = process.argv.slice(2);
const require = createRequire(modules + "/");
const MDBReader = (await import(pathToFileURL(require.resolve("mdb-reader")).href)).default;
const reader = new MDBReader(readFileSync(file));
const t = reader.getTable(table);
const columns = t.getColumnNames();
const rows = t.getData().map((row) => columns.map((c) => row[c]));
process.stdout.write(JSON.stringify({ tables: reader.getTableNames(), columns, rows }));
