// Runs joins off the page's thread. A picked file is read whole when the
// join first reads on from its start, and dropped when it reads another,
// so that one file at a time is held; the join comes back in blocks, each
// made a Blob at once, so that the output is not held in the page either.
import createReeljoin from './reeljoin-core.mjs';
import { checkOptions, normaliseInput, runJoin } from './join-core.mjs';

let core;

function readers(files) {
    const sync = new FileReaderSync();
    let held = { file: null, bytes: null };  // the one file read
    let shown = -1;
    return files.map(({ file, select }, i) => ({
        ...normaliseInput({ name: file.name, data: new Uint8Array(0), select }, i),
        size: file.size,
        read(at, n) {
            // A look at a file's start (its screen, before the join) reads that part alone.
            if (held.file !== file && at === 0 && n < file.size) return new Uint8Array(sync.readAsArrayBuffer(file.slice(0, n)));
            if (held.file !== file) {
                held = { file: null, bytes: null };  // the last file's bytes go first
                held = { file, bytes: new Uint8Array(sync.readAsArrayBuffer(file)) };
            }
            if (i !== shown) {
                shown = i;
                postMessage({ type: 'progress', file: i, total: files.length, name: file.name });
            }
            return held.bytes.subarray(at, at + n);
        },
    }));
}

async function run({ files, options }) {
    core ??= createReeljoin({ onJoinMessage: (line) => postMessage({ type: 'message', line }) });
    const c = await core;
    const pairs = checkOptions(options);
    const blocks = [];
    const { written, messages } = runJoin(c, pairs, readers(files), (b) => blocks.push(new Blob([b])));
    const gif = written ? new Blob(blocks, { type: 'image/gif' }) : null;
    postMessage({ type: 'done', written, gif, messages });
}

onmessage = ({ data }) => {
    run(data).catch((e) => postMessage({ type: 'done', written: false, gif: null, messages: e.messages ?? [String(e.message ?? e)] }));
};
