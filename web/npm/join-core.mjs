// One join on an instance of the WebAssembly core, shared by Node's join()
// and the page's worker: options checked as the command line checks them,
// inputs given to the core a block at a time as it reads them, its output
// taken back in blocks as they are final, and its messages.

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

// Delays and loop counts are 16-bit fields of the file.
const fitsField = (v) => Number.isInteger(v) && v >= 0 && v <= 65535;

// The settings as [core name, value] pairs; throws a JoinError as the command line exits 1.
export function checkOptions(options = {}) {
    const pairs = [];
    for (const [key, value] of Object.entries(options)) {
        if (value === undefined) continue;
        const setting = settings[key];
        if (!setting) throw new JoinError(`Unknown option: ${key}`, [`Unknown option: ${key}`]);
        const [name, flag] = setting;
        if (flag) {
            if (!fitsField(value)) {
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

// Runs one join on the core. Each input is { name, size, read(at, n) } with
// its selections; read gives n bytes from offset at (a Uint8Array) or null
// where it cannot. The output comes back in blocks, each handed to
// takeBlock as a view into WebAssembly memory, valid only during the call.
// Returns { written, messages }; throws a JoinError where a selection is
// malformed.
export function runJoin(core, pairs, inputs, takeBlock) {
    const join = core._rj_create();
    try {
        for (const [name, value] of pairs) withString(core, name, (at) => core._rj_set(join, at, value));
        for (const input of inputs) {
            withString(core, input.name, (n) => core._rj_add_input(join, n, input.size));
            for (const word of input.select) {
                if (!withString(core, String(word), (w) => core._rj_add_selection(join, w))) {
                    const line = `reeljoin: '${word}' is not a frame selection; selections are #N, #A-B and #A-`;
                    throw new JoinError(line, [line]);
                }
            }
        }
        core.readInput = (k, at, into, n) => {
            const bytes = inputs[k].read(at, n);
            if (!bytes || bytes.length !== n) return false;
            core.HEAPU8.set(bytes, into);
            return true;
        };
        core.takeOutput = (at, n) => {
            takeBlock(core.HEAPU8.subarray(at, at + n));
            return true;
        };
        const written = core._rj_run(join) === 1;
        const messages = [];
        for (let i = 0; i < core._rj_message_count(join); ++i) messages.push(core.UTF8ToString(core._rj_message(join, i)));
        return { written, messages };
    } finally {
        core._rj_destroy(join);
    }
}

// Gathers a join's blocks into one buffer. A join is about as large as
// its inputs, a little larger where frames gain tables of their own, so the
// buffer is made a quarter larger than they are: pages never written cost
// nothing, and growing would copy all that came before.
export class Gathered {
    constructor(inputs) {
        this.bytes = new Uint8Array(Math.max(Math.ceil(inputs * 1.25), 1 << 16));
        this.size = 0;
    }

    take(block) {
        if (this.size + block.length > this.bytes.length) {
            const larger = new Uint8Array(Math.max(2 * this.bytes.length, this.size + block.length));
            larger.set(this.bytes.subarray(0, this.size));
            this.bytes = larger;
        }
        this.bytes.set(block, this.size);
        this.size += block.length;
    }

    result() { return this.bytes.subarray(0, this.size); }
}

// The whole join on bytes given at once: { gif, messages }.
export function joinOn(core, inputs, options) {
    const pairs = checkOptions(options);
    const given = [].concat(inputs).map(normaliseInput);
    if (given.length === 0) throw new JoinError('reeljoin: no input files', ['reeljoin: no input files']);
    const readers = given.map(({ name, data, select }) => ({
        name, select, size: data.length, read: (at, n) => data.subarray(at, at + n),
    }));
    const out = new Gathered(readers.reduce((n, r) => n + r.size, 0));
    const { written, messages } = runJoin(core, pairs, readers, (b) => out.take(b));
    if (!written) {
        const last = messages[messages.length - 1] ?? 'reeljoin: nothing was joined';
        throw new JoinError(last, messages);
    }
    return { gif: out.result(), messages };
}
