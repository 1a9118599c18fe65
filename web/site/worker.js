// Runs joins off the page's thread. The picked files are read a block at
// a time as the join asks for them, and the join comes back in blocks, so
// that neither the inputs nor the output are held whole in WebAssembly
// memory.
import createReeljoin from './reeljoin-core.mjs';
import { checkOptions, normaliseInput, runJoin } from './join-core.mjs';

let core;

function reader(file, select, i, total) {
    const sync = new FileReaderSync();
    let shown = -1;
    return {
        ...normaliseInput({ name: file.name, data: new Uint8Array(0), select }, i),
        size: file.size,
        read(at, n) {
            const part = Math.floor((at / Math.max(file.size, 1)) * 10);
            if (part !== shown) {  // a tenth at a time
                shown = part;
                postMessage({ type: 'progress', file: i, total, name: file.name, part });
            }
            return new Uint8Array(sync.readAsArrayBuffer(file.slice(at, at + n)));
        },
    };
}

function run({ files, options }) {
    core ??= createReeljoin({ onJoinMessage: (line) => postMessage({ type: 'message', line }) });
    return core.then((c) => {
        const pairs = checkOptions(options);
        const inputs = files.map(({ file, select }, i) => reader(file, select, i, files.length));
        const blocks = [];
        const { written, messages } = runJoin(c, pairs, inputs, (b) => blocks.push(b.slice()));
        postMessage({ type: 'done', written, blocks: written ? blocks : [], messages }, written ? blocks.map((b) => b.buffer) : []);
    });
}

onmessage = ({ data }) => {
    run(data).catch((e) => postMessage({ type: 'done', written: false, blocks: [], messages: e.messages ?? [String(e.message ?? e)] }));
};
