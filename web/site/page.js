// The page: the GIFs picked or dropped, in order, the options, and the
// join, which runs in a worker so that large drops leave the page alive.
const $ = (id) => document.getElementById(id);
const picked = [];  // { file, select } in the order they play
let worker;
let resultUrl;

const sizeText = (n) => (n < 1024 ? `${n} bytes` : n < 1 << 20 ? `${(n / 1024).toFixed(1)} KB` : `${(n / (1 << 20)).toFixed(1)} MB`);

function button(text, label, onClick) {
    const b = document.createElement('button');
    b.type = 'button';
    b.textContent = text;
    b.setAttribute('aria-label', label);
    b.addEventListener('click', onClick);
    return b;
}

function move(i, by) {
    const j = i + by;
    if (j < 0 || j >= picked.length) return;
    [picked[i], picked[j]] = [picked[j], picked[i]];
    render();
}

function render() {
    const list = $('list');
    list.replaceChildren();
    picked.forEach((entry, i) => {
        const li = document.createElement('li');
        const name = document.createElement('span');
        name.className = 'name';
        name.textContent = `${entry.file.name} (${sizeText(entry.file.size)})`;
        const select = document.createElement('input');
        select.className = 'select';
        select.placeholder = 'all frames';
        select.title = 'Frames to take, as #0-9 #20- or #-1-0 (backwards)';
        select.value = entry.select;
        select.addEventListener('input', () => { entry.select = select.value; });
        li.append(name, select, button('↑', `Move ${entry.file.name} up`, () => move(i, -1)),
                  button('↓', `Move ${entry.file.name} down`, () => move(i, 1)),
                  button('✕', `Remove ${entry.file.name}`, () => { picked.splice(i, 1); render(); }));
        list.append(li);
    });
    const total = picked.reduce((s, e) => s + e.file.size, 0);
    $('sizes-in').textContent = picked.length ? `${picked.length} GIFs, ${sizeText(total)} in all` : '';
    $('join').disabled = picked.length === 0;
}

function add(files) {
    for (const file of files) picked.push({ file, select: '' });
    render();
}

function options() {
    const delay = (id) => Number.parseInt($(id).value, 10);
    return {
        keepDelays: $('keep-delays').checked, fit: $('fit').checked, center: $('center').checked,
        compact: $('compact').checked, delay: delay('delay'), lastDelay: delay('last-delay'),
    };
}

function say(line) {
    const li = document.createElement('li');
    li.textContent = line;
    $('messages').append(li);
}

function finished({ written, gif, messages }) {
    $('join').disabled = false;
    $('messages').replaceChildren();
    messages.forEach(say);
    if (!written) {
        $('progress').textContent = 'Not joined';
        return;
    }
    if (resultUrl) URL.revokeObjectURL(resultUrl);
    resultUrl = URL.createObjectURL(gif);
    $('result').src = resultUrl;
    $('download').href = resultUrl;
    $('size-out').textContent = sizeText(gif.size);
    $('output').hidden = false;
    $('progress').textContent = 'Joined';
}

function startJoin() {
    worker ??= new Worker(new URL('worker.js', import.meta.url), { type: 'module' });
    worker.onmessage = ({ data }) => {
        if (data.type === 'progress')
            $('progress').textContent = `Joining ${data.file + 1} of ${data.total}: ${data.name}`;
        else if (data.type === 'message') say(data.line);
        else {
            // Its memory goes before the browser takes the animation in; the next join starts a new one.
            worker.terminate();
            worker = undefined;
            finished(data);
        }
    };
    $('join').disabled = true;
    $('messages').replaceChildren();
    $('progress').textContent = 'Starting…';
    const files = picked.map(({ file, select }) => ({ file, select: select.split(/\s+/).filter(Boolean) }));
    worker.postMessage({ files, options: options() });
}

window.addEventListener('DOMContentLoaded', () => {
    $('files').addEventListener('change', (e) => { add(e.target.files); e.target.value = ''; });
    const drop = $('drop');
    drop.addEventListener('dragover', (e) => { e.preventDefault(); drop.classList.add('over'); });
    drop.addEventListener('dragleave', () => drop.classList.remove('over'));
    drop.addEventListener('drop', (e) => {
        e.preventDefault();
        drop.classList.remove('over');
        add([...e.dataTransfer.files].filter((f) => f.type === 'image/gif' || f.name.toLowerCase().endsWith('.gif')));
    });
    $('center').addEventListener('change', () => { if ($('center').checked) $('fit').checked = true; });
    $('join').addEventListener('click', startJoin);
    render();
});
