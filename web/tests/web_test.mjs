// The page in headless Chromium, compared with zelvo on the same images.
//   node web_test.mjs --page PAGE.html --zelvo ZELVO --sample MAKE_SAMPLE --work DIR [--shot PNG]
//   node web_test.mjs --smoke --page URL_OR_FILE --shot PNG
// Each check prints "ok NAME" or "FAILED NAME: why"; the exit code is the number of failures.
import { execFileSync } from 'node:child_process';
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
  page.on('dialog', (d) => d.accept());
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
  try {
    return { out: execFileSync(args.zelvo, argv, { env: { ...process.env, ZELVO_LANG: 'ja' }, stdio: 'pipe' }).toString(), code: 0 };
  } catch (e) {
    return { out: e.stdout.toString(), err: e.stderr.toString(), code: e.status };
  }
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
    zelvo('import', '--yes', '--replace', '--name', 'README.TXT', replacedCopy, hello);
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
    same('convert: the page shows the converted image', await table(page), ls(sample).rows);
    same('convert: Auto stays Auto', await page.$eval('#mode-select', (s) => s.value), '2');
    same('convert: read as PC under Auto', await page.$eval('#mode-read', (s) => s.textContent), '自動 → PC');
    await openByInput(page, convertedPath);
    same('auto: the identified convention\'s listing', await table(page), ls(convertedPath, '--mode', 'auto').rows);
    check('auto: the identification is shown', (await messages(page)).some((m) => m.startsWith('自動判別: ')), JSON.stringify(await messages(page)));
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
      if (await page.$('#attr-dialog[open]')) {
        for (const [id, value] of Object.entries(r.fields)) await page.$eval('#' + id, (el, v) => { el.value = v; }, value);
        await page.click('#attr-ok');
        await page.waitForSelector('#messages .msg');
        if (await page.$('#attr-dialog[open]')) await page.click('#attr-cancel');
      }
      const img = path.join(work, 'refused.d88');
      fs.copyFileSync(sample, img);
      const cli = zelvo(...r.cli(img));
      same(`${r.what}: zelvo's message`, await messages(page), [cli.err.trimEnd()]);
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
