// Times a join of the given GIFs in the page, in headless Chromium, and
// follows the memory of the page's renderer process (the page and its
// worker) from the moment Join is pressed to the one the joined animation
// shows: its own memory (anonymous resident pages, polled every 10 ms) at
// the start and at its peak, and the peak of all it has resident, shared
// pages included. Prints one JSON line.
// Usage: node bench/web/page_join.mjs SITE_DIR FILE...
import { readFileSync, readdirSync } from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(path.join(here, '../../web/test/package.json'));
const puppeteer = require('puppeteer-core');
const { serve } = await import(path.join(here, '../../web/test/static_server.mjs'));

const [site, ...files] = process.argv.slice(2);
const kib = (pid, field) => {
    const line = readFileSync(`/proc/${pid}/status`, 'utf8').split('\n').find((l) => l.startsWith(field));
    return line ? Number.parseInt(line.split(/\s+/)[1], 10) : 0;
};
// The renderer processes under the browser: the page's is the one that grows.
const renderers = (root) => {
    const out = [];
    const walk = (pid) => {
        for (const task of readdirSync(`/proc/${pid}/task`)) {
            let children = '';
            try { children = readFileSync(`/proc/${pid}/task/${task}/children`, 'utf8'); } catch { continue; }
            for (const c of children.split(' ').filter(Boolean)) {
                const cmd = readFileSync(`/proc/${c}/cmdline`, 'utf8');
                if (cmd.includes('--type=renderer')) out.push(Number(c));
                walk(c);
            }
        }
    };
    walk(root);
    return out;
};

const server = await serve(path.resolve(site));
const browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium', headless: true, args: ['--no-sandbox'] });
try {
    const page = await browser.newPage();
    await page.goto(server.url);
    const pids = renderers(browser.process().pid);
    const own = () => Math.max(...pids.map((p) => kib(p, 'RssAnon:')));
    await (await page.$('input#files')).uploadFile(...files.map((f) => path.resolve(f)));
    const start = own();
    let peak = start;
    const poll = setInterval(() => { peak = Math.max(peak, own()); }, 10);
    const t0 = performance.now();
    await page.click('#join');
    await page.waitForFunction(() => document.querySelector('#progress').textContent === 'Joined' &&
                               document.querySelector('#result').complete && document.querySelector('#result').naturalWidth > 0,
                               { timeout: 600000, polling: 20 });
    const seconds = (performance.now() - t0) / 1000;
    clearInterval(poll);
    peak = Math.max(peak, own());
    const resident = Math.max(...pids.map((p) => kib(p, 'VmHWM:')));
    const out = await page.$eval('#size-out', (s) => s.textContent);
    const mib = (k) => Math.round(k / 102.4) / 10;
    console.log(JSON.stringify({ seconds: Math.round(seconds * 1000) / 1000, own_start_mib: mib(start), own_peak_mib: mib(peak),
                                 resident_peak_mib: mib(resident), out }));
} finally {
    await browser.close();
    server.close();
}
