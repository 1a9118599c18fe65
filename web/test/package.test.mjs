// The npm package against the native program: join() and the reeljoin
// command give its bytes, messages and status, in every mode.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const web = path.resolve(root, process.env.WEB_DIR ?? 'build-web');
const native = path.resolve(root, process.env.REELJOIN_NATIVE ?? 'build-tests/reeljoin');
const bin = path.join(web, 'npm/bin/reeljoin.mjs');
const { join, JoinError } = await import(path.join(web, 'npm/index.mjs'));

const gifs = (dir) => readdirSync(path.join(root, dir)).filter((f) => f.endsWith('.gif')).sort().map((f) => `${dir}/${f}`);
const examples = gifs('examples');
const crafted = [...gifs('fuzz/corpus'), ...gifs('fuzz/regressions')];
const scratch = mkdtempSync(path.join(tmpdir(), 'reeljoin-web-'));

// The native program's join of the names (selections among them) into a file: bytes, lines, status.
function nativeJoin(flags, names) {
    const out = path.join(scratch, 'native.gif');
    // Warnings and messages as one stream, in the order they come.
    const r = spawnSync('sh', ['-c', '"$0" "$@" 2>&1', native, ...flags, '-o', out, ...names], { cwd: root, encoding: 'utf8' });
    const lines = r.stdout.split('\n').filter(Boolean);
    return { status: r.status, lines, gif: r.status === 0 ? readFileSync(out) : null };
}

// The same join through join(): names become inputs in memory, selections their select.
async function packageJoin(options, names) {
    const inputs = [];
    for (const n of names) {
        if (n.startsWith('#')) inputs[inputs.length - 1].select.push(n);
        else inputs.push({ name: n, data: readFileSync(path.join(root, n)), select: [] });
    }
    try {
        const r = await join(inputs, options);
        return { status: 0, lines: r.messages, gif: Buffer.from(r.gif) };
    } catch (e) {
        assert.ok(e instanceof JoinError, String(e));
        return { status: 1, lines: e.messages, gif: null };
    }
}

const modes = [
    ['default', [], {}],
    ['keep delays, centred', ['--keep-delays', '--center'], { keepDelays: true, center: true }],
    ['fit, compact', ['--fit', '--compact'], { fit: true, compact: true }],
    ['delays, loop count', ['-d', '7', '-e', '300', '--loop=3'], { delay: 7, lastDelay: 300, loop: 3 }],
    ['no loop, quiet', ['-s', '--no-loop'], { noLoop: true, quiet: true }],
];
const joins = [
    ['the examples', examples],
    ['the crafted inputs', crafted],
    ['selections', [examples[0], '#-1-0', examples[1], '#2-', examples[2], '#1', '#0-3']],
    ['each crafted input alone, backwards', null],
];

for (const [mode, flags, options] of modes) {
    test(`join() gives the native bytes and messages: ${mode}`, async () => {
        for (const [what, names] of joins) {
            const sets = names ? [names] : crafted.map((n) => [n, '#-1-0']);
            for (const set of sets) {
                const want = nativeJoin(flags, set), got = await packageJoin(options, set);
                assert.equal(got.status, want.status, `${what}: ${set.join(' ')}`);
                assert.deepEqual(got.lines, want.lines, `${what}: ${set.join(' ')}`);
                assert.ok(want.gif === null || want.gif.equals(got.gif), `${what}: ${set.join(' ')}: other bytes`);
            }
        }
    });
}

test('join() refuses as the program does', async () => {
    const gif = readFileSync(path.join(root, examples[0]));
    const cases = [
        [[], {}, 'reeljoin: no input files'],
        [[gif], { delay: 70000 }, 'Invalid option value: -d 70000'],
        [[gif], { loop: -1 }, 'Invalid option value: --loop=-1'],
        [[gif], { colours: 3 }, 'Unknown option: colours'],
        [[{ data: gif, select: '#1-x' }], {}, "reeljoin: '#1-x' is not a frame selection; selections are #N, #A-B and #A-"],
        [[new Uint8Array([71, 73, 70])], {}, nativeJoin([], ['fuzz/regressions/empty.gif']).lines.at(-1)],
    ];
    for (const [inputs, options, message] of cases) {
        await assert.rejects(join(inputs, options), (e) => e instanceof JoinError && e.message === message, message);
    }
    await assert.rejects(join(['clip.gif']), TypeError);
    const named = await join([gif, new Uint8Array(gif).buffer]);
    assert.deepEqual(named.messages, ['Processing: input1.gif', 'Processing: input2.gif']);
});

// The command on Node and the native one, run alike: status, standard output and error.
function both(args, input) {
    const run = (argv) => spawnSync(argv[0], [...argv.slice(1), ...args], { cwd: root, input, maxBuffer: 1 << 28 });
    return [run([process.execPath, bin]), run([native])];
}

test('the reeljoin command behaves as the native one', () => {
    const outA = path.join(scratch, 'a.gif'), outB = path.join(scratch, 'b.gif');
    const cases = [
        [['-o', outA, ...examples], ['-o', outB, ...examples]],
        [['--keep-delays', '--center', '-o', outA, examples[2], '#-1-0', ...examples], ['--keep-delays', '--center', '-o', outB, examples[2], '#-1-0', ...examples]],
        [['-o', '-', ...examples]],
        [['-s', '-o', '-', '-'], null, readFileSync(path.join(root, examples[1]))],
        [['-o', outA, 'no-such.gif']],
        [['-d', '70000', examples[0]]],
        [['--help']],
        [['--version']],
    ];
    for (const [args, nativeArgs, input] of cases) {
        const [onNode] = both(args, input);
        const [, natively] = both(nativeArgs ?? args, input);
        const what = args.join(' ');
        assert.equal(onNode.status, natively.status, what);
        assert.ok(onNode.stdout.equals(natively.stdout), `${what}: standard output`);
        assert.equal(onNode.stderr.toString(), natively.stderr.toString(), `${what}: standard error`);
        if (args.includes(outA)) assert.ok(readFileSync(outA).equals(readFileSync(outB)), `${what}: the files`);
    }
});

test('the command reads from and writes to pipes', () => {
    const shell = (cmd) => execFileSync('sh', ['-c', cmd], { cwd: root, maxBuffer: 1 << 28 });
    const names = examples.join(' ');
    const onNode = shell(`cat ${names} | "${process.execPath}" "${bin}" -o - - ${names} | cat`);
    const natively = shell(`cat ${names} | "${native}" -o - - ${names} | cat`);
    assert.ok(onNode.equals(natively));
    assert.ok(onNode.length > 1000);
});

test('the WebAssembly vector scan finds what the code-by-code scan finds', () => {
    const r = spawnSync(process.execPath, [path.join(web, 'scan_check.cjs')], { encoding: 'utf8' });
    assert.equal(r.status, 0, r.stdout + r.stderr);
});

test('the package packs, installs with nothing else, and runs from where it is installed', () => {
    const project = mkdtempSync(path.join(tmpdir(), 'reeljoin-install-'));
    const npm = (args, cwd) => execFileSync('npm', [...args, '--no-audit', '--no-fund', '--loglevel=error'], { cwd, encoding: 'utf8' });
    const tarball = npm(['pack', '--pack-destination', project], path.join(web, 'npm')).trim().split('\n').pop();
    writeFileSync(path.join(project, 'package.json'), JSON.stringify({ name: 'user', private: true, type: 'module' }));
    npm(['install', '--offline', path.join(project, tarball)], project);
    const version = execFileSync('npx', ['--no-install', 'reeljoin', '--version'], { cwd: project, encoding: 'utf8' });
    assert.equal(version, spawnSync(native, ['--version'], { encoding: 'utf8' }).stdout);
    writeFileSync(path.join(project, 'use.mjs'), `import { join } from 'reeljoin';
import { readFileSync } from 'node:fs';
const { gif } = await join(process.argv.slice(2).map((f) => readFileSync(f)), { quiet: true });
process.stdout.write(gif);`);
    const joined = execFileSync(process.execPath, ['use.mjs', ...examples.map((f) => path.join(root, f))], { cwd: project });
    assert.ok(joined.equals(nativeJoin(['-s'], examples).gif));
});

test('the package\'s types take what join() takes, and refuse what it refuses', () => {
    const tsc = path.join(root, 'web/test/node_modules/typescript/bin/tsc');
    const dir = mkdtempSync(path.join(tmpdir(), 'reeljoin-types-'));
    const check = (source) => {
        writeFileSync(path.join(dir, 'use.ts'), source);
        writeFileSync(path.join(dir, 'tsconfig.json'), JSON.stringify({
            compilerOptions: { strict: true, noEmit: true, target: 'es2022', module: 'esnext', moduleResolution: 'bundler',
                               paths: { reeljoin: [path.join(web, 'npm/index.d.ts')] } },
            files: ['use.ts'],
        }));
        return spawnSync(process.execPath, [tsc, '-p', dir], { encoding: 'utf8' });
    };
    const fine = check(readFileSync(path.join(root, 'web/test/types_check.ts'), 'utf8'));
    assert.equal(fine.status, 0, fine.stdout);
    const wrong = check("import { join } from 'reeljoin';\nvoid join([{ data: 'clip.gif' }], { keep: true });\n");
    assert.notEqual(wrong.status, 0);
    assert.match(wrong.stdout, /use\.ts\(2,\d+\): error TS/);
});
