// One join on an instance of the WebAssembly core, shared by Node's join()
// and the page's worker: options checked as the command line checks them,
// inputs copied once into WebAssembly memory, the join run, its output and
// messages read back.

// The command line's defaults.
export const defaults = Object.freeze({
    delay: 20, lastDelay: 80, keepDelays: false, fit: false, center: false,
    compact: false, loop: undefined, noLoop: false, quiet: false,
});

// Each option: its setting in the core, and how the command line names it in a message.
const settings = {
    delay: ['delay', '-d'], lastDelay: ['last-delay', '-e'], keepDelays: ['keep-delays'],
    fit: ['fit'], center: ['center'], compact: ['compact'], loop: ['loop', '--loop='],
    noLoop: ['no-loop'], quiet: ['quiet'],
};

export class JoinError extends Error {
    constructor(message, messages) {
        super(message);
        this.name = 'JoinError';
        this.messages = messages;
    }
}

const frameCount = (v) => Number.isInteger(v) && v >= 0 && v <= 65535;

// The settings as [core name, value] pairs; throws a JoinError as the command line exits 1.
export function checkOptions(options = {}) {
    const pairs = [];
    for (const [key, value] of Object.entries(options)) {
        if (value === undefined) continue;
        const setting = settings[key];
        if (!setting) throw new JoinError(`Unknown option: ${key}`, [`Unknown option: ${key}`]);
        const [name, flag] = setting;
        if (flag) {
            if (!frameCount(value)) {
                const line = `Invalid option value: ${flag}${flag.endsWith('=') ? '' : ' '}${value}`;
                throw new JoinError(line, [line]);
            }
            pairs.push([name, value]);
        } else {
            pairs.push([name, value ? 1 : 0]);
        }
    }
    return pairs;
}

// An input as given: bytes, or { name, data, select }.
export function normaliseInput(input, i) {
    const bytes = (d) => (d instanceof ArrayBuffer ? new Uint8Array(d) : d);
    const given = input instanceof Uint8Array || input instanceof ArrayBuffer ? { data: input } : input;
    const data = bytes(given && given.data);
    if (!(data instanceof Uint8Array)) throw new TypeError(`input ${i + 1}: a Uint8Array or { name, data, select }`);
    const select = given.select === undefined ? [] : [].concat(given.select);
    return { name: given.name ?? `input${i + 1}.gif`, data, select };
}

function withString(core, text, f) {
    const size = core.lengthBytesUTF8(text) + 1;
    const at = core._malloc(size);
    core.stringToUTF8(text, at, size);
    try {
        return f(at);
    } finally {
        core._free(at);
    }
}

export function startJoin(core, pairs) {
    const join = core._rj_create();
    for (const [name, value] of pairs) withString(core, name, (at) => core._rj_set(join, at, value));
    return join;
}

// Copies one input into the join; throws where a selection is malformed.
export function addInput(core, join, { name, data, select }) {
    const at = withString(core, name, (n) => core._rj_add_input(join, n, data.length));
    core.HEAPU8.set(data, at);
    for (const word of select) {
        if (!withString(core, String(word), (w) => core._rj_add_selection(join, w))) {
            const line = `reeljoin: '${word}' is not a frame selection; selections are #N, #A-B and #A-`;
            throw new JoinError(line, [line]);
        }
    }
}

// Runs the join and frees it: { written, gif, messages }.
export function finishJoin(core, join) {
    try {
        const written = core._rj_run(join) === 1;
        const messages = [];
        for (let i = 0; i < core._rj_message_count(join); ++i) messages.push(core.UTF8ToString(core._rj_message(join, i)));
        const at = core._rj_output(join);
        const gif = written ? core.HEAPU8.slice(at, at + core._rj_output_size(join)) : new Uint8Array(0);
        return { written, gif, messages };
    } finally {
        core._rj_destroy(join);
    }
}

// The whole join on bytes given at once.
export function joinOn(core, inputs, options) {
    const pairs = checkOptions(options);
    const given = [].concat(inputs).map(normaliseInput);
    if (given.length === 0) throw new JoinError('reeljoin: no input files', ['reeljoin: no input files']);
    const join = startJoin(core, pairs);
    try {
        for (const input of given) addInput(core, join, input);
    } catch (e) {
        core._rj_destroy(join);
        throw e;
    }
    const result = finishJoin(core, join);
    if (!result.written) {
        const last = result.messages[result.messages.length - 1] ?? 'reeljoin: nothing was joined';
        throw new JoinError(last, result.messages);
    }
    return { gif: result.gif, messages: result.messages };
}
