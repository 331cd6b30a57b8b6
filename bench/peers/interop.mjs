// The peer database's half of `make interop`. Two modes:
//   read  CSV KOVA_JSONL  reads CSV (written by kova) with read_csv and
//                         explicit types and compares every value with the
//                         rows kova rips from it (one JSON object per line);
//   write SOURCE_CSV OUT  reads SOURCE_CSV, writes it with COPY ... TO as CSV
//                         and prints the peer's own rows as JSON lines, for
//                         the script to compare with kova's rip of OUT.
//   compare A B           compares two JSON-lines files value by value.
// Every comparison stops at the first difference with exit status 1.
import { readFileSync, writeFileSync } from 'node:fs';
import { DuckDBInstance } from '@duckdb/node-api';

const types = {
  id: 'BIGINT', i: 'INTEGER', s: 'SMALLINT', t: 'TINYINT', x: 'DOUBLE',
  d: 'DECIMAL(38,10)', v: 'VARCHAR', c: 'VARCHAR', day: 'DATE', tm: 'TIME',
  ts: 'TIMESTAMP',
};
const columns = Object.entries(types).map(([n, t]) => `'${n}': '${t}'`).join(', ');
const quote = (path) => `'${path.replace(/'/g, "''")}'`;
const readCsv = (path) => `read_csv(${quote(path)}, header = true, delim = ',', quote = '"', ` +
  `escape = '"', columns = {${columns}}, parallel = false)`;

// One value in a form both sides agree on: numbers by value, decimals and
// clock texts without trailing fraction zeros, CHAR text without trailing
// blanks, null for null.
function normal(name, value) {
  if (value === null || value === undefined) return null;
  if (name === 'x') return Number(value);
  let text = String(value);
  if (name === 'c') text = text.replace(/ +$/, '');
  if (name === 'd') {
    if (text.includes('.')) text = text.replace(/0+$/, '').replace(/\.$/, '');
    if (/^-0?$/.test(text)) text = '0';
  }
  if (name === 'tm' || name === 'ts') {
    text = text.replace('T', ' ');
    if (text.includes('.')) text = text.replace(/0+$/, '').replace(/\.$/, '');
  }
  return text;
}

// Microseconds of a timestamp text. The host keeps a datetime as 8-byte
// seconds since 1960, which far from 1960 resolve a few microseconds only:
// two texts compare alike when they are within the resolution of that
// double at their date.
function micros(text) {
  const m = /^(-?\d+)-(\d+)-(\d+) (\d+):(\d+):(\d+)(?:\.(\d+))?$/.exec(text);
  if (!m) return null;
  const whole = Date.UTC(Number(m[1]), Number(m[2]) - 1, Number(m[3]), Number(m[4]),
                         Number(m[5]), Number(m[6]));
  return BigInt(whole) * 1000n + BigInt((m[7] || '').padEnd(6, '0').slice(0, 6));
}

function alike(name, a, b) {
  if (a === b) return true;
  if (typeof a === 'number' && typeof b === 'number') return Object.is(a, b);
  if (name === 'ts' && a !== null && b !== null) {
    const x = micros(a), y = micros(b);
    if (x === null || y === null) return false;
    const seconds = Math.abs(Number(x) / 1e6 - Date.UTC(1960, 0, 1) / 1e3) || 1;
    const step = BigInt(Math.ceil(2 ** (Math.floor(Math.log2(seconds)) - 52) * 1e6)) + 1n;
    return x - y <= step && y - x <= step;
  }
  return false;
}

function compareRows(what, expected, actual) {
  if (expected.length !== actual.length) {
    console.error(`interop: ${what}: ${expected.length} rows expected, ${actual.length} read`);
    process.exit(1);
  }
  for (let r = 0; r < expected.length; ++r) {
    for (const name of Object.keys(types)) {
      const a = normal(name, expected[r][name]);
      const b = normal(name, actual[r][name]);
      if (!alike(name, a, b)) {
        console.error(`interop: ${what}: row ${r + 1}, column ${name}: ` +
                      `${JSON.stringify(a)} and ${JSON.stringify(b)}`);
        process.exit(1);
      }
    }
  }
  console.log(`interop: ${what}: ${expected.length} rows alike`);
}

const jsonLines = (path) => readFileSync(path, 'utf8').split('\n').filter((l) => l !== '')
  .map((l) => JSON.parse(l));

const [mode, first, second] = process.argv.slice(2);
if (mode === 'compare') {
  compareRows(`${first} and ${second}`, jsonLines(first), jsonLines(second));
  process.exit(0);
}
const instance = await DuckDBInstance.create(':memory:', { threads: '1' });
const connection = await instance.connect();
const rowsOf = async (sql) => (await connection.runAndReadAll(sql)).getRowObjectsJson();
if (mode === 'read') {
  const peer = await rowsOf(`SELECT * FROM ${readCsv(first)} ORDER BY id`);
  compareRows(`the peer's read_csv of ${first} and kova's rip`, jsonLines(second), peer);
} else if (mode === 'write') {
  await connection.run(`CREATE TABLE t AS SELECT * FROM ${readCsv(first)}`);
  await connection.run(`COPY (SELECT * FROM t ORDER BY id) TO ${quote(second)} ` +
                       `(FORMAT csv, HEADER, DELIMITER ',')`);
  const rows = await rowsOf('SELECT * FROM t ORDER BY id');
  writeFileSync(second + '.jsonl', rows.map((r) => JSON.stringify(r)).join('\n') + '\n');
} else {
  console.error('usage: node interop.mjs read CSV KOVA_JSONL | write SOURCE OUT | compare A B');
  process.exit(2);
}
