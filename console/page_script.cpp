// The page's behaviour: reads the state once, then follows the event
// stream, applying the events that came in one batch per animation frame.
// Every text from the API goes into the page as text, never as markup.
#include "console/page.h"

const char* pageScript() {
  return R"js('use strict';
const $ = (id) => document.getElementById(id);
const runs = new Map();
let pending = [];
let drawing = false;
let source = null;

function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}

// SHA-256 of the chosen file, shown before anything is sent (the page may
// be opened over plain http from a tablet, where crypto.subtle is missing).
const ror = (x, n) => (x >>> n) | (x << (32 - n));
function sha256Hex(bytes) {
  const primes = [];
  for (let n = 2; primes.length < 64; n++) if (primes.every((p) => n % p)) primes.push(n);
  const frac = (x) => ((x - Math.floor(x)) * 4294967296) >>> 0;
  const K = primes.map((p) => frac(Math.cbrt(p)));
  const H = primes.slice(0, 8).map((p) => frac(Math.sqrt(p)));
  const len = bytes.length, total = ((len + 9 + 63) >> 6) << 6;
  const m = new Uint8Array(total);
  m.set(bytes);
  m[len] = 0x80;
  const dv = new DataView(m.buffer);
  dv.setUint32(total - 4, (len * 8) >>> 0);
  dv.setUint32(total - 8, Math.floor(len / 536870912));
  const w = new Uint32Array(64);
  for (let off = 0; off < total; off += 64) {
    for (let i = 0; i < 16; i++) w[i] = dv.getUint32(off + 4 * i);
    for (let i = 16; i < 64; i++) {
      const x = w[i - 15], y = w[i - 2];
      w[i] = w[i - 16] + (ror(x, 7) ^ ror(x, 18) ^ (x >>> 3)) + w[i - 7] +
             (ror(y, 17) ^ ror(y, 19) ^ (y >>> 10));
    }
    let [a, b, c, d, e, f, g, h] = H;
    for (let i = 0; i < 64; i++) {
      const t1 = (h + (ror(e, 6) ^ ror(e, 11) ^ ror(e, 25)) + ((e & f) ^ (~e & g)) + K[i] + w[i]) | 0;
      const t2 = ((ror(a, 2) ^ ror(a, 13) ^ ror(a, 22)) + ((a & b) ^ (a & c) ^ (b & c))) | 0;
      h = g; g = f; f = e; e = (d + t1) | 0; d = c; c = b; b = a; a = (t1 + t2) | 0;
    }
    [a, b, c, d, e, f, g, h].forEach((v, i) => { H[i] = (H[i] + v) >>> 0; });
  }
  return H.map((x) => x.toString(16).padStart(8, '0')).join('');
}

async function api(path, options) {
  const res = await fetch(path, Object.assign({ credentials: 'same-origin' }, options || {}));
  let body = null;
  try { body = await res.json(); } catch (e) { body = null; }
  return { status: res.status, body };
}

// --- the uploads -------------------------------------------------------
function timeText(seconds) {
  if (!isFinite(seconds) || seconds < 0) return '';
  const s = Math.round(seconds);
  return String(Math.floor(s / 60)).padStart(2, '0') + ':' + String(s % 60).padStart(2, '0');
}

function lineOf(run, index) {
  return run.lines[index] || (run.lines[index] = { label: '?', state: 'waiting', bytes: 0, total: 0,
    results: [], addresses: [] });
}

function takeRun(data) {
  const old = runs.get(data.id);
  const run = Object.assign(old || { logs: [], view: null }, data);
  run.lines = data.lines.map((l, i) => Object.assign((old && old.lines[i]) || {}, l));
  runs.set(data.id, run);
  run.dirty = true;
  return run;
}

function apply(type, d) {
  if (type === 'reload') { loadState(); return; }
  if (type === 'upload') { takeRun(d); if (d.state === 'ended') loadRecords(); return; }
  const run = runs.get(d.upload);
  if (!run) return;
  run.dirty = true;
  const line = lineOf(run, d.line);
  if (type === 'line') {
    line.state = d.state;
    line.addresses = d.addresses;
    if (d.state === 'sending') { line.t0 = performance.now(); line.b0 = line.bytes; }
  } else if (type === 'progress') {
    line.bytes = d.bytes;
    line.total = d.total;
  } else if (type === 'result') {
    line.results.push(d);
    line.bytes = d.bytes;
    line.total = d.total;
  } else if (type === 'log') {
    run.logs.push('[' + line.label + '] ' + d.text.replace(/\n+$/, ''));
    if (run.logs.length > 300) run.logs.splice(0, run.logs.length - 300);
    run.logDirty = true;
  }
}

// One batch of events per animation frame (or per quarter second while the
// page is hidden and frames do not come).
function queue(type, data) {
  pending.push([type, data]);
  if (pending.length > 20000) { pending = []; loadState(); return; }
  if (drawing) return;
  drawing = true;
  const flush = () => {
    if (!drawing) return;
    drawing = false;
    const batch = pending;
    pending = [];
    for (const [t, d] of batch) apply(t, d);
    draw();
  };
  requestAnimationFrame(flush);
  setTimeout(flush, 250);
}

function resultOf(line) {
  return line.results.length ? line.results[line.results.length - 1] : null;
}

function drawRun(run) {
  if (!run.view) {
    const v = run.view = el('div', 'run');
    v.id = 'run-' + run.id;
    const head = el('div', 'run-head');
    v.heading = el('span', 'title');
    v.summary = el('span', 'info');
    v.stop = el('button', 'stop', 'Stop');
    v.stop.type = 'button';
    v.stop.addEventListener('click', async () => {
      v.stop.disabled = true;
      await api('/api/uploads/' + run.id + '/stop', { method: 'POST' });
    });
    head.append(v.heading, v.summary, v.stop);
    const table = el('table');
    const hr = el('tr');
    for (const h of ['Line', 'State', 'Progress', 'Bytes', 'Left', 'Reason']) hr.append(el('th', '', h));
    table.append(el('thead'), el('tbody'));
    table.tHead.append(hr);
    v.body = table.tBodies[0];
    v.rows = [];
    const log = el('details');
    log.append(el('summary', '', 'Log'));
    v.log = el('pre');
    log.append(v.log);
    v.append(head, table, log);
    $('runs').prepend(v);
    $('no-runs').hidden = true;
  }
  const v = run.view;
  v.heading.textContent = 'Upload ' + run.id + ': ' + run.file;
  v.summary.textContent = run.size + ' bytes, SHA-256 ' + run.sha256 + ', profile ' + run.profile +
    (run.fast ? ', fast' : '') + (run.state === 'ended' ? ', ended (exit status ' + run.exitStatus + ')' : '');
  v.stop.hidden = run.state === 'ended';
  run.lines.forEach((line, i) => {
    let r = v.rows[i];
    if (!r) {
      r = v.rows[i] = { tr: el('tr') };
      r.tr.dataset.line = i;
      r.label = el('td', 'label');
      r.state = el('td', 'state');
      const cell = el('td');
      const bar = el('div', 'bar');
      r.fill = el('div');
      bar.append(r.fill);
      cell.append(bar);
      r.bytes = el('td', 'num bytes');
      r.left = el('td', 'num left');
      r.reason = el('td', 'reason');
      r.tr.append(r.label, r.state, cell, r.bytes, r.left, r.reason);
      v.body.append(r.tr);
    }
    const result = resultOf(line);
    const ended = line.state === 'ended' && result;
    const word = ended ? result.result : line.state;
    r.label.textContent = line.label;
    r.state.textContent = ended ? word.toUpperCase() : word;
    r.state.className = 'state state-' + word.replace(/ /g, '-');
    r.tr.dataset.state = word;
    const total = line.total || 0;
    r.fill.style.width = (total ? Math.min(100, (100 * line.bytes) / total) : 0) + '%';
    r.bytes.textContent = line.bytes + ' / ' + total;
    let left = '';
    if (line.state === 'sending' && line.t0 !== undefined && line.bytes > line.b0) {
      const rate = (line.bytes - line.b0) / ((performance.now() - line.t0) / 1000);
      left = timeText((total - line.bytes) / rate);
    }
    r.left.textContent = left;
    r.reason.textContent = result ? result.reason : '';
  });
  if (run.logDirty) {
    v.log.textContent = run.logs.join('\n');
    run.logDirty = false;
  }
}

function draw() {
  for (const run of runs.values()) if (run.dirty) { run.dirty = false; drawRun(run); }
}

function listen(after) {
  if (source) source.close();
  source = new EventSource('/api/events?after=' + after);
  source.onopen = () => { $('link').textContent = 'live'; $('link').className = 'link'; };
  source.onerror = () => { $('link').textContent = 'reconnecting'; $('link').className = 'link down'; };
  for (const type of ['upload', 'line', 'progress', 'log', 'result', 'reload'])
    source.addEventListener(type, (e) => queue(type, JSON.parse(e.data)));
}

async function loadState() {
  const { status, body } = await api('/api/uploads');
  if (status !== 200 || !body) {
    $('link').textContent = status === 401 ? 'no access: open the address serve printed' : 'no answer';
    $('link').className = 'link down';
    return;
  }
  for (const u of body.uploads) takeRun(u);
  draw();
  listen(body.lastEvent);
}

// --- the form ----------------------------------------------------------
let chosen = null;
$('image').addEventListener('change', async () => {
  const file = $('image').files[0];
  chosen = file || null;
  $('image-info').textContent = '';
  if (!file) return;
  $('image-info').textContent = file.name + ': ' + file.size + ' bytes, hashing…';
  const bytes = new Uint8Array(await file.arrayBuffer());
  if (chosen !== file) return;
  $('image-info').textContent = file.name + ': ' + file.size + ' bytes, SHA-256 ' + sha256Hex(bytes);
  $('image-info').dataset.sha256 = sha256Hex(bytes);
});

$('upload-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  $('refusal').textContent = '';
  const file = $('image').files[0];
  if (!file) { $('refusal').textContent = 'Choose the image file first.'; return; }
  const form = new FormData();
  form.append('image', file, file.name);
  for (const a of $('adapters').value.split(/\s+/).filter((x) => x)) form.append('adapter', a);
  form.append('profile', $('profile').value);
  form.append('address', $('address').value);
  if ($('fast').checked) form.append('fast', '1');
  if ($('read-back').checked) form.append('read_back', '1');
  $('start-button').disabled = true;
  try {
    const { status, body } = await api('/api/uploads', { method: 'POST', body: form });
    if (status !== 202) $('refusal').textContent = (body && body.error) || ('refused: HTTP ' + status);
  } catch (e) {
    $('refusal').textContent = 'The console did not answer: ' + e.message;
  } finally {
    $('start-button').disabled = false;
  }
});

// --- adapters, fixtures, records -------------------------------------
async function loadDrivers() {
  const { status, body } = await api('/api/adapters');
  const box = $('drivers');
  box.textContent = '';
  if (status !== 200 || !body) { box.textContent = 'The adapters could not be listed.'; return; }
  for (const d of body.drivers) {
    const div = el('div', 'driver');
    div.append(el('span', 'name', d.usage), el('span', 'info', ' ' + d.summary));
    const what = d.error ? 'cannot list: ' + d.error
      : d.adapters.length ? d.adapters.map((a) => a.serial + (a.detail ? ' (' + a.detail + ')' : '')).join(', ')
      : 'none found';
    div.append(el('div', 'info', what));
    box.append(div);
  }
}

$('fixtures-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  const box = $('fixtures');
  box.textContent = 'reading…';
  const { status, body } = await api('/api/fixtures?adapter=' + encodeURIComponent($('fixtures-adapter').value));
  box.textContent = '';
  if (!body) { box.textContent = 'HTTP ' + status; return; }
  if (body.error) box.append(el('p', 'refusal', body.error));
  if (!body.fixtures) return;
  const table = el('table');
  const hr = el('tr');
  for (const h of ['UID', 'Manufacturer', 'Model', 'Address', 'Version', 'Label']) hr.append(el('th', '', h));
  table.append(hr);
  for (const f of body.fixtures) {
    const tr = el('tr');
    for (const v of [f.uid, f.manufacturer, f.model, f.address, f.version, f.label]) tr.append(el('td', '', v));
    table.append(tr);
  }
  if (!body.fixtures.length) box.append(el('p', 'info', 'No fixture in the node\'s table.'));
  else box.append(table);
});

function recordTable(heads, rows) {
  const table = el('table');
  const hr = el('tr');
  for (const h of heads) hr.append(el('th', '', h));
  table.append(hr);
  for (const r of rows) {
    const tr = el('tr');
    for (const v of r) tr.append(el('td', '', v === null || v === undefined ? '' : String(v)));
    table.append(tr);
  }
  return table;
}

async function loadRecords() {
  const box = $('records');
  const history = await api('/api/history?limit=20');
  if (history.status !== 200 || !history.body) {
    box.textContent = (history.body && history.body.error) || ('HTTP ' + history.status);
    return;
  }
  box.textContent = '';
  box.append(el('h3', '', 'Latest uploads'));
  if (!history.body.uploads.length) box.append(el('p', 'info', 'No upload recorded yet.'));
  else box.append(recordTable(['Started', 'Image', 'Line', 'Result'], history.body.uploads.map((u) =>
    [u.startedAt, u.image.name, u.line.label, u.result])));
  const inventory = await api('/api/inventory');
  if (inventory.status !== 200 || !inventory.body) return;
  box.append(el('h3', '', 'Fixtures, last known version'));
  if (!inventory.body.fixtures.length) box.append(el('p', 'info', 'No fixture read yet.'));
  else box.append(recordTable(['UID', 'Model', 'Version', 'Line', 'Read'], inventory.body.fixtures.map((f) =>
    [f.uid, f.model, f.softwareVersionHex + (f.olderThanOthersOfModel ? ' (older)' : ''), f.line, f.readAt])));
}

loadState();
loadDrivers();
loadRecords();
)js";
}
