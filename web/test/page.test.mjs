// The page in a real browser: files set on its input, the join pressed,
// the bytes behind its download link compared with the native program's.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';
import { serve } from './static_server.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const web = path.resolve(root, process.env.WEB_DIR ?? 'build-web');
const native = path.resolve(root, process.env.REELJOIN_NATIVE ?? 'build-tests/reeljoin');
const examples = ['orbit', 'sunrise', 'waves'].map((n) => path.join(root, 'examples', `${n}.gif`));
const scratch = mkdtempSync(path.join(tmpdir(), 'reeljoin-page-'));

let site, browser, page;

before(async () => {
    site = await serve(path.join(web, 'site'));
    browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium', headless: true, args: ['--no-sandbox'] });
    page = await browser.newPage();
    await page.setViewport({ width: 900, height: 1100 });
    await page.goto(site.url);
});

after(async () => {
    await browser?.close();
    site?.close();
});

function nativeJoin(flags, files) {
    const out = path.join(scratch, 'native.gif');
    const r = spawnSync(native, [...flags, '-o', out, ...files]);
    assert.equal(r.status, 0, r.stdout.toString());
    return readFileSync(out);
}

// Presses Join and waits for a new link; returns the bytes behind it.
async function joined() {
    const old = await page.$eval('#download', (a) => a.href);
    await page.click('#join');
    await page.waitForFunction((o) => document.querySelector('#download').href !== o && !document.querySelector('#join').disabled, {}, old);
    const bytes = await page.$eval('#download', async (a) => {
        const r = await fetch(a.href);
        return btoa(String.fromCharCode(...new Uint8Array(await r.arrayBuffer())));
    });
    return Buffer.from(bytes, 'base64');
}

test('the page joins picked files as the program does, with its defaults for clips', async () => {
    const input = await page.$('input#files');
    await input.uploadFile(...examples);
    assert.deepEqual(await page.$$eval('#list .name', (n) => n.length), 3);
    const gif = await joined();
    assert.ok(gif.equals(nativeJoin(['--keep-delays', '--center'], examples)), 'the join differs from the native one');
    assert.equal(await page.$eval('#download', (a) => a.download), 'joined.gif');
    await page.waitForFunction(() => document.querySelector('#result').naturalWidth > 0);
    const messages = await page.$$eval('#messages li', (l) => l.map((x) => x.textContent));
    assert.deepEqual(messages, examples.map((f) => `Processing: ${path.basename(f)}`));
    mkdirSync(path.join(web, 'screenshots'), { recursive: true });
    await page.screenshot({ path: path.join(web, 'screenshots', 'page.png'), fullPage: true });
});

test('the page joins in the order shown, with the options ticked', async () => {
    await page.click('button[aria-label="Move orbit.gif down"]');  // sunrise, orbit, waves
    await page.click('button[aria-label="Remove waves.gif"]');
    await page.click('#keep-delays');
    await page.click('#compact');
    await page.$eval('#delay', (d) => { d.value = '7'; });
    const names = await page.$$eval('#list .name', (n) => n.map((x) => x.textContent.split(' ')[0]));
    assert.deepEqual(names, ['sunrise.gif', 'orbit.gif']);
    const gif = await joined();
    assert.ok(gif.equals(nativeJoin(['--center', '--compact', '-d', '7'], [examples[1], examples[0]])));
});

test('the page shows why a join fails', async () => {
    await page.$eval('#list .select', (s) => { s.value = '#1-x'; s.dispatchEvent(new Event('input')); });
    await page.click('#join');
    await page.waitForFunction(() => document.querySelector('#progress').textContent === 'Not joined');
    const messages = await page.$$eval('#messages li', (l) => l.map((x) => x.textContent));
    assert.deepEqual(messages, ["reeljoin: '#1-x' is not a frame selection; selections are #N, #A-B and #A-"]);
});
