// Times the peer database reading a delimited table (single-threaded unless
// THREADS says otherwise), with the same explicit column types, and
// aggregating every column so that each value is parsed without the table
// being stored.
// usage: node duckdb_read_csv.mjs FILE ROUNDS [typed|text] [THREADS]
// Prints one line per round: "seconds <wall> cpu <process cpu>", timed inside
// node around the query.
import { DuckDBInstance } from '@duckdb/node-api';

const [file, roundsText, mode = 'typed', threadsText = '1'] = process.argv.slice(2);
const rounds = Number(roundsText || 5);
const threads = Number(threadsText);
const typed = {
  id: 'INTEGER', big: 'BIGINT', x: 'DOUBLE', name: 'VARCHAR', code: 'VARCHAR',
  day: 'DATE', amount: 'DECIMAL(12,2)', at: 'TIMESTAMP',
};
const columns = Object.fromEntries(
  Object.entries(typed).map(([name, type]) => [name, mode === 'typed' ? type : 'VARCHAR']));
const columnList = Object.entries(columns).map(([n, t]) => `'${n}': '${t}'`).join(', ');
const aggregates = Object.keys(columns).map((n) => `max("${n}")`).join(', ');
const sql = `SELECT ${aggregates} FROM read_csv('${file.replace(/'/g, "''")}', ` +
  `header = true, delim = ',', quote = '"', escape = '"', columns = {${columnList}}, ` +
  `parallel = ${threads > 1 ? 'true' : 'false'})`;

const instance = await DuckDBInstance.create(':memory:', { threads: String(threads) });
const connection = await instance.connect();
await connection.run(`SET threads = ${threads}`);
for (let round = 0; round < rounds; ++round) {
  const start = process.hrtime.bigint();
  const cpuStart = process.cpuUsage();
  const reader = await connection.runAndReadAll(sql);
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  const cpu = process.cpuUsage(cpuStart);
  const cpuSeconds = (cpu.user + cpu.system) / 1e6;
  if (round === 0) console.error(`peer: ${JSON.stringify(reader.getRows()[0].map(String))}`);
  console.log(`seconds ${seconds} cpu ${cpuSeconds}`);
}
