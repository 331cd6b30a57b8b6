// Times the peer database reading JSON lines single-threaded, with the same
// explicit column types as bench/json_typed.xml, and aggregating every
// column so that each value is parsed without the table being stored.
// usage: node duckdb_read_json.mjs FILE ROUNDS
// Prints one line per round: "seconds <wall> cpu <process cpu>", timed inside
// node around the query.
import { DuckDBInstance } from '@duckdb/node-api';

const [file, roundsText] = process.argv.slice(2);
const rounds = Number(roundsText || 5);
const columns = {
  id: 'INTEGER', big: 'BIGINT', x: 'DOUBLE', name: 'VARCHAR', code: 'VARCHAR',
  day: 'DATE', amount: 'DECIMAL(12,2)', at: 'TIMESTAMP',
};
const columnList = Object.entries(columns).map(([n, t]) => `'${n}': '${t}'`).join(', ');
const aggregates = Object.keys(columns).map((n) => `max("${n}")`).join(', ');
const sql = `SELECT ${aggregates} FROM read_json('${file.replace(/'/g, "''")}', ` +
  `format = 'newline_delimited', columns = {${columnList}})`;

const instance = await DuckDBInstance.create(':memory:', { threads: '1' });
const connection = await instance.connect();
await connection.run('SET threads = 1');
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
