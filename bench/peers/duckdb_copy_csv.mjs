// Times the peer database writing a table it holds in memory as CSV with
// COPY ... TO, single-threaded: the delimited benchmark table, read once
// with its column types before timing, written to /dev/null.
// usage: node duckdb_copy_csv.mjs FILE ROUNDS
// Prints one line per round: "seconds <wall> cpu <process cpu>".
import { DuckDBInstance } from '@duckdb/node-api';

const [file, roundsText] = process.argv.slice(2);
const rounds = Number(roundsText || 5);
const columns = "{'id': 'INTEGER', 'big': 'BIGINT', 'x': 'DOUBLE', 'name': 'VARCHAR', " +
  "'code': 'VARCHAR', 'day': 'DATE', 'amount': 'DECIMAL(12,2)', 'at': 'TIMESTAMP'}";
const instance = await DuckDBInstance.create(':memory:', { threads: '1' });
const connection = await instance.connect();
await connection.run('SET threads = 1');
await connection.run(`CREATE TABLE t AS SELECT * FROM read_csv('${file.replace(/'/g, "''")}', ` +
  `header = true, delim = ',', quote = '"', escape = '"', columns = ${columns})`);
for (let round = 0; round < rounds; ++round) {
  const start = process.hrtime.bigint();
  const cpuStart = process.cpuUsage();
  await connection.run("COPY t TO '/dev/null' (FORMAT csv, HEADER, DELIMITER ',')");
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  const cpu = process.cpuUsage(cpuStart);
  console.log(`seconds ${seconds} cpu ${(cpu.user + cpu.system) / 1e6}`);
}
