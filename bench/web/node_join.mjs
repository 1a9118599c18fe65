// Times one join() of the npm package in a fresh Node process: the call,
// from the inputs in memory to the joined GIF in memory, its WebAssembly
// start included (the files are read before, the join is not written).
// Prints the seconds and the output's size as one JSON line.
// Usage: node bench/web/node_join.mjs NPM_DIR FILE...
import { readFileSync } from 'node:fs';
import path from 'node:path';

const [pkg, ...files] = process.argv.slice(2);
const { join } = await import(path.resolve(pkg, 'index.mjs'));
const inputs = files.map((f) => ({ name: f, data: readFileSync(f) }));
const t0 = performance.now();
const { gif } = await join(inputs, { quiet: true });
const seconds = (performance.now() - t0) / 1000;
console.log(JSON.stringify({ seconds: Math.round(seconds * 10000) / 10000, out_bytes: gif.length }));
