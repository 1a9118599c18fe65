// Runs joins off the page's thread: reads the picked files one at a time
// into the WebAssembly core, joins them and hands back the GIF.
import createReeljoin from './reeljoin-core.mjs';
import { checkOptions, normaliseInput, startJoin, addInput, finishJoin } from './join-core.mjs';

let core;

async function run({ files, options }) {
    core ??= await createReeljoin({ onJoinMessage: (line) => postMessage({ type: 'message', line }) });
    const join = startJoin(core, checkOptions(options));
    try {
        for (let i = 0; i < files.length; ++i) {
            postMessage({ type: 'progress', done: i, total: files.length, name: files[i].file.name });
            const data = new Uint8Array(await files[i].file.arrayBuffer());
            addInput(core, join, normaliseInput({ name: files[i].file.name, data, select: files[i].select }, i));
        }
    } catch (e) {
        core._rj_destroy(join);
        throw e;
    }
    postMessage({ type: 'progress', done: files.length, total: files.length, name: '' });
    const { written, gif, messages } = finishJoin(core, join);
    postMessage({ type: 'done', written, gif, messages }, [gif.buffer]);
}

onmessage = ({ data }) => {
    run(data).catch((e) => postMessage({ type: 'done', written: false, gif: null, messages: e.messages ?? [String(e.message ?? e)] }));
};
