// The page in headless Chromium, compared with zelvo on the same images.
//   node web_test.mjs --page PAGE.html --zelvo ZELVO --sample MAKE_SAMPLE --work DIR [--shot PNG]
//   node web_test.mjs --smoke --page URL_OR_FILE --shot PNG
// Each check prints "ok NAME" or "FAILED NAME: why"; the exit code is the number of failures.
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
  if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
  return acc;
}, []));
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
let failures = 0;
function check(name, ok, why = '') {
  console.log(ok ? `ok ${name}` : `FAILED ${name}: ${why}`);
  if (!ok) failures++;
}
function same(name, got, want) {
  const a = JSON.stringify(got), b = JSON.stringify(want);
  check(name, a === b, `\n   page:  ${a.slice(0, 600)}\n   zelvo: ${b.slice(0, 600)}`);
}
function sameBytes(name, got, want) {
  const equal = Buffer.compare(Buffer.from(got), Buffer.from(want)) === 0;
  let at = -1;
  if (!equal) for (at = 0; at < Math.min(got.length, want.length) && got[at] === want[at]; at++);
  check(name, equal, `sizes ${got.length} / ${want.length}, first difference at ${at}`);
}

async function launch(lang) {
  const profile = fs.mkdtempSync('/tmp/zelvo-web-profile-');
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--allow-file-access-from-files', `--lang=${lang}`],
  });
  browser.profile = profile;
  return browser;
}
async function close(browser) {
  await browser.close();
  fs.rmSync(browser.profile, { recursive: true, force: true });
}

// A page with its request log, dialogs answered Yes and downloads into `downloads`.
async function openPage(browser, url, downloads, { offline = false, lang = 'ja-JP' } = {}) {
  const page = await browser.newPage();
  // The browser's language as a Japanese user's.
  await page.evaluateOnNewDocument((l) => Object.defineProperty(navigator, 'language', { get: () => l }), lang);
  await page.setViewport({ width: 1100, height: 760 });
  page.requestLog = [];
  page.on('request', (r) => page.requestLog.push(r.url()));
  // Every question the page asks, in order; answered from page.answers (Yes when it is empty).
  page.dialogs = [];
  page.answers = [];
  page.on('dialog', (d) => {
    page.dialogs.push(d.message());
    if (page.answers.length && !page.answers.shift()) d.dismiss(); else d.accept();
  });
  page.on('pageerror', (e) => console.log('page error: ' + e.message));
  const cdp = await page.createCDPSession();
  if (downloads) await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  if (offline) {
    await cdp.send('Network.enable');
    await cdp.send('Network.emulateNetworkConditions', { offline: true, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
  }
  await page.goto(url, { waitUntil: 'load' });
  await page.waitForSelector('body[data-ready="1"]', { timeout: 20000 });
  return page;
}

const table = (page) => page.$$eval('#list-body tr', (trs) => trs.map((tr) => [...tr.cells].map((td) => td.textContent)));
const panel = (page) => page.$eval('#panel', (el) => el.textContent);
const messages = (page) => page.$$eval('#messages .msg', (ps) => ps.map((p) => p.textContent));
const statusOf = (page) => page.$eval('#status-action', (el) => el.textContent);
const disabled = (page, ids) => page.evaluate((list) => list.map((id) => {
  const el = document.getElementById(id);
  return el.disabled === true || el.classList.contains('disabled');
}), ids);
// The image as the page holds it now (the download button's bytes).
const imageBytes = async (page, folder) => (await download(page, folder, () => page.click('#download-button'))).bytes;

// Opens an image through the file input and waits for its listing.
async function openByInput(page, file) {
  const opened = await page.evaluate(() => window.zelvoTimings.length);
  const input = await page.$('#open-input');
  await input.uploadFile(file);
  await page.waitForFunction((n) => window.zelvoTimings.length > n, {}, opened);
}
async function dropFile(page, file, selector = 'main') {
  const bytes = fs.readFileSync(file).toString('base64');
  await page.evaluate((b64, name, sel) => {
    const data = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const transfer = new DataTransfer();
    transfer.items.add(new File([data], name));
    document.querySelector(sel).dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, bytes, path.basename(file), selector);
}
// The next file that appears in `folder` (a download), once complete.
async function nextDownload(folder, before, timeout = 10000) {
  const end = Date.now() + timeout;
  while (Date.now() < end) {
    const fresh = fs.readdirSync(folder).filter((f) => !before.includes(f) && !f.endsWith('.crdownload'));
    if (fresh.length) { await new Promise((r) => setTimeout(r, 100)); return path.join(folder, fresh[0]); }
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error('no download in ' + folder);
}
async function download(page, folder, action) {
  const before = fs.readdirSync(folder);
  await action();
  const file = await nextDownload(folder, before);
  const bytes = fs.readFileSync(file);
  fs.unlinkSync(file);
  return { name: path.basename(file), bytes };
}
async function selectRows(page, rows) {
  for (let i = 0; i < rows.length; i++) {
    if (i > 0) await page.keyboard.down('Control');
    await page.click(`#list-body tr:nth-child(${rows[i] + 1}) td`);
    if (i > 0) await page.keyboard.up('Control');
  }
}
// The stored entries of a zip: [{name, data, crcOk}].
function unzip(bytes) {
  const out = [];
  for (let at = 0; bytes.readUInt32LE(at) === 0x04034b50;) {
    const crc = bytes.readUInt32LE(at + 14), size = bytes.readUInt32LE(at + 18);
    const nameLength = bytes.readUInt16LE(at + 26), extra = bytes.readUInt16LE(at + 28);
    const name = bytes.subarray(at + 30, at + 30 + nameLength).toString('utf8');
    const data = bytes.subarray(at + 30 + nameLength + extra, at + 30 + nameLength + extra + size);
    out.push({ name, data, crcOk: crc32(data) === crc, method: bytes.readUInt16LE(at + 8) });
    at += 30 + nameLength + extra + size;
  }
  return out;
}
function crc32(data) {
  let c = ~0;
  for (const b of data) { c ^= b; for (let k = 0; k < 8; k++) c = c & 1 ? (c >>> 1) ^ 0xedb88320 : c >>> 1; }
  return ~c >>> 0;
}

function zelvo(...argv) {
  const run = spawnSync(args.zelvo, argv, { env: { ...process.env, ZELVO_LANG: 'ja' }, stdio: 'pipe' });
  return { out: run.stdout.toString(), err: run.stderr.toString(), code: run.status };
}
const ls = (image, ...more) => JSON.parse(zelvo('ls', '--json', ...more, image).out);

async function smoke() {
  const url = /^[a-z]+:/.test(args.page) ? args.page : pathToFileURL(path.resolve(args.page)).href;
  const browser = await launch('ja');
  try {
    const page = await openPage(browser, url, null);
    if (args.image) await openByInput(page, args.image);
    await page.screenshot({ path: args.shot });
    console.log(`The page loaded in headless Chromium (${args.shot}).`);
  } finally {
    await close(browser);
  }
}

// What a first-time user ran into, each compared with zelvo on the same image.
async function secondPass(page, { work, downloads, sample, files, two, bad, big, hello, original, names }) {
  const removed = path.join(work, 'removed.d88');
  if ((await page.$eval('#lang-button', (b) => b.textContent)) === '日本語') await page.click('#lang-button');
  const deleteRow = async (row) => {
    await selectRows(page, [row]);
    const rows = (await table(page)).length;
    await page.keyboard.press('Delete');
    await page.waitForFunction((n) => document.querySelectorAll('#list-body tr').length === n, {}, rows - 1);
  };

  // Convert makes a copy after the loss question; No writes nothing; the open image, its change
  // and its history stay.
  await openByInput(page, sample);
  await deleteRow(1);
  const flat = path.join(work, 'want-copy.2d');
  const cli = zelvo('convert', '--fill', '--force', removed, flat);
  const lossLines = cli.err.trimEnd().split('\n').filter((l) => l.startsWith('変換で失われるもの: ')).map((l) => l.slice('変換で失われるもの: '.length));
  await page.select('#convert-select', '.2d|0');
  page.dialogs.length = 0;
  page.answers.push(false);
  await page.click('#convert-button');
  same('convert: the loss question lists what zelvo convert lists', page.dialogs, [`変換で次のものが失われます:\n${lossLines.join('\n')}\n保存しますか？`]);
  check('convert: the disk name is among the losses', lossLines.length > 0, cli.err);
  const copy = await download(page, downloads, () => page.click('#convert-button'));
  sameBytes('convert: the copy as zelvo convert makes it', copy.bytes, fs.readFileSync(flat));
  same('convert: the status says so', await statusOf(page), 'sample.2d に変換してダウンロードしました');
  same('convert: the open image stays, changed', [await page.evaluate(() => document.title), await page.$eval('#status-image', (e) => e.textContent)], ['Zelvo Explorer - sample.d88', 'sample.d88 *']);
  sameBytes('convert: the open image\'s bytes are untouched', await imageBytes(page, downloads), fs.readFileSync(removed));
  await page.click('#undo-button');
  same('undo: the status says so', await statusOf(page), 'undone');
  sameBytes('convert: the history stays (undo gives the original)', await imageBytes(page, downloads), original);

  // Cancel in the disk chooser keeps the image that was open, with its change.
  await deleteRow(1);
  await (await page.$('#open-input')).uploadFile(two);
  await page.waitForSelector('#disk-dialog[open]');
  await page.click('#disk-dialog button[value=cancel]');
  await page.waitForFunction(() => !document.querySelector('#disk-dialog[open]'));
  same('chooser cancelled: the open image stays', await table(page), ls(removed).rows);
  sameBytes('chooser cancelled: its bytes', await imageBytes(page, downloads), fs.readFileSync(removed));
  check('chooser cancelled: its history', !(await disabled(page, ['undo-button']))[0]);

  // Questions: delete names what goes; import and attributes ask nothing (the page has undo).
  await openByInput(page, sample);
  page.dialogs.length = 0;
  await deleteRow(0);
  same('delete: the question', page.dialogs, [`${names[0]}を削除しますか？`]);
  same('delete: the status', await statusOf(page), 'deleted');
  await openByInput(page, files);
  page.dialogs.length = 0;
  await selectRows(page, [0, 1]);
  await page.keyboard.press('Delete');
  await page.waitForFunction(() => document.querySelectorAll('#list-body tr').length === 38);
  same('delete: the questions', page.dialogs, ['2個のファイルを削除しますか？']);
  same('delete several: the status', await statusOf(page), '2 files deleted');
  await openByInput(page, sample);
  page.dialogs.length = 0;
  await (await page.$('#import-input')).uploadFile(hello);
  await page.waitForSelector('#attr-dialog[open]');
  await page.click('#attr-ok');
  await page.waitForFunction(() => !document.querySelector('#attr-dialog[open]'));
  same('import: no question', page.dialogs, []);

  // OK in the attribute form without an edit writes nothing.
  await openByInput(page, sample);
  page.dialogs.length = 0;
  await selectRows(page, [0]);
  await page.keyboard.press('F2');
  await page.waitForSelector('#attr-dialog[open]');
  await page.click('#attr-ok');
  await page.waitForFunction(() => !document.querySelector('#attr-dialog[open]'));
  same('attributes without an edit: no question, "nothing changed"', [page.dialogs.length, await statusOf(page)], [0, 'nothing changed']);
  check('attributes without an edit: no undo step', (await disabled(page, ['undo-button']))[0]);
  sameBytes('attributes without an edit: the image unchanged', await imageBytes(page, downloads), original);
  await selectRows(page, [0]);
  const exported = await download(page, downloads, () => page.click('#export-button'));
  same('export: the status', await statusOf(page), `${names[0]} exported, ${exported.bytes.length} bytes`);
  check('the status line: the largest file that fits', (await page.$eval('#status-volume', (e) => e.textContent)).includes(', largest file '));

  // What cannot run is greyed: a write-protected disk, no image, a failed open.
  const locked = path.join(work, 'locked.d88');
  const lockedBytes = Buffer.from(original);
  lockedBytes[0x1a] = 0x10;
  fs.writeFileSync(locked, lockedBytes);
  await openByInput(page, locked);
  await selectRows(page, [0]);
  same('write-protected: delete, attributes and import greyed', await disabled(page, ['delete-button', 'attr-button', 'import-label', 'export-button']), [true, true, true, false]);
  check('write-protected: the mark in the status line', (await page.$eval('#status-volume', (e) => e.textContent)).endsWith(', 書き込み禁止'));
  await openByInput(page, bad);
  same('a failed open: download, import and export greyed', await disabled(page, ['download-button', 'import-label', 'export-button']), [true, true, true]);
  same('a failed open: the status says why', await page.$eval('#status-why', (e) => e.textContent), 'このファイルは開けませんでした');

  // Several files at once, one change: those that cannot go in are listed, the others imported
  // when the user says so (No leaves the image as it was).
  const other = path.join(work, 'other.txt');
  fs.writeFileSync(other, 'another file\n');
  const bigReason = zelvo('import', '--yes', path.join(work, 'refused.d88'), big).err.trimEnd().replace(/^エラー: /, '');
  for (const yes of [false, true]) {
    await openByInput(page, sample);
    page.dialogs.length = 0;
    page.answers.push(yes);
    await (await page.$('#import-input')).uploadFile(hello, big, other);
    if (yes) await page.waitForFunction(() => document.querySelectorAll('#list-body tr').length === 5);
    else await page.waitForFunction(() => document.getElementById('status-action').textContent === 'nothing changed');
    same(`several files (${yes ? 'Yes' : 'No'}): the question lists the file that cannot go in`, page.dialogs,
      [`次のファイルはインポートできません:\nbig.bin: ${bigReason}\nほかのファイルをインポートしますか？`]);
  }
  const many = path.join(work, 'many.d88');
  fs.copyFileSync(sample, many);
  zelvo('import', '--yes', many, hello, other);
  sameBytes('several files: the image as zelvo import makes it from the others', await imageBytes(page, downloads), fs.readFileSync(many));
  same('several files: the imported files selected', await page.$$eval('#list-body tr.selected', (trs) => trs.map((tr) => tr.cells[0].textContent)), ls(many).rows.slice(3).map((r) => r[0]));
  await page.click('#undo-button');
  sameBytes('several files: one change (one undo)', await imageBytes(page, downloads), original);

  // A drop follows the window's rule wherever it lands: an image opens, other files import.
  // While dragging, the page says so.
  await openByInput(page, sample);
  await page.evaluate(() => document.querySelector('#panel').dispatchEvent(new DragEvent('dragenter', { bubbles: true, cancelable: true, dataTransfer: new DataTransfer() })));
  same('dragging: the note says what a drop does', await page.$eval('#drop-note', (e) => [e.hidden, e.textContent]), [false, 'イメージ (.d88 .2d など) は開きます。ほかのファイルは開いているイメージにインポートします']);
  await dropFile(page, hello, '#panel');
  await page.waitForSelector('#attr-dialog[open]');
  check('a PC file dropped beside the list is imported', (await page.$eval('#attr-title', (e) => e.textContent)).endsWith('hello.txt'));
  check('the note is gone after the drop', await page.$eval('#drop-note', (e) => e.hidden));
  await page.click('#attr-cancel');
  const opened = await page.evaluate(() => window.zelvoTimings.length);
  await dropFile(page, files, '#list-body');
  await page.waitForFunction((n) => window.zelvoTimings.length > n, {}, opened);
  same('an image dropped on the list opens', await table(page), ls(files).rows);

  // One line says what a file is; the identification's report on request, in the page's language.
  const empty = path.join(work, 'empty.d88');
  fs.writeFileSync(empty, Buffer.alloc(0));
  const summary = () => page.$eval('#summary-line', (e) => e.textContent);
  await openByInput(page, empty);
  same('an empty file: one line', await summary(), '空のファイルです');
  await openByInput(page, bad);
  same('a junk file: one line', await summary(), 'ディスクイメージではありません');
  await page.select('#mode-select', '2');
  await openByInput(page, sample);
  same('an image: one line', [await summary(), await page.$eval('#report', (e) => e.open)], ['MZ · D88 · ディスク1枚 · ファイル3個', false]);
  await page.click('#summary-line');
  const report = () => page.$eval('#report-text', (e) => e.textContent);
  check('the report on request', (await report()).startsWith('判別結果: MZ\n'), await report());
  await page.click('#lang-button');
  same('in English: the line', await summary(), 'MZ · D88 · 1 disk · 3 files');
  check('in English: the report', (await report()).startsWith('Verdict: MZ\nLayout: D88'), await report());
  await page.click('#lang-button');
  await page.select('#mode-select', '0');

  // The list as a grid for the keyboard and screen readers, with the window's keys.
  const grid = () => page.evaluate(() => ({
    focused: document.activeElement.id,
    active: document.getElementById('list').getAttribute('aria-activedescendant'),
    selected: [...document.querySelectorAll('#list-body tr[aria-selected=true]')].map((tr) => tr.rowIndex - 1),
  }));
  await openByInput(page, files);
  same('open: the first row selected, the list focused', await grid(), { focused: 'list', active: 'row-0', selected: [0] });
  const press = async (...keys) => { for (const k of keys) await page.keyboard.press(k); return grid(); };
  same('End', (await press('End')).selected, [39]);
  same('Home', (await press('Home')).selected, [0]);
  check('Page Down moves by a page', (await press('PageDown')).selected[0] > 1);
  await page.keyboard.down('Control'); await page.keyboard.press('a'); await page.keyboard.up('Control');
  same('Ctrl+A selects every row', (await grid()).selected.length, 40);
  same('Up from the first row reaches the column headers', (await press('Home', 'ArrowUp')).active, 'col-0');
  await press('ArrowRight', 'ArrowRight', 'Enter');
  same('Enter on a header sorts by it', await page.$eval('#col-2', (th) => th.getAttribute('aria-sort')), 'ascending');
  same('Down goes back to the rows', (await press('ArrowDown')).active, 'row-0');
  await page.click('#col-2');
  await openByInput(page, sample);
  await selectRows(page, [1]);
  await page.keyboard.press('Delete');
  await page.waitForFunction(() => document.querySelectorAll('#list-body tr').length === 2);
  same('after Delete the cursor stays in place', (await grid()).selected, [1]);
  same('names: the language button by its text, the panel in the page\'s language, messages polite',
    await page.evaluate(() => [document.getElementById('lang-button').hasAttribute('aria-label'), document.getElementById('panel').getAttribute('aria-label'), document.getElementById('messages').getAttribute('role')]),
    [false, 'ボリューム情報', 'status']);

  // Small things: a double click opens the attributes, as in the window; a junk code table says so.
  await page.click('#list-body tr:nth-child(1) td', { count: 2 });
  await page.waitForSelector('#attr-dialog[open]');
  same('double click: the attributes', await page.$eval('#attr-title', (e) => e.textContent), '属性');
  await page.click('#attr-cancel');
  const junkCodes = path.join(work, 'junk.txt');
  fs.writeFileSync(junkCodes, 'no table here\n');
  const rowsBefore = await table(page);
  await (await page.$('#codes-input')).uploadFile(junkCodes);
  await page.waitForSelector('#messages .msg');
  same('a junk code table', await messages(page), ['エラー: junk.txt はコード表として読めません。今までのコード表のまま続けます']);
  same('the page goes on with its table', await table(page), rowsBefore);
  await page.click('#new-button');
  await page.waitForSelector('#new-dialog[open]');
  check('new image: each label above its field', await page.evaluate(() => [...document.querySelectorAll('#new-form label:not(.check)')].every((l) => {
    const span = l.querySelector('span').getBoundingClientRect(), input = l.querySelector('input').getBoundingClientRect();
    return input.top >= span.bottom - 1;
  })));
  await page.click('#new-dialog button[value=cancel]');

  // At 360 px: a compact header, every column (the list scrolls sideways inside itself), the panel
  // whole, and several rows selected by touch.
  await page.setViewport({ width: 360, height: 740 });
  for (const lang of ['ja', 'en']) {
    if (lang === 'en') await page.click('#lang-button');
    await openByInput(page, sample);
    const narrow = await page.evaluate(() => {
      const wrap = document.getElementById('list-wrap'), panelEl = document.getElementById('panel');
      return {
        header: document.querySelector('header').getBoundingClientRect().height,
        shown: [...document.querySelectorAll('#list-head th')].filter((th) => th.getBoundingClientRect().width > 0).length,
        listScrolls: wrap.scrollWidth > wrap.clientWidth,
        panelWhole: panelEl.scrollWidth <= panelEl.clientWidth,
        pageScrolls: document.documentElement.scrollWidth > window.innerWidth,
      };
    });
    console.log(`360 px (${lang}): header ${narrow.header.toFixed(0)} px`);
    same(`360 px (${lang}): every column, the list scrolls inside itself, the panel whole`, [narrow.shown, narrow.listScrolls, narrow.panelWhole, narrow.pageScrolls], [9, true, true, false]);
    check(`360 px (${lang}): the header takes at most 170 px`, narrow.header <= 170, `${narrow.header}`);
  }
  await page.click('#lang-button');
  await page.click('#multi-button');
  // The first row is selected after the open; each tap adds one (or takes it away).
  await page.tap('#list-body tr:nth-child(3) td');
  await page.tap('#list-body tr:nth-child(2) td');
  await page.tap('#list-body tr:nth-child(3) td');
  same('touch: "select several" adds each tapped row', (await grid()).selected, [0, 1]);
  const touchZip = await download(page, downloads, () => page.click('#export-button'));
  same('touch: the two rows as a zip', unzip(touchZip.bytes).length, 2);
  await page.click('#multi-button');
  await page.setViewport({ width: 1100, height: 760 });

  // A full-width Japanese disk name in New image: the code table's half-width characters, as
  // zelvo new stores them; a character the table lacks refused at the name field.
  for (const [name, file] of [['ゲーム ディスク', 'kana.d88'], ['漢字ディスク', 'kanji.d88']]) {
    await page.click('#new-button');
    await page.waitForSelector('#new-dialog[open]');
    for (const [id, value] of Object.entries({ 'n-file': file, 'n-name': name, 'n-year': '24', 'n-month': '01', 'n-day': '02' }))
      await page.$eval('#' + id, (el, v) => { el.value = v; }, value);
    await page.click('#new-ok');
    const want = path.join(work, file);
    const cli = zelvo('new', '--force', '--name', name, '--date', '24/01/02', want);
    if (cli.code === 0) {
      await page.waitForFunction((f) => document.title.endsWith(f), {}, file);
      sameBytes(`new image named ${name}: as zelvo new makes it`, await imageBytes(page, downloads), fs.readFileSync(want));
      same(`new image named ${name}: the panel`, await panel(page), ls(want).panel);
      check(`new image named ${name}: half-width in the panel`, (await panel(page)).includes('Disk Name:ｹﾞｰﾑ ﾃﾞｨｽｸ'), await panel(page));
    } else {
      await page.waitForSelector('#new-dialog .msg');
      same(`new image named ${name}: zelvo's refusal at the name`, await page.$$eval('#new-dialog .msg', (ps) => ps.map((p) => [p.dataset.for, p.textContent])),
        [['n-name', cli.err.trimEnd()]]);
      same(`new image named ${name}: the refusal's text`, cli.err.trimEnd(), 'エラー: ディスク名の「漢」はコード表にありません。');
      await page.click('#new-dialog button[value=cancel]');
    }
  }

  // Date sort: years 70-99 before 00-69, as the window sorts them.
  const dated = path.join(work, 'dated.d88');
  zelvo('new', '--name', 'DATES', dated);
  for (const year of ['26', '99', '00', '70', '85', '01'])
    zelvo('import', '--yes', '--name', `Y${year}`, '--date', `${year}/01/01`, dated, hello);
  await openByInput(page, dated);
  await page.click('#list-head th:nth-child(7)');
  same('date sort ascending', (await table(page)).map((r) => r[6].slice(0, 2)), ['70', '85', '99', '00', '01', '26']);
}

async function main() {
  const work = path.resolve(args.work);
  fs.rmSync(work, { recursive: true, force: true });
  const downloads = path.join(work, 'downloads');
  fs.mkdirSync(downloads, { recursive: true });
  execFileSync(args.sample, [work, '--files', '40']);
  const sample = path.join(work, 'sample.d88'), flat = path.join(work, 'files.2d');
  const two = path.join(work, 'two.d88');
  const blank = path.join(work, 'blank.d88');
  zelvo('new', '--name', 'SECOND', '--date', '24/01/02', blank);
  fs.writeFileSync(two, Buffer.concat([fs.readFileSync(sample), fs.readFileSync(blank)]));
  const bad = path.join(work, 'notes.txt');
  fs.writeFileSync(bad, 'not an image');
  const big = path.join(work, 'big.bin');
  fs.writeFileSync(big, Buffer.alloc(70000, 0x41));
  const hello = path.join(work, 'hello.txt');
  const url = pathToFileURL(path.resolve(args.page)).href;

  const moduleGzip = zlib.gzipSync(fs.readFileSync(args.page), { level: 9 }).length;
  console.log(`page: ${fs.statSync(args.page).size} bytes, ${moduleGzip} bytes gzip (module and scripts)`);
  check('page under 1 MB gzip', moduleGzip < 1024 * 1024, `${moduleGzip}`);

  const browser = await launch('ja');
  try {
    // Loaded from file:// with the network off: every request is the page itself or its own data.
    const page = await openPage(browser, url, downloads, { offline: true });
    // The page starts under Auto (identify decides); zelvo's default is MZ, which the checks use.
    same('the convention starts as Auto', await page.$eval('#mode-select', (s) => s.value), '2');
    await page.select('#mode-select', '0');

    // Listing through the file input, and through a drop, against zelvo ls --json.
    for (const [how, image] of [['file input', sample], ['drop', flat]]) {
      if (how === 'drop') await dropFile(page, image); else await openByInput(page, image);
      await page.waitForFunction((name) => document.title.endsWith(name), {}, path.basename(image));
      const want = ls(image);
      same(`listing by ${how}: rows`, await table(page), want.rows);
      same(`listing by ${how}: panel`, await panel(page), want.panel);
      same(`listing by ${how}: columns`, await page.$$eval('#list-head th', (ths) => ths.map((th) => th.textContent)), want.columns);
    }
    const timings = await page.evaluate(() => window.zelvoTimings);
    console.log(`first listing of the 2D image after the drop: ${timings[timings.length - 1].toFixed(1)} ms`);

    // A D88 of two disks: the chooser asks first, with the Windows program's items.
    const opensBefore = await page.evaluate(() => window.zelvoTimings.length);
    await (await page.$('#open-input')).uploadFile(two);
    await page.waitForSelector('#disk-dialog[open]');
    const diskName = (bytes) => bytes.subarray(0, 17).toString('latin1').split('\0')[0];
    const sampleBytes = fs.readFileSync(sample);
    same('disk chooser items', await page.$$eval('#disk-choice option', (os) => os.map((o) => o.textContent)),
      [`ディスク0: ${diskName(sampleBytes)}`, `ディスク1: ${diskName(fs.readFileSync(blank))}`]);
    await page.select('#disk-choice', '1');
    await page.click('#disk-ok');
    await page.waitForFunction((n) => window.zelvoTimings.length > n, {}, opensBefore);
    same('chosen disk: rows', await table(page), ls(two, '--disk', '1').rows);
    await page.select('#disk-select', '0');
    same('first disk: rows', await table(page), ls(two, '--disk', '0').rows);
    await page.select('#disk-select', '1');
    same('second disk: rows', await table(page), ls(two, '--disk', '1').rows);
    same('second disk: panel', await panel(page), ls(two, '--disk', '1').panel);

    // Export: one file (Binary, then Ascii) against zelvo export; several as one zip.
    await openByInput(page, sample);
    const names = (await table(page)).map((r) => r[0]);
    for (const ascii of [false, true]) {
      await page.select('#transfer-select', ascii ? '1' : '0');
      for (let row = 0; row < names.length; row++) {
        await selectRows(page, [row]);
        const got = await download(page, downloads, () => page.keyboard.press('Enter'));
        const want = path.join(work, `want-${row}`);
        zelvo('export', ...(ascii ? ['--ascii'] : []), '--force', sample, `#${row}`, want);
        sameBytes(`export row ${row}${ascii ? ' (Ascii)' : ''}`, got.bytes, fs.readFileSync(want));
      }
    }
    await page.select('#transfer-select', '0');
    await selectRows(page, [0, 2]);
    const zip = await download(page, downloads, () => page.click('#export-button'));
    const entries = unzip(zip.bytes);
    check('zip: two stored entries with their CRC-32', entries.length === 2 && entries.every((e) => e.crcOk && e.method === 0), JSON.stringify(entries.map((e) => [e.name, e.crcOk])));
    for (const [i, row] of [[0, 0], [1, 2]]) {
      const want = path.join(work, `want-zip-${row}`);
      zelvo('export', '--force', sample, `#${row}`, want);
      if (entries[i]) sameBytes(`zip entry ${entries[i].name}`, entries[i].data, fs.readFileSync(want));
    }

    // Import with given attributes, then the downloaded image against zelvo import's.
    await openByInput(page, sample);
    const original = fs.readFileSync(sample);
    const fields = { 'f-name': 'HELLO.TXT', 'f-type': 'TEX', 'f-start': '2000', 'f-exec': '2100', 'f-year': '24', 'f-month': '06', 'f-day': '15' };
    await (await page.$('#import-input')).uploadFile(hello);
    await page.waitForSelector('#attr-dialog[open]');
    for (const [id, value] of Object.entries(fields)) await page.$eval('#' + id, (el, v) => { el.value = v; }, value);
    await page.click('#f-lock');
    await page.click('#attr-ok');
    await page.waitForFunction(() => !document.querySelector('#attr-dialog[open]'));
    same('import: the success message', await messages(page), ['成功: Importに成功しました。']);
    const imported = await download(page, downloads, () => page.click('#download-button'));
    const copy = path.join(work, 'imported.d88');
    fs.copyFileSync(sample, copy);
    zelvo('import', '--yes', '--name', 'HELLO.TXT', '--type', 'TEX', '--start', '2000', '--exec', '2100', '--date', '24/06/15', '--lock', copy, hello);
    sameBytes('import: image as zelvo import makes it', imported.bytes, fs.readFileSync(copy));
    same('import: listing', await table(page), ls(copy).rows);

    // Import in place of a file of the same name (the question answered Yes) against --replace.
    await openByInput(page, sample);
    await (await page.$('#import-input')).uploadFile(hello);
    await page.waitForSelector('#attr-dialog[open]');
    await page.$eval('#f-name', (el) => { el.value = 'README.TXT'; });
    await page.click('#attr-ok');
    await page.waitForFunction(() => !document.querySelector('#attr-dialog[open]'));
    const replacedCopy = path.join(work, 'replaced.d88');
    fs.copyFileSync(sample, replacedCopy);
    // The form starts from the new file's defaults; zelvo keeps the replaced file's unless told.
    zelvo('import', '--yes', '--replace', '--name', 'README.TXT', '--type', 'OBJ', '--start', '1500', '--exec', '0000', replacedCopy, hello);
    sameBytes('import in place of a file: image as zelvo import --replace makes it', (await download(page, downloads, () => page.click('#download-button'))).bytes, fs.readFileSync(replacedCopy));

    // Delete (the Delete key) against zelvo rm; undo back to the bytes before; redo again.
    await openByInput(page, sample);
    await selectRows(page, [1]);
    await page.keyboard.press('Delete');
    await page.waitForFunction((n) => document.querySelectorAll('#list-body tr').length === n, {}, names.length - 1);
    const removed = path.join(work, 'removed.d88');
    fs.copyFileSync(sample, removed);
    zelvo('rm', '--yes', removed, '#1');
    sameBytes('delete: image as zelvo rm makes it', (await download(page, downloads, () => page.click('#download-button'))).bytes, fs.readFileSync(removed));
    await page.keyboard.down('Control'); await page.keyboard.press('z'); await page.keyboard.up('Control');
    sameBytes('undo: the original bytes', (await download(page, downloads, () => page.click('#download-button'))).bytes, original);
    await page.keyboard.down('Control'); await page.keyboard.press('y'); await page.keyboard.up('Control');
    sameBytes('redo: the deletion again', (await download(page, downloads, () => page.click('#download-button'))).bytes, fs.readFileSync(removed));

    // A new image against zelvo new, made under Auto: the box stays Auto.
    await page.select('#mode-select', '2');
    await page.click('#new-button');
    await page.waitForSelector('#new-dialog[open]');
    for (const [id, value] of Object.entries({ 'n-file': 'fresh.d88', 'n-name': 'NEWDISK', 'n-year': '24', 'n-month': '01', 'n-day': '02' }))
      await page.$eval('#' + id, (el, v) => { el.value = v; }, value);
    await page.click('#new-ok');
    await page.waitForFunction(() => document.title.endsWith('fresh.d88'));
    const fresh = path.join(work, 'fresh.d88');
    zelvo('new', '--name', 'NEWDISK', '--date', '24/01/02', fresh);
    sameBytes('new image: as zelvo new makes it', (await download(page, downloads, () => page.click('#download-button'))).bytes, fs.readFileSync(fresh));
    same('new image: listing', await panel(page), ls(fresh).panel);
    same('new image: Auto stays Auto', await page.$eval('#mode-select', (s) => s.value), '2');
    same('new image: read as MZ under Auto', await page.$eval('#mode-read', (s) => s.textContent), '自動 → MZ');

    // Convert: the volume under the other convention in a flat image reads as the original.
    await openByInput(page, sample);
    await page.select('#convert-select', '.2d|1');
    const converted = await download(page, downloads, () => page.click('#convert-button'));
    check('convert: the download is named after the image', converted.name === 'sample.2d', converted.name);
    const convertedPath = path.join(work, 'converted.2d');
    fs.writeFileSync(convertedPath, converted.bytes);
    check('convert: a flat image of the whole volume', converted.bytes.length === 344064, `${converted.bytes.length}`);
    same('convert: listing under PC', ls(convertedPath, '--mode', 'pc').rows, ls(sample).rows);
    same('convert: panel under PC', ls(convertedPath, '--mode', 'pc').panel, ls(sample).panel);
    same('convert: the page keeps the open image', await table(page), ls(sample).rows);
    same('convert: Auto stays Auto', await page.$eval('#mode-select', (s) => s.value), '2');
    await openByInput(page, convertedPath);
    same('auto: the identified convention\'s listing', await table(page), ls(convertedPath, '--mode', 'auto').rows);
    same('auto: one line says what was found', await page.$eval('#summary-line', (e) => e.textContent), 'PC · 2D · ディスク1枚 · ファイル3個');
    same('auto: read as PC under Auto', await page.$eval('#mode-read', (s) => s.textContent), '自動 → PC');
    // The PC image under a chosen MZ: the page says what it looks like, and refuses a change.
    await page.select('#mode-select', '0');
    same('chosen MZ: shown beside the box', await page.$eval('#mode-read', (s) => s.textContent), 'MZ(指定)');
    same('chosen MZ: the status line says the disk looks PC', await page.$eval('#status-note', (s) => s.textContent), 'このディスクはPC形式で記録されているようです。');
    await (await page.$('#import-input')).uploadFile(hello);
    await page.waitForSelector('#messages .msg');
    check('chosen MZ: no form for a refused import', !(await page.$('#attr-dialog[open]')));
    const contradicted = path.join(work, 'contradicted.2d');
    fs.copyFileSync(convertedPath, contradicted);
    const refusedCli = zelvo('import', '--yes', '--mode', 'mz', contradicted, hello);
    same('chosen MZ: the import is refused as zelvo refuses it', await messages(page), [refusedCli.err.trimEnd()]);
    check('chosen MZ: zelvo refused it too', refusedCli.code === 1, `exit ${refusedCli.code}`);
    sameBytes('chosen MZ: image unchanged', (await download(page, downloads, () => page.click('#download-button'))).bytes, converted.bytes);

    // Refusals: the same messages as zelvo, and the image left as it was, byte for byte.
    const refusals = [
      { what: 'too large host file (dropped on the list)', file: big, drop: true, fields: {}, cli: (img) => ['import', '--yes', img, big] },
      { what: 'import: a name with a space', file: hello, fields: { 'f-name': 'a b' }, cli: (img) => ['import', '--yes', '--name', 'a b', img, hello] },
      { what: 'import: in place of a locked file', file: hello, fields: { 'f-name': 'TOOL.CMD' }, cli: (img) => ['import', '--yes', '--replace', '--name', 'TOOL.CMD', img, hello] },
      { what: 'import: a bad type', file: hello, fields: { 'f-type': 'XYZ' }, cli: (img) => ['import', '--yes', '--type', 'XYZ', img, hello] },
      { what: 'attributes: a bad start address', row: 0, fields: { 'f-start': 'ZZZZ' }, cli: (img) => ['attr', '--yes', '--start', 'ZZZZ', img, '#0'] },
      { what: 'attributes: a bad execution address', row: 1, fields: { 'f-exec': 'XYZW' }, cli: (img) => ['attr', '--yes', '--exec', 'XYZW', img, '#1'] },
      { what: 'delete: a locked file', row: 2, cli: (img) => ['rm', '--yes', img, '#2'] },
    ];
    for (const r of refusals) {
      console.log(`# ${r.what}`);
      await openByInput(page, sample);
      if (r.drop) {
        await dropFile(page, r.file, '#list');
      } else if (r.file) {
        await (await page.$('#import-input')).uploadFile(r.file);
      } else {
        await selectRows(page, [r.row]);
        await page.keyboard.press(r.fields ? 'F2' : 'Delete');
      }
      await page.waitForFunction(() => document.querySelector('#attr-dialog[open]') || document.querySelector('#messages .msg'));
      let shown;
      if (await page.$('#attr-dialog[open]')) {
        for (const [id, value] of Object.entries(r.fields)) await page.$eval('#' + id, (el, v) => { el.value = v; }, value);
        await page.click('#attr-ok');
        // A form's refusal stays in its dialog, at the field it is about, which takes the focus.
        await page.waitForSelector('#attr-dialog .msg');
        shown = await page.$$eval('#attr-dialog .msg', (ps) => ps.map((p) => p.textContent));
        const field = Object.keys(r.fields)[0];
        same(`${r.what}: the message at its field, the focus there`, await page.evaluate(() => {
          const p = document.querySelector('#attr-dialog .msg');
          return [p.dataset.for || '', document.activeElement.id, document.querySelectorAll('#messages .msg').length];
        }), [field, field, 0]);
        await page.focus('#' + field);
        await page.keyboard.type('0');
        same(`${r.what}: editing the field clears its message`, await page.$$eval('#attr-dialog .msg', (ps) => ps.length), 0);
        await page.click('#attr-cancel');
      } else {
        shown = await messages(page);
      }
      const img = path.join(work, 'refused.d88');
      fs.copyFileSync(sample, img);
      const cli = zelvo(...r.cli(img));
      // zelvo's own hints ("zelvo: …", naming its options) follow the message the page shows.
      const said = cli.err.split('\n').filter((line) => !line.startsWith('zelvo: ')).join('\n');
      same(`${r.what}: zelvo's message`, shown, [said.trimEnd()]);
      check(`${r.what}: zelvo refused it too`, cli.code === 1, `exit ${cli.code}`);
      sameBytes(`${r.what}: image unchanged`, (await download(page, downloads, () => page.click('#download-button'))).bytes, original);
    }

    // Attributes (F2) against zelvo attr.
    await openByInput(page, sample);
    await selectRows(page, [0]);
    await page.keyboard.press('F2');
    await page.waitForSelector('#attr-dialog[open]');
    for (const [id, value] of Object.entries({ 'f-name': 'NEW.TXT', 'f-type': 'OBJ', 'f-exec': '1234' })) await page.$eval('#' + id, (el, v) => { el.value = v; }, value);
    await page.click('#f-lock');
    await page.click('#attr-ok');
    await page.waitForFunction(() => !document.querySelector('#attr-dialog[open]'));
    const edited = path.join(work, 'edited.d88');
    fs.copyFileSync(sample, edited);
    zelvo('attr', '--yes', '--name', 'NEW.TXT', '--type', 'OBJ', '--exec', '1234', '--lock', edited, '#0');
    sameBytes('attributes: image as zelvo attr makes it', (await download(page, downloads, () => page.click('#download-button'))).bytes, fs.readFileSync(edited));

    await openByInput(page, bad);
    same('bad image: zelvo\'s message', await messages(page), [ls(bad).error]);
    await page.click('#lang-button');
    same('bad image: zelvo\'s message in English', await messages(page), [ls(bad).message_en]);
    check('the English switch', (await page.$eval('#export-button', (b) => b.textContent)) === 'Export');

    await secondPass(page, { work, downloads, sample, files: flat, two, bad, big, hello, original, names });

    check('no network request once loaded', page.requestLog.every((u) => u === url || /^(data|blob):/.test(u)), page.requestLog.filter((u) => u !== url).join(' '));

    if (args.shot) {
      await openByInput(page, sample);
      await selectRows(page, [0]);
      await page.screenshot({ path: args.shot });
      console.log(`screenshot: ${args.shot}`);
    }
    await page.setViewport({ width: 360, height: 740 });
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
    check('usable at 360 px: no sideways scrolling of the page', overflow <= 0, `${overflow}px too wide`);
  } finally {
    await close(browser);
  }
  console.log(failures ? `${failures} check(s) FAILED` : 'every browser check passed');
  process.exitCode = failures ? 1 : 0;
}

(args.smoke ? smoke() : main()).catch((e) => { console.error(e); process.exitCode = 2; });
