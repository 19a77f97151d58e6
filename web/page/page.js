// The page: the core (ZelvoCore, WebAssembly) behind a file list, driven through its C API
// (web/core/web_api.h). The image lives in the module's in-memory file system; nothing leaves
// the page but what the user downloads.
'use strict';
(async () => {
  const $ = (id) => document.getElementById(id);
  const core = await ZelvoCore();
  const FS = core.FS;
  FS.mkdirTree('/img');
  FS.mkdirTree('/host');
  FS.mkdirTree('/out');

  const state = {
    lang: (navigator.language || '').toLowerCase().startsWith('ja') ? 'ja' : 'en',
    imageName: '',      // the user's name for the image
    imagePath: '',      // its path in the module's file system
    listing: null,      // the last listing of the core
    order: [],          // the rows as shown: indexes into listing.rows
    sort: { column: -1, up: true },
    selected: new Set(),  // slots
    cursor: -1,           // the slot the keyboard is on
    dirty: false,
    disks: [],
    importPath: '',
    editSlot: -1,
    modeChoice: 2,        // the convention chosen: 0 MZ, 1 PC, 2 Auto (identify decides)
    looks: -1,            // the convention identify finds when it contradicts the chosen one
  };

  // --- texts ---
  const T = (name) => (ZelvoTexts[name] || [name, name])[state.lang === 'ja' ? 0 : 1];
  function applyTexts() {
    document.documentElement.lang = state.lang;
    for (const el of document.querySelectorAll('[data-t]')) el.textContent = T(el.dataset.t);
    for (const el of document.querySelectorAll('[data-t-label]')) el.setAttribute('aria-label', T(el.dataset.tLabel));
    $('lang-button').textContent = state.lang === 'ja' ? 'English' : '日本語';
    $('lang-button').setAttribute('aria-label', T('kWebLanguage'));
    $('open-input').setAttribute('aria-label', T('kWebOpen'));
    $('import-input').setAttribute('aria-label', T('kWebImport'));
    $('codes-input').setAttribute('aria-label', T('kWebCodes'));
    $('list').setAttribute('aria-label', T('kWebFiles'));
    renderMessages();
    if (state.listing) render();
  }

  // --- calls into the core ---
  // Arguments: numbers as they are; strings (ASCII paths) and Uint8Array (code page 932 texts)
  // as zero-ended bytes in the module's memory.
  function call(name, ...args) {
    const held = [];
    const values = args.map((arg) => {
      if (typeof arg === 'number' || typeof arg === 'boolean') return Number(arg);
      const bytes = typeof arg === 'string' ? new TextEncoder().encode(arg) : arg;
      const at = core._malloc(bytes.length + 1);
      core.HEAPU8.set(bytes, at);
      core.HEAPU8[at + bytes.length] = 0;
      held.push(at);
      return at;
    });
    try {
      const result = core['_' + name](...values);
      return Cp932.decodeAll(JSON.parse(core.UTF8ToString(result)));
    } finally {
      held.forEach((at) => core._free(at));
    }
  }

  // --- messages ---
  // Shown in the current language, and shown again in the other when the language switches.
  const shown = [];
  function renderMessages() {
    const ja = state.lang === 'ja';
    $('messages').replaceChildren(...shown.map((m) => {
      const p = document.createElement('p');
      p.className = m.info ? 'msg info' : 'msg';
      p.dataset.id = m.id || '';
      p.textContent = (ja ? m.caption : m.captionEn) + ': ' + (ja ? m.text : m.textEn);
      return p;
    }));
  }
  function clearMessages() { shown.length = 0; renderMessages(); }
  function say(caption, text, info) {
    shown.push({ caption, captionEn: caption, text, textEn: text, info });
    renderMessages();
  }
  function show(result) {
    for (const m of result.messages || []) {
      shown.push({ caption: m.caption, captionEn: m.captionEn || m.caption, text: m.text, textEn: m.textEn,
        id: m.id, info: m.id === 'kMsgImportSucceeded' });
    }
    renderMessages();
    return result;
  }
  function ask(result) {
    return window.confirm((state.lang === 'ja' ? result.question : result.questionEn));
  }

  // --- the list ---
  function numeric(cell) { return /^[0-9A-Fa-f]+$/.test(cell) ? parseInt(cell, 16) : NaN; }
  function sortRows() {
    const rows = state.listing.rows;
    state.order = rows.map((_, i) => i);
    const c = state.sort.column;
    if (c < 0) return;
    state.order.sort((a, b) => {
      const x = rows[a].cells[c], y = rows[b].cells[c];
      const nx = numeric(x), ny = numeric(y);
      const r = !isNaN(nx) && !isNaN(ny) ? nx - ny : x.localeCompare(y);
      return (state.sort.up ? r : -r) || a - b;
    });
  }
  function render() {
    const l = state.listing;
    $('panel').textContent = l.panel;
    const head = $('list-head');
    head.replaceChildren(...l.columns.map((title, c) => {
      const th = document.createElement('th');
      th.textContent = title + (state.sort.column === c ? (state.sort.up ? ' ▲' : ' ▼') : '');
      th.setAttribute('aria-sort', state.sort.column === c ? (state.sort.up ? 'ascending' : 'descending') : 'none');
      th.addEventListener('click', () => {
        state.sort = { column: c, up: state.sort.column === c ? !state.sort.up : true };
        sortRows();
        render();
      });
      return th;
    }));
    const body = $('list-body');
    body.replaceChildren(...state.order.map((i) => {
      const row = l.rows[i];
      const tr = document.createElement('tr');
      tr.dataset.slot = row.slot;
      tr.setAttribute('aria-selected', state.selected.has(row.slot));
      if (state.selected.has(row.slot)) tr.className = 'selected';
      for (const cell of row.cells) {
        const td = document.createElement('td');
        td.textContent = cell;
        tr.append(td);
      }
      tr.addEventListener('click', (e) => choose(row.slot, e));
      tr.addEventListener('dblclick', () => exportSelected());
      return tr;
    }));
    $('status-mode').textContent = l.status[0];
    $('status-volume').textContent = l.status[1];
    $('status-image').textContent = state.imageName + (state.dirty ? ' *' : '');
    const loaded = l.loaded, some = state.selected.size > 0;
    $('download-button').disabled = !state.imagePath;
    $('undo-button').disabled = !l.canUndo;
    $('redo-button').disabled = !l.canRedo;
    $('export-button').disabled = !some;
    $('delete-button').disabled = !some;
    $('attr-button').disabled = state.selected.size !== 1;
    $('import-input').disabled = !loaded;
    $('identify-button').disabled = !loaded;
    $('convert-button').disabled = !loaded;
    // The box keeps the user's choice; beside it, what the open image is read under.
    $('mode-select').value = String(state.modeChoice);
    $('mode-read').textContent = !loaded ? ''
      : state.modeChoice === 2 ? T('kWebModeAuto') + ' → ' + l.mode : l.mode + T('kWebChosen');
    $('status-note').textContent = state.looks >= 0 ? T(state.looks === 1 ? 'kWebLooksRecordedPc' : 'kWebLooksRecordedMz') : '';
    document.title = 'Zelvo Explorer' + (state.imageName ? ' - ' + state.imageName : '');
  }
  function choose(slot, e) {
    if (e && (e.ctrlKey || e.metaKey)) {
      if (state.selected.has(slot)) state.selected.delete(slot); else state.selected.add(slot);
    } else if (e && e.shiftKey && state.cursor >= 0) {
      const slots = state.order.map((i) => state.listing.rows[i].slot);
      const a = slots.indexOf(state.cursor), b = slots.indexOf(slot);
      for (let k = Math.min(a, b); k <= Math.max(a, b); k++) state.selected.add(slots[k]);
    } else {
      state.selected = new Set([slot]);
    }
    state.cursor = slot;
    render();
  }
  function setListing(result) {
    if (!result.columns) return;
    state.listing = result;
    const slots = new Set(result.rows.map((r) => r.slot));
    state.selected = new Set([...state.selected].filter((s) => slots.has(s)));
    sortRows();
    render();
  }

  // --- open ---
  function extensionOf(name) {
    const dot = name.lastIndexOf('.');
    return dot < 0 ? '' : name.slice(dot).toLowerCase();
  }
  async function openFile(file) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    openBytes(file.name, bytes);
  }
  function openBytes(name, bytes) {
    if (state.dirty && !window.confirm(T('kWebDiscardQuestion'))) return;
    const started = performance.now();
    clearMessages();
    for (const f of FS.readdir('/img')) if (f !== '.' && f !== '..') FS.unlink('/img/' + f);
    state.imageName = name;
    state.imagePath = '/img/image' + extensionOf(name).replace(/[^.a-z0-9]/g, '_');
    FS.writeFile(state.imagePath, bytes);
    state.dirty = false;
    state.selected = new Set();
    state.cursor = -1;
    const disks = call('zw_disks', state.imagePath);
    state.disks = disks.disks || [];
    const select = $('disk-select');
    select.replaceChildren(...state.disks.map((d) => {
      const o = document.createElement('option');
      o.value = d.index;
      o.textContent = state.lang === 'ja' ? d.item : d.itemEn;
      return o;
    }));
    $('disk-label').hidden = state.disks.length < 2;
    if (state.disks.length < 2) {
      load(0);
      window.zelvoTimings.push(performance.now() - started);
      return;
    }
    // A file of several disks asks which one, as the Windows program's chooser does.
    $('disk-choice').replaceChildren(...[...select.options].map((o) => o.cloneNode(true)));
    state.diskChosen = (disk) => {
      if (disk < 0) {
        state.imagePath = '';
        state.imageName = '';
        setListing(call('zw_open', '', 0, 0, 0));
        return;
      }
      load(disk);
      window.zelvoTimings.push(performance.now() - started);
    };
    $('disk-dialog').showModal();
  }
  function load(disk) {
    clearMessages();
    const mode = Number($('mode-select').value);
    state.modeChoice = mode;
    const result = show(call('zw_open', state.imagePath, disk, mode, Number($('transfer-select').value)));
    // Under Auto the identification says which convention it found, and why.
    if (mode === 2 && result.identify && result.identify.text) say(T('kWebIdentify'), result.identify.text, true);
    state.looks = result.looks === undefined ? -1 : result.looks;
    setListing(result);
    $('disk-select').value = String(disk);
  }

  // --- export ---
  function download(name, bytes) {
    const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }
  function exportSlot(slot) {
    const result = show(call('zw_export', slot, '/out/export'));
    if (!result.ok) return null;
    const data = FS.readFile('/out/export');
    FS.unlink('/out/export');
    return { name: result.name, data };
  }
  function exportSelected() {
    clearMessages();
    const slots = state.order.map((i) => state.listing.rows[i].slot).filter((s) => state.selected.has(s));
    if (slots.length === 0) return;
    if (slots.length === 1) {
      const file = exportSlot(slots[0]);
      if (file) download(file.name, file.data);
      return;
    }
    const entries = [];
    const used = new Set();
    for (const slot of slots) {
      const file = exportSlot(slot);
      if (!file) return;
      let name = file.name, n = 1;
      while (used.has(name)) name = file.name + '~' + n++;
      used.add(name);
      entries.push({ name: new TextEncoder().encode(name), data: file.data, utf8: true });
    }
    download(state.imageName.replace(/\.[^.]*$/, '') + '.zip', Zip.build(entries));
  }

  // --- changes ---
  function changed(result) {
    show(result);
    if (result.ok) state.dirty = true;
    setListing(result);
  }
  function fillForm(texts, title) {
    $('attr-title').textContent = title;
    $('f-name').value = texts.name;
    $('f-type').value = texts.type;
    $('f-types').replaceChildren(...texts.types.map((t) => Object.assign(document.createElement('option'), { value: t })));
    $('f-start').value = texts.start;
    $('f-exec').value = texts.exec;
    $('f-year').value = texts.year;
    $('f-month').value = texts.month;
    $('f-day').value = texts.day;
    $('f-lock').checked = texts.lock;
  }
  function formTexts() {
    return ['f-name', 'f-type', 'f-start', 'f-exec', 'f-year', 'f-month', 'f-day']
      .map((id) => Cp932.encode($(id).value)).concat([$('f-lock').checked ? 1 : 0]);
  }
  async function importFile(file) {
    clearMessages();
    if (!state.listing || !state.listing.loaded) {
      show(call('zw_import_check', '', '', '', '', '', '', '', '', 0, 0));
      return;
    }
    const data = new Uint8Array(await file.arrayBuffer());
    for (const f of FS.readdir('/host')) if (f !== '.' && f !== '..') FS.unlink('/host/' + f);
    const nameBytes = Cp932.encode(file.name);
    state.importPath = '/host/' + Cp932.storedPath(nameBytes);
    FS.writeFile(state.importPath, data);
    const hostPath = new Uint8Array([...new TextEncoder().encode('/host/'), ...nameBytes]);
    const defaults = show(call('zw_import_defaults', hostPath));
    if (!defaults.ok) return;
    fillForm(defaults, T('kWebImport') + ': ' + file.name);
    state.formAction = () => {
      let check = show(call('zw_import_check', hostPath, ...formTexts(), 0));
      if (check.ok && check.replace) {
        // A file of the same name: replaced only when the user says so; else the form stays.
        if (!ask(check)) return false;
        check = show(call('zw_import_check', hostPath, ...formTexts(), 1));
      }
      if (!check.ok) return false;
      if (!ask(check)) return true;
      changed(call('zw_import_write'));
      return true;
    };
    $('attr-dialog').showModal();
  }
  function editAttributes() {
    if (state.selected.size !== 1) return;
    clearMessages();
    const slot = [...state.selected][0];
    const texts = show(call('zw_attr_texts', slot));
    if (!texts.ok) return;
    fillForm(texts, T('kWebAttributes'));
    state.formAction = () => {
      const check = show(call('zw_attr_check', slot, ...formTexts()));
      if (!check.ok) { if (check.columns) setListing(check); return !!check.columns; }
      if (!ask(check)) return true;
      changed(call('zw_attr_write'));
      return true;
    };
    $('attr-dialog').showModal();
  }
  function deleteSelected() {
    if (state.selected.size === 0) return;
    clearMessages();
    const slots = state.order.map((i) => state.listing.rows[i].slot).filter((s) => state.selected.has(s));
    const check = show(call('zw_delete_check', slots.join(',')));
    if (!check.ok) { if (check.columns) setListing(check); return; }
    if (!ask(check)) return;
    changed(call('zw_delete_write'));
  }
  function step(undo) {
    if (!state.listing || !(undo ? state.listing.canUndo : state.listing.canRedo)) return;
    clearMessages();
    changed(call('zw_undo', undo ? 1 : 0));
  }
  function downloadImage() {
    if (!state.imagePath) return;
    download(state.imageName, FS.readFile(state.imagePath));
    state.dirty = false;
    render();
  }
  // The open volume in another container or convention: the converted image opens in the page
  // and is downloaded.
  function convert() {
    if (!state.listing || !state.listing.loaded) return;
    clearMessages();
    const [extension, mode] = $('convert-select').value.split('|');
    const path = '/out/convert' + extension;
    const result = show(call('zw_convert', path, Number(mode)));
    if (!result.ok) return;
    const bytes = FS.readFile(path);
    FS.unlink(path);
    const name = state.imageName.replace(/\.[^.]*$/, '') + extension;
    state.dirty = false;
    openBytes(name, bytes);
    downloadImage();
  }
  // The Open picker's extensions and the conversions, from the core's table of containers.
  function fillConversions() {
    const all = call('zw_containers').kinds;
    $('open-input').accept = all.flatMap((k) => k.extensions).join(',');
    const kinds = all.filter((k) => k.writesBlank);
    $('convert-select').replaceChildren(...kinds.flatMap((k) => k.extensions.flatMap((e) => ['0', '1'].map((m) =>
      Object.assign(document.createElement('option'), { value: e + '|' + m, textContent: e + ' ' + (m === '1' ? 'PC' : 'MZ') })))));
  }
  function newImage() {
    const now = new Date();
    const two = (n) => String(n % 100).padStart(2, '0');
    $('n-year').value = two(now.getFullYear());
    $('n-month').value = two(now.getMonth() + 1);
    $('n-day').value = two(now.getDate());
    $('new-dialog').showModal();
  }
  function makeNewImage() {
    clearMessages();
    const name = $('n-file').value.trim() || 'blank.d88';
    const path = '/out/new' + extensionOf(name).replace(/[^.a-z0-9]/g, '_');
    const mode = Number($('mode-select').value) === 1 ? 1 : 0;
    const result = show(call('zw_new', path, mode, Cp932.encode($('n-name').value), $('n-volume').value,
      $('n-year').value, $('n-month').value, $('n-day').value, $('n-exdir').checked ? 1 : 0));
    if (!result.ok) return false;
    const bytes = FS.readFile(path);
    FS.unlink(path);
    openBytes(name, bytes);
    state.dirty = true;
    render();
    return true;
  }

  // --- wiring ---
  $('open-input').addEventListener('change', (e) => { if (e.target.files[0]) openFile(e.target.files[0]); e.target.value = ''; });
  $('import-input').addEventListener('change', (e) => { if (e.target.files[0]) importFile(e.target.files[0]); e.target.value = ''; });
  $('codes-input').addEventListener('change', async (e) => {
    const file = e.target.files[0];
    e.target.value = '';
    if (!file) return;
    clearMessages();
    FS.writeFile('/out/codes.txt', new Uint8Array(await file.arrayBuffer()));
    if (show(call('zw_load_codes', '/out/codes.txt')).ok && state.imagePath) load(Number($('disk-select').value) || 0);
  });
  $('export-button').addEventListener('click', exportSelected);
  $('delete-button').addEventListener('click', deleteSelected);
  $('attr-button').addEventListener('click', editAttributes);
  $('undo-button').addEventListener('click', () => step(true));
  $('redo-button').addEventListener('click', () => step(false));
  $('download-button').addEventListener('click', downloadImage);
  $('new-button').addEventListener('click', newImage);
  $('convert-button').addEventListener('click', convert);
  $('identify-button').addEventListener('click', () => {
    clearMessages();
    const r = show(call('zw_identify'));
    if (r.ok) say(T('kWebIdentify'), r.text, true);
  });
  $('lang-button').addEventListener('click', () => { state.lang = state.lang === 'ja' ? 'en' : 'ja'; applyTexts(); });
  $('mode-select').addEventListener('change', () => { if (state.imagePath) load(Number($('disk-select').value) || 0); });
  $('disk-select').addEventListener('change', () => load(Number($('disk-select').value)));
  $('transfer-select').addEventListener('change', () => { if (state.listing) setListing(call('zw_set_transfer', Number($('transfer-select').value))); });
  $('attr-form').addEventListener('submit', (e) => {
    if (e.submitter && e.submitter.value === 'cancel') return;
    if (!state.formAction()) e.preventDefault();
  });
  $('disk-form').addEventListener('submit', (e) => {
    state.diskChosen(e.submitter && e.submitter.value === 'cancel' ? -1 : Number($('disk-choice').value));
  });
  $('disk-dialog').addEventListener('cancel', () => state.diskChosen(-1));
  $('new-form').addEventListener('submit', (e) => {
    if (e.submitter && e.submitter.value === 'cancel') return;
    if (!makeNewImage()) e.preventDefault();
  });

  // Dropping: an image anywhere opens it; a file dropped on the list is imported.
  const zone = document.body;
  zone.addEventListener('dragover', (e) => { e.preventDefault(); $('drop-zone').classList.add('dragging'); });
  zone.addEventListener('dragleave', () => $('drop-zone').classList.remove('dragging'));
  zone.addEventListener('drop', (e) => {
    e.preventDefault();
    $('drop-zone').classList.remove('dragging');
    const file = e.dataTransfer && e.dataTransfer.files[0];
    if (!file) return;
    const onList = e.target.closest && e.target.closest('#list-wrap');
    if (onList && state.listing && state.listing.loaded) importFile(file); else openFile(file);
  });

  document.addEventListener('keydown', (e) => {
    if (document.querySelector('dialog[open]')) return;
    const tag = (e.target.tagName || '').toLowerCase();
    if (tag === 'input' || tag === 'select') return;
    const ctrl = e.ctrlKey || e.metaKey;
    if (ctrl && e.key.toLowerCase() === 'z') { e.preventDefault(); step(true); return; }
    if (ctrl && e.key.toLowerCase() === 'y') { e.preventDefault(); step(false); return; }
    // A focused button takes Enter itself; the list's keys apply elsewhere.
    if (!state.listing || tag === 'button' || tag === 'textarea') return;
    const slots = state.order.map((i) => state.listing.rows[i].slot);
    if (e.key === 'ArrowDown' || e.key === 'ArrowUp') {
      e.preventDefault();
      if (slots.length === 0) return;
      let at = slots.indexOf(state.cursor);
      at = at < 0 ? 0 : Math.max(0, Math.min(slots.length - 1, at + (e.key === 'ArrowDown' ? 1 : -1)));
      choose(slots[at], e.shiftKey ? { shiftKey: true } : null);
      const tr = $('list-body').children[at];
      if (tr && tr.scrollIntoView) tr.scrollIntoView({ block: 'nearest' });
    } else if (e.key === 'Enter') { e.preventDefault(); exportSelected(); }
    else if (e.key === 'Delete') { e.preventDefault(); deleteSelected(); }
    else if (e.key === 'F2') { e.preventDefault(); editAttributes(); }
  });
  window.addEventListener('beforeunload', (e) => {
    if (state.dirty) { e.preventDefault(); e.returnValue = ''; }
  });

  show(call('zw_load_codes', '/codes/CodeChg.txt'));
  fillConversions();
  applyTexts();
  setListing(call('zw_listing'));
  window.zelvoPage = { state, call, openBytes };
  document.body.dataset.ready = '1';
})();
window.zelvoTimings = [];
