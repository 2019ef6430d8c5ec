// Prints what mdb-reader, a Jet reader we did not write, sees in a database, as one JSON object:
// { "password": ..., "tables": [ { "name", "columns": [{name, type}], "rows": [ {col: value} ] } ] }
// Usage: node mdb-dump.mjs FILE [--password PW] [--system] [--table NAME]
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const args = process.argv.slice(2);
const file = args[0];
const option = (name) => {
  const i = args.indexOf(name);
  return i >= 0 ? args[i + 1] : undefined;
};
const password = option("--password");
const onlyTable = option("--table");
const systemTables = args.includes("--system");

// JSON has no Buffer, Date or bigint: give them stable text forms.
const plain = (value) => {
  if (value === null || value === undefined) return null;
  if (Buffer.isBuffer(value)) return "0x" + value.toString("hex");
  if (value instanceof Date) return value.toISOString();
  if (typeof value === "bigint") return value.toString();
  return value;
};

try {
  const reader = new MDBReader(readFileSync(file), password === undefined ? {} : { password });
  const names = onlyTable ? [onlyTable] : reader.getTableNames({ normalTables: true, systemTables });
  const tables = names.map((name) => {
    const table = reader.getTable(name);
    const columns = table.getColumns().map((c) => ({ name: c.name, type: c.type }));
    const rows = table.getData().map((row) =>
      Object.fromEntries(Object.entries(row).map(([k, v]) => [k, plain(v)])));
    return { name, columns, rows };
  });
  process.stdout.write(JSON.stringify({ password: reader.getPassword(), tables }) + "\n");
} catch (err) {
  process.stderr.write(`mdb-reader: ${err && err.message ? err.message : err}\n`);
  process.exit(1);
}
