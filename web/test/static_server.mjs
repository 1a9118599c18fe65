// A static file server on the loopback interface, as any would serve the page.
import { createServer } from 'node:http';
import { createReadStream, statSync } from 'node:fs';
import path from 'node:path';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };

// Serves dir; resolves to { url, close }.
export function serve(dir) {
    const server = createServer((req, res) => {
        const name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
        const file = path.join(dir, path.normalize(name === '/' ? '/index.html' : name));
        let ok = file.startsWith(dir);
        try { ok &&= statSync(file).isFile(); } catch { ok = false; }
        if (!ok) {
            res.writeHead(404).end();
            return;
        }
        res.writeHead(200, { 'content-type': types[path.extname(file)] ?? 'application/octet-stream' });
        createReadStream(file).pipe(res);
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () =>
        resolve({ url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() })));
}
