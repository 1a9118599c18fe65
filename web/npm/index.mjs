// reeljoin for Node: joins GIFs held in memory into one animated GIF,
// copying every image's compressed data through unchanged, byte for byte as
// the reeljoin program does.
import { createRequire } from 'node:module';
import { joinOn, JoinError, defaults } from './join-core.mjs';

const require = createRequire(import.meta.url);
let core;  // one instance of the WebAssembly core, made at the first join

async function instance() {
    core ??= await require('./lib/reeljoin-core.cjs')();
    return core;
}

// join(inputs, options) resolves to { gif, messages }; it rejects with a
// JoinError (its message the program's last line, .messages all of them)
// where the program would exit with status 1.
export async function join(inputs, options = {}) {
    return joinOn(await instance(), inputs, options);
}

export { JoinError, defaults };
