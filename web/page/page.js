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

  // The language, convention and transfer mode chosen last, kept in the browser's local storage.
  const remembered = (() => {
    try { return JSON.parse(localStorage.getItem('zelvo-explorer') || '{}') || {}; } catch { return {}; }
  })();
  const remember = (what) => {
    Object.assign(remembered, what);
    try { localStorage.setItem('zelvo-explorer', JSON.stringify(remembered)); } catch { /* storage refused: nothing kept */ }
  };
  const state = {
    lang: remembered.lang === 'ja' || remembered.lang === 'en' ? remembered.lang
      : (navigator.language || '').toLowerCase().startsWith('ja') ? 'ja' : 'en',
    imageName: '',      // the user's name for the image
    imagePath: '',      // its path in the module's file system
    listing: null,      // the last listing of the core
    order: [],          // the rows as shown: indexes into listing.rows
    sort: { column: -1, up: true },
    selected: new Set(),  // slots
    cursor: -1,           // the slot the keyboard is on
    header: -1,           // the column header the keyboard is on (-1: a row)
    multi: false,         // taps add or remove rows (touch)
    clicks: [-1, -1],     // the slots of the last two clicks
    dirty: false,
    handle: null,         // the opened file's handle, where the browser lets the page write it back
    disks: [],
    importPath: '',
    editSlot: -1,
    modeChoice: 2,        // the convention chosen: 0 MZ, 1 PC, 2 Auto (identify decides)
    looks: -1,            // the convention identify finds when it contradicts the chosen one
  };

  // --- texts ---
  const T = (name) => (ZelvoTexts[name] || [name, name])[state.lang === 'ja' ? 0 : 1];
  // A text of the table with its %s, %d and %ld filled in order.
  const F = (name, ...values) => T(name).replace(/%l?[sd]/g, () => String(values.shift()));
  function applyTexts() {
    document.documentElement.lang = state.lang;
    for (const el of document.querySelectorAll('[data-t]')) el.textContent = T(el.dataset.t);
    for (const el of document.querySelectorAll('[data-t-label]')) el.setAttribute('aria-label', T(el.dataset.tLabel));
    // The button's name is its visible text, in the language it switches to.
    $('lang-button').textContent = state.lang === 'ja' ? 'English' : '日本語';
    $('lang-button').lang = state.lang === 'ja' ? 'en' : 'ja';
    $('lang-button').title = T('kWebLanguage');
    $('multi-button').setAttribute('aria-pressed', state.multi);
    $('open-input').setAttribute('aria-label', T('kWebOpen'));
    $('import-input').setAttribute('aria-label', T('kWebImport'));
    $('codes-input').setAttribute('aria-label', T('kWebCodes'));
    $('list').setAttribute('aria-label', T('kWebFiles'));
    renderMessages();
    renderAction();
    if (state.listing) render();
    renderSummary();
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
  // A message of the page's own texts (kept by name, so it follows the language).
  function say(name, ...values) {
    const fill = (lang, list) => ZelvoTexts[name][lang].replace(/%l?[sd]/g, () => String(list.shift()));
    shown.push({ caption: ZelvoTexts.kWebError[0], captionEn: ZelvoTexts.kWebError[1],
      text: fill(0, [...values]), textEn: fill(1, [...values]), id: name });
    renderMessages();
  }
  function show(result) {
    for (const m of result.messages || []) {
      shown.push({ caption: m.caption, captionEn: m.captionEn || m.caption, text: m.text, textEn: m.textEn,
        id: m.id, info: m.id === 'kMsgImportSucceeded' || m.id === 'kMsgBatchImportSucceeded' });
    }
    renderMessages();
    return result;
  }
  function ask(result) {
    return window.confirm((state.lang === 'ja' ? result.question : result.questionEn));
  }
  // The outcome of the last action in the status line, as the window's status bar says it:
  // a text name and its values, shown again in the other language when it switches.
  function tell(name, ...values) {
    state.action = name ? { name, values } : null;
    renderAction();
  }
  function renderAction() {
    $('status-action').textContent = state.action ? F(state.action.name, ...state.action.values) : '';
  }

  // --- the list ---
  const DATE_COLUMN = 6;
  function numeric(cell) { return /^[0-9A-Fa-f]+$/.test(cell) ? parseInt(cell, 16) : NaN; }
  function sortRows() {
    const rows = state.listing.rows;
    state.order = rows.map((_, i) => i);
    const c = state.sort.column;
    if (c < 0) return;
    state.order.sort((a, b) => {
      // The date by the window's key: years 70-99 before 00-69.
      const date = c === DATE_COLUMN;
      const x = date ? rows[a].dateKey : rows[a].cells[c], y = date ? rows[b].dateKey : rows[b].cells[c];
      const nx = numeric(x), ny = numeric(y);
      const r = !isNaN(nx) && !isNaN(ny) ? nx - ny : x.localeCompare(y);
      return (state.sort.up ? r : -r) || a - b;
    });
  }
  function render() {
    const l = state.listing;
    $('panel').textContent = l.panel;
    // A grid with one tab stop: the active row (or column header, reached by Up from the first
    // row) is its active descendant, so a screen reader follows the keyboard.
    const head = $('list-head');
    head.replaceChildren(...l.columns.map((title, c) => {
      const th = document.createElement('th');
      th.id = 'col-' + c;
      th.setAttribute('role', 'columnheader');
      th.textContent = title + (state.sort.column === c ? (state.sort.up ? ' ▲' : ' ▼') : '');
      th.setAttribute('aria-sort', state.sort.column === c ? (state.sort.up ? 'ascending' : 'descending') : 'none');
      if (state.header === c) th.className = 'active';
      th.addEventListener('click', () => sortBy(c));
      return th;
    }));
    const body = $('list-body');
    body.replaceChildren(...state.order.map((i) => {
      const row = l.rows[i];
      const tr = document.createElement('tr');
      tr.id = 'row-' + row.slot;
      tr.dataset.slot = row.slot;
      tr.setAttribute('role', 'row');
      tr.setAttribute('aria-selected', state.selected.has(row.slot));
      tr.classList.toggle('selected', state.selected.has(row.slot));
      tr.classList.toggle('active', state.header < 0 && state.cursor === row.slot);
      // A file on bad or missing sectors: marked, and its count said on hover.
      tr.classList.toggle('damaged', row.damaged > 0);
      if (row.damaged > 0) tr.title = F('kWebDamagedRow', row.damaged);
      for (const cell of row.cells) {
        const td = document.createElement('td');
        td.setAttribute('role', 'gridcell');
        td.textContent = cell;
        tr.append(td);
      }
      tr.addEventListener('click', (e) => { state.clicks = [state.clicks[1], row.slot]; choose(row.slot, e); });
      // As in the window: a double click opens the file's attributes (two quick taps on two
      // rows are no double click, nor is anything while taps select several).
      tr.addEventListener('dblclick', () => {
        if (state.multi || state.clicks[0] !== row.slot) return;
        choose(row.slot, null);
        editAttributes();
      });
      return tr;
    }));
    const active = state.header >= 0 ? 'col-' + state.header : state.cursor >= 0 && $('row-' + state.cursor) ? 'row-' + state.cursor : '';
    if (active) $('list').setAttribute('aria-activedescendant', active); else $('list').removeAttribute('aria-activedescendant');
    $('status-mode').textContent = l.status[0];
    const damaged = l.damagedFiles > 0 ? ' ' + (state.lang === 'ja' ? l.damaged : l.damagedEn) : '';
    $('status-volume').textContent = l.status[state.lang === 'ja' ? 1 : 2] + damaged;
    $('status-image').textContent = state.imageName + (state.dirty ? ' *' : '');
    // What cannot run is greyed; the status line says why (no image, or the protection mark).
    const loaded = l.loaded, some = state.selected.size > 0, writable = loaded && !l.protected;
    $('status-why').textContent = loaded ? '' : T(state.imageName ? 'kWebNotLoaded' : 'kWebNoImage');
    $('download-button').disabled = !loaded;
    $('save-button').disabled = !loaded || !state.handle;
    $('check-button').disabled = !loaded;
    $('restore-button').disabled = !writable || !l.deleted;
    $('sectors-button').disabled = !loaded;
    $('undo-button').disabled = !l.canUndo;
    $('redo-button').disabled = !l.canRedo;
    $('export-button').disabled = !some;
    $('delete-button').disabled = !some || !writable;
    $('attr-button').disabled = state.selected.size !== 1 || !writable;
    $('import-input').disabled = !writable;
    $('import-label').classList.toggle('disabled', !writable);
    $('identify-button').disabled = !loaded;
    $('convert-button').disabled = !loaded;
    // The box keeps the user's choice; beside it, what the open image is read under.
    $('mode-select').value = String(state.modeChoice);
    $('mode-read').textContent = !loaded ? ''
      : state.modeChoice === 2 ? T('kWebModeAuto') + ' → ' + l.mode : l.mode + T('kWebChosen');
    $('status-note').textContent = state.looks >= 0 ? T(state.looks === 1 ? 'kWebLooksRecordedPc' : 'kWebLooksRecordedMz') : '';
    document.title = 'Zelvo Explorer' + (state.imageName ? ' - ' + state.imageName : '');
  }
  function sortBy(c) {
    state.sort = { column: c, up: state.sort.column === c ? !state.sort.up : true };
    sortRows();
    render();
  }
  function choose(slot, e) {
    state.header = -1;
    // Touch has no Ctrl: "select several" makes each tap add or remove a row.
    if (e && (e.ctrlKey || e.metaKey || (state.multi && !e.shiftKey && e.type === 'click'))) {
      if (state.selected.has(slot)) state.selected.delete(slot); else state.selected.add(slot);
    } else if (e && e.shiftKey && state.cursor >= 0) {
      const slots = shownSlots();
      const b = slots.indexOf(slot), a = Math.max(0, slots.indexOf(state.cursor));
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
    if (!slots.has(state.cursor)) state.cursor = -1;
    sortRows();
    render();
  }
  // The slots as the list shows them, and the cursor moved to the row at `at` (kept in range).
  const shownSlots = () => state.order.map((i) => state.listing.rows[i].slot);
  function moveTo(at, extend) {
    const slots = shownSlots();
    if (slots.length === 0) return;
    at = Math.max(0, Math.min(slots.length - 1, at));
    choose(slots[at], extend ? { shiftKey: true } : null);
    const tr = $('row-' + slots[at]);
    if (tr && tr.scrollIntoView) tr.scrollIntoView({ block: 'nearest' });
  }

  // --- open ---
  function extensionOf(name) {
    const dot = name.lastIndexOf('.');
    return dot < 0 ? '' : name.slice(dot).toLowerCase();
  }
  async function openFile(file, handle = null) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    openBytes(file.name, bytes, handle);
  }
  // Where the browser offers it, Open goes through the file system picker, which keeps the
  // file's handle for Save; elsewhere through the file input.
  const canSaveBack = typeof window.showOpenFilePicker === 'function';
  async function pickImage() {
    let handle;
    try {
      [handle] = await window.showOpenFilePicker({ multiple: false, excludeAcceptAllOption: false,
        types: [{ description: 'Zelvo', accept: { 'application/octet-stream': state.imageExtensions } }] });
    } catch (e) {
      // Cancelled: nothing. A picker that cannot open: the file input instead.
      if (!e || e.name !== 'AbortError') $('open-input').click();
      return;
    }
    openFile(await handle.getFile(), handle);
  }
  // The new image is written beside the open one and takes its place only once it is chosen:
  // Cancel in the disk chooser keeps the image that was open, its changes and its history.
  function openBytes(name, bytes, handle = null) {
    if (state.dirty && !window.confirm(T('kWebDiscardQuestion'))) return false;
    const started = performance.now();
    const pending = '/img/pending' + extensionOf(name).replace(/[^.a-z0-9]/g, '_');
    FS.writeFile(pending, bytes);
    const info = call('zw_disks', pending);
    const disks = info.disks || [];
    const take = (disk) => {
      for (const f of FS.readdir('/img')) if (f !== '.' && f !== '..' && '/img/' + f !== pending) FS.unlink('/img/' + f);
      state.imageName = name;
      state.imagePath = pending.replace('/img/pending', '/img/image');
      FS.rename(pending, state.imagePath);
      state.dirty = false;
      state.handle = handle;
      state.sector = null;
      state.selected = new Set();
      state.cursor = -1;
      state.disks = disks;
      state.empty = info.empty;
      state.recognised = info.recognised;
      const select = $('disk-select');
      select.replaceChildren(...disks.map((d) => {
        const o = document.createElement('option');
        o.value = d.index;
        o.textContent = state.lang === 'ja' ? d.item : d.itemEn;
        return o;
      }));
      $('disk-label').hidden = disks.length < 2;
      tell(null);
      load(disk);
      window.zelvoTimings.push(performance.now() - started);
      // The first row selected and the list focused, ready for the keyboard.
      if (state.listing.rows.length) moveTo(0, false);
      if (state.listing.loaded) $('list').focus({ preventScroll: true });
    };
    if (disks.length < 2) { take(0); return true; }
    // A file of several disks asks which one, as the Windows program's chooser does.
    $('disk-choice').replaceChildren(...disks.map((d) => Object.assign(document.createElement('option'),
      { value: d.index, textContent: state.lang === 'ja' ? d.item : d.itemEn })));
    state.diskChosen = (disk) => {
      state.diskChosen = () => {};
      if (disk < 0) { FS.unlink(pending); tell('kWebOpenCancelled'); return; }
      take(disk);
    };
    $('disk-dialog').showModal();
    return true;
  }
  function load(disk) {
    clearMessages();
    const mode = Number($('mode-select').value);
    state.modeChoice = mode;
    const result = show(call('zw_open', state.imagePath, disk, mode, Number($('transfer-select').value)));
    // One line says what the file is; the identification's report (Auto runs it) on request.
    const id = result.identify && result.identify.text ? result.identify : null;
    state.summary = {
      // Bytes no container recognises are no image, even where a flat reading lists something.
      key: state.empty ? 'kWebEmptyFile' : !state.recognised ? 'kWebNotImage' : !result.loaded ? 'kWebNotVolume' : '',
      report: id,
    };
    $('report').open = false;
    state.looks = result.looks === undefined ? -1 : result.looks;
    setListing(result);
    renderSummary();
    $('disk-select').value = String(disk);
  }

  function renderSummary() {
    const s = state.summary, l = state.listing;
    $('report').hidden = !s;
    if (!s) return;
    const count = (n, one, many) => (n === 1 ? T(one) : F(many, n));
    $('summary-line').textContent = s.key ? T(s.key) : [l.mode, l.format,
      count(Math.max(1, state.disks.length), 'kWebOneDisk', 'kWebDisks'),
      count(l.rows.length, 'kWebOneFile', 'kWebFileCount')].join(' · ');
    const ja = state.lang === 'ja';
    $('report-text').textContent = s.report ? (ja ? s.report.text : s.report.textEn) : '';
    $('report-text').hidden = !s.report;
  }
  // The full report when asked for: the identification of the open image.
  function showReport() {
    if (!state.summary) return;
    if (!state.summary.report && state.listing && state.listing.loaded) {
      const r = show(call('zw_identify'));
      if (r.ok) state.summary.report = r;
    }
    renderSummary();
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
      if (!file) return;
      download(file.name, file.data);
      tell('kStatusExported', rowOf(slots[0]).cells[0], file.data.length);
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
    tell('kStatusFilesExported', entries.length);
  }
  function rowOf(slot) { return state.listing.rows.find((r) => r.slot === slot); }

  // --- changes ---
  function changed(result, status, ...values) {
    show(result);
    if (result.ok) { state.dirty = true; state.changes = (state.changes || 0) + 1; }
    setListing(result);
    if (result.ok && status) tell(status, ...values);
    return result.ok;
  }
  // A form's refusals inside its dialog, each at the field it is about (focus moves to the first),
  // cleared when that field is edited; one about no field at the top of the form.
  // The field of each refusal, after the form's prefix (f- attributes, n- new image).
  const FIELD_OF = {
    kMsgBadStart: 'start', kMsgBadExec: 'exec', kMsgBadType: 'type', kMsgBadYear: 'year', kMsgBadMonth: 'month',
    kMsgBadDay: 'day', kMsgNameBadChar: 'name', kMsgNameDuplicate: 'name', kMsgNameTooLong: 'name',
    kMsgReplaceLocked: 'name', kMsgBadDiskName: 'name', kMsgBadVolumeNumber: 'volume', kMsgBadExtension: 'file',
    kMsgDiskNameNotInTable: 'name',
  };
  function clearFormErrors(form, field) {
    for (const p of form.querySelectorAll('.field-error')) {
      if (field && p.dataset.for !== field.id) continue;
      const of = p.dataset.for && $(p.dataset.for);
      if (of) { of.removeAttribute('aria-invalid'); of.removeAttribute('aria-describedby'); }
      p.remove();
    }
  }
  function formErrors(form, result) {
    clearFormErrors(form);
    const ja = state.lang === 'ja';
    let first = null;
    for (const m of result.messages || []) {
      const p = document.createElement('p');
      p.className = 'msg field-error';
      p.dataset.id = m.id || '';
      p.textContent = (ja ? m.caption : m.captionEn) + ': ' + (ja ? m.text : m.textEn);
      const field = FIELD_OF[m.id] && $(form.dataset.prefix + FIELD_OF[m.id]);
      if (field) {
        p.id = field.id + '-error';
        p.dataset.for = field.id;
        field.setAttribute('aria-invalid', 'true');
        field.setAttribute('aria-describedby', p.id);
        (field.closest('label') || field.closest('fieldset')).after(p);
        first = first || field;
      } else {
        form.querySelector('.form-errors').append(p);
      }
    }
    if (first) first.focus();
  }
  function fillForm(texts, title) {
    clearFormErrors($('attr-form'));
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
  // The host files in the module's file system: each one's path as the core takes it.
  async function hostPaths(files) {
    for (const f of FS.readdir('/host')) if (f !== '.' && f !== '..') FS.unlink('/host/' + f);
    const paths = [];
    for (const file of files) {
      const nameBytes = Cp932.encode(file.name);
      FS.writeFile('/host/' + Cp932.storedPath(nameBytes), new Uint8Array(await file.arrayBuffer()));
      paths.push(new Uint8Array([...new TextEncoder().encode('/host/'), ...nameBytes]));
    }
    return paths;
  }
  // After an import the imported files are selected: the rows that are new or changed.
  function selectChanged(before) {
    const changedSlots = state.listing.rows.filter((r) => before.get(r.slot) !== r.cells.join('\t')).map((r) => r.slot);
    if (changedSlots.length === 0) return;
    state.selected = new Set(changedSlots);
    state.cursor = changedSlots[0];
    render();
  }
  const rowTexts = () => new Map((state.listing ? state.listing.rows : []).map((r) => [r.slot, r.cells.join('\t')]));
  function importFiles(list) {
    const files = [...list];
    if (files.length === 1) return importFile(files[0]);
    if (files.length > 1) return importMany(files);
  }
  // Several files as one change with their default attributes: those that cannot go in are
  // listed with their reasons, and the others imported when the user says so.
  async function importMany(files) {
    clearMessages();
    const paths = await hostPaths(files);
    const joined = new Uint8Array(paths.reduce((n, p) => n + p.length + 1, 0) - 1);
    paths.reduce((at, p) => { joined.set(p, at); if (at + p.length < joined.length) joined[at + p.length] = 10; return at + p.length + 1; }, 0);
    const check = call('zw_import_many', joined, 0);
    if (!check.refused) { show(check); return; }
    const ja = state.lang === 'ja';
    const reasons = check.refused.map((r) => files[r.index].name + ': ' + r.messages.map((m) => (ja ? m.text : m.textEn)).join(' '));
    if (check.count === 0) {
      for (const r of check.refused) show({ messages: r.messages.map((m) => ({ ...m, text: files[r.index].name + ': ' + m.text, textEn: files[r.index].name + ': ' + m.textEn })) });
      return;
    }
    if (reasons.length && !window.confirm(F('kWebImportOthers', reasons.join('\n')))) { tell('kStatusUnchanged'); return; }
    const before = rowTexts();
    if (changed(call('zw_import_many', joined, 1))) selectChanged(before);
  }
  async function importFile(file) {
    clearMessages();
    if (!state.listing || !state.listing.loaded) {
      show(call('zw_import_check', '', '', '', '', '', '', '', '', 0, 0));
      return;
    }
    const hostPath = (await hostPaths([file]))[0];
    const defaults = show(call('zw_import_defaults', hostPath));
    if (!defaults.ok) return;
    fillForm(defaults, T('kWebImport') + ': ' + file.name);
    state.formAction = () => {
      let check = call('zw_import_check', hostPath, ...formTexts(), 0);
      if (check.ok && check.replace) {
        // A file of the same name: replaced only when the user says so; else the form stays.
        if (!ask(check)) return false;
        check = call('zw_import_check', hostPath, ...formTexts(), 1);
      }
      if (!check.ok) { formErrors($('attr-form'), check); return false; }
      // The page works on a copy in memory and has undo: nothing more to ask.
      const before = rowTexts();
      if (changed(call('zw_import_write'))) selectChanged(before);
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
      const check = call('zw_attr_check', slot, ...formTexts());
      if (!check.ok) {
        // The volume changed under the form: the form closes over the listing read again.
        if (check.columns) { show(check); setListing(check); return true; }
        formErrors($('attr-form'), check);
        return false;
      }
      // OK without an edit writes nothing, as in the window.
      if (check.unchanged) { tell('kStatusUnchanged'); return true; }
      const result = call('zw_attr_write');
      if (result.ok) state.selected = new Set([slot]);
      changed(result);
      if (result.ok) tell('kStatusAttributesChanged', rowOf(slot) ? rowOf(slot).cells[0] : '');
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
    // The page keeps undo: the question names what goes, without the backup reminder.
    const question = slots.length === 1 ? F('kWebDeleteOne', rowOf(slots[0]).cells[0]) : F('kWebDeleteMany', slots.length);
    if (!window.confirm(question)) return;
    const at = shownSlots().indexOf(state.cursor);
    if (changed(call('zw_delete_write'), slots.length === 1 ? 'kStatusDeleted' : 'kStatusFilesDeleted', slots.length)) {
      // The cursor stays where it was: on the row that took the deleted one's place.
      state.selected = new Set();
      moveTo(Math.max(0, at), false);
    }
  }
  function step(undo) {
    if (!state.listing || !(undo ? state.listing.canUndo : state.listing.canRedo)) return;
    clearMessages();
    changed(call('zw_undo', undo ? 1 : 0), undo ? 'kStatusUndone' : 'kStatusRedone');
  }
  // A download cannot say whether it was saved or cancelled: the unsaved mark stays.
  function downloadImage() {
    if (!state.imagePath) return;
    download(state.imageName, FS.readFile(state.imagePath));
    tell('kWebDownloaded');
  }
  // The image written back to the file it was opened from, after the browser's permission; only a
  // write that succeeded clears the unsaved mark.
  async function saveBack() {
    const handle = state.handle;
    if (!handle || !state.imagePath || !state.listing.loaded) return;
    clearMessages();
    const name = handle.name || state.imageName;
    const bytes = FS.readFile(state.imagePath);
    const changes = state.changes;
    try {
      const mode = { mode: 'readwrite' };
      if ((await handle.queryPermission(mode)) !== 'granted' && (await handle.requestPermission(mode)) !== 'granted') {
        say('kWebSaveDenied', name);
        return;
      }
      const writable = await handle.createWritable();
      await writable.write(bytes);
      await writable.close();
    } catch (e) {
      say('kWebSaveFailed', name, e && e.message ? e.message : String(e));
      return;
    }
    if (state.handle !== handle) return;
    // A change made while the write ran is not in the file.
    state.dirty = state.changes !== changes;
    render();
    tell('kWebSaved', name);
  }
  // The open volume in another container or convention, downloaded as a copy: the open image
  // and its history stay as they are. What the copy cannot keep is said first, and asked, as the
  // window's Save As asks.
  function convert() {
    if (!state.listing || !state.listing.loaded) return;
    clearMessages();
    const [extension, mode] = $('convert-select').value.split('|');
    const path = '/out/convert' + extension;
    const dry = show(call('zw_convert', path, Number(mode), 1));
    if (!dry.ok) return;
    if (dry.losses && !ask(dry)) { tell('kStatusUnchanged'); return; }
    const result = show(call('zw_convert', path, Number(mode), 0));
    if (!result.ok) return;
    const bytes = FS.readFile(path);
    FS.unlink(path);
    const name = state.imageName.replace(/\.[^.]*$/, '') + extension;
    download(name, bytes);
    tell('kWebConverted', name);
  }
  // The Open picker's extensions and the conversions, from the core's table of containers.
  function fillConversions() {
    const all = call('zw_containers').kinds;
    state.imageExtensions = all.flatMap((k) => k.extensions.map((e) => e.toLowerCase()));
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
    clearFormErrors($('new-form'));
    $('new-dialog').showModal();
  }
  function makeNewImage() {
    clearMessages();
    const name = $('n-file').value.trim() || 'blank.d88';
    const path = '/out/new' + extensionOf(name).replace(/[^.a-z0-9]/g, '_');
    const mode = Number($('mode-select').value) === 1 ? 1 : 0;
    const result = call('zw_new', path, mode, Cp932.encode($('n-name').value), $('n-volume').value,
      $('n-year').value, $('n-month').value, $('n-day').value, $('n-exdir').checked ? 1 : 0);
    if (!result.ok) { formErrors($('new-form'), result); return false; }
    const bytes = FS.readFile(path);
    FS.unlink(path);
    if (!openBytes(name, bytes)) return true;
    state.dirty = true;
    render();
    tell('kStatusImageCreated');
    return true;
  }

  // --- the window's remaining commands ---
  // 検査: the report, then (when the bit table can be mended from the directory) the offer,
  // one undoable change.
  function checkVolume() {
    if (!state.listing || !state.listing.loaded) return;
    clearMessages();
    const result = call('zw_check');
    if (!result.ok) { show(result); return; }
    shown.push({ caption: result.caption, captionEn: result.captionEn, text: result.report, textEn: result.reportEn,
      id: result.clean ? 'kMsgCheckClean' : 'kMsgCheckFound', info: result.clean });
    renderMessages();
    state.lastCheck = result;
    if (!result.repair) return;
    if (!ask(result)) { tell('kStatusUnchanged'); return; }
    changed(call('zw_repair'));
  }
  // 削除したファイルの復元: the deleted entries with their verdicts; the chosen one through the
  // attribute form.
  function restoreDeleted() {
    if (!state.listing || !state.listing.loaded) return;
    clearMessages();
    const result = show(call('zw_deleted'));
    if (!result.ok || !result.entries.length) return;
    const ja = state.lang === 'ja';
    state.deleted = result.entries;
    $('restore-choice').replaceChildren(...result.entries.map((e) => Object.assign(document.createElement('option'), {
      value: e.number, textContent: `#d${e.number}  ${e.cells[0]}  ${ja ? e.verdictText : e.verdictTextEn}` })));
    $('restore-choice').selectedIndex = 0;
    $('restore-dialog').showModal();
  }
  function restoreChosen(number) {
    const entry = state.deleted.find((e) => e.number === number);
    const texts = show(call('zw_undelete_texts', number));
    if (!texts.ok) return;
    fillForm(texts, F('kWebRestoreTitle', entry ? entry.cells[0] : '#d' + number));
    state.formAction = () => {
      const check = call('zw_undelete_check', number, ...formTexts());
      if (!check.ok) { formErrors($('attr-form'), check); return false; }
      const before = rowTexts();
      if (changed(call('zw_undelete_write'))) {
        selectChanged(before);
        const row = rowOf(state.cursor);
        tell('kWebRestored', row ? row.cells[0] : '');
      }
      return true;
    };
    $('attr-dialog').showModal();
  }
  // The sector view: the address typed (decimal, or hex after 0x), the previous and next sector,
  // the owner of the sector, hex and characters through the code table. Read-only.
  function showSector(track, sector, delta) {
    const ja = state.lang === 'ja';
    const result = call('zw_sector', String(track), String(sector), delta);
    state.sector = result;
    if (!result.ok) {
      $('sector-heading').textContent = (ja ? result.messages[0].text : result.messages[0].textEn);
      return;
    }
    if (delta) { $('s-track').value = result.track; $('s-sector').value = result.sector; }
    $('sector-heading').textContent = ja ? result.heading : result.headingEn;
    $('sector-dump').textContent = result.unreadable !== undefined ? (ja ? result.unreadable : result.unreadableEn) : result.lines.join('\n');
  }
  function openSectorView(track, sector) {
    if (!state.listing || !state.listing.loaded) return;
    // An address outside the disk (a file's broken start) opens at the first sector, as the window does.
    const valid = track >= 0 && track < 84 && sector >= 1 && sector <= 16;
    $('s-track').value = valid ? track : 0;
    $('s-sector').value = valid ? sector : 1;
    showSector($('s-track').value, $('s-sector').value, 0);
    $('sector-dialog').showModal();
  }
  function fileSectors() {
    const row = state.cursor >= 0 ? rowOf(state.cursor) : null;
    if (row) openSectorView(row.trk, row.sct);
  }

  // The row menu: right click on a row, Shift+F10 or the menu key on the list. Its commands act on
  // the selection, as the window's do.
  const MENU = [['menu-export', exportSelected], ['menu-delete', deleteSelected], ['menu-attributes', editAttributes], ['menu-sectors', fileSectors]];
  function openRowMenu(x, y) {
    if (!state.listing || !state.listing.loaded || state.selected.size === 0) return;
    const writable = !state.listing.protected, one = state.selected.size === 1;
    $('menu-delete').disabled = !writable;
    $('menu-attributes').disabled = !writable || !one;
    $('menu-sectors').disabled = !one;
    const menu = $('row-menu');
    menu.hidden = false;
    const box = menu.getBoundingClientRect();
    menu.style.left = Math.max(0, Math.min(x, window.innerWidth - box.width)) + 'px';
    menu.style.top = Math.max(0, Math.min(y, window.innerHeight - box.height)) + 'px';
    const first = menu.querySelector('button:not(:disabled)');
    if (first) first.focus();
  }
  function closeRowMenu(refocus) {
    if ($('row-menu').hidden) return;
    $('row-menu').hidden = true;
    if (refocus) $('list').focus({ preventScroll: true });
  }
  function rowMenuAtCursor() {
    const tr = state.cursor >= 0 && $('row-' + state.cursor);
    if (!tr) return;
    const box = tr.getBoundingClientRect();
    openRowMenu(box.left + 16, box.bottom);
  }

  // --- wiring ---
  $('open-input').addEventListener('change', (e) => { if (e.target.files[0]) openFile(e.target.files[0]); e.target.value = ''; });
  $('import-input').addEventListener('change', (e) => { importFiles(e.target.files); e.target.value = ''; });
  $('codes-input').addEventListener('change', async (e) => {
    const file = e.target.files[0];
    e.target.value = '';
    if (!file) return;
    clearMessages();
    FS.writeFile('/out/codes.txt', new Uint8Array(await file.arrayBuffer()));
    const loaded = call('zw_load_codes', '/out/codes.txt');
    // The page goes on with the table it had: say that, not the start-up failure.
    if (!loaded.ok) { say('kWebCodesBad', file.name); return; }
    tell('kWebCodesLoaded', file.name);
    if (state.imagePath) load(Number($('disk-select').value) || 0);
  });
  $('export-button').addEventListener('click', exportSelected);
  $('multi-button').addEventListener('click', () => { state.multi = !state.multi; $('multi-button').setAttribute('aria-pressed', state.multi); });
  $('delete-button').addEventListener('click', deleteSelected);
  $('attr-button').addEventListener('click', editAttributes);
  $('undo-button').addEventListener('click', () => step(true));
  $('redo-button').addEventListener('click', () => step(false));
  $('download-button').addEventListener('click', downloadImage);
  $('save-button').hidden = !canSaveBack;
  $('save-button').addEventListener('click', saveBack);
  if (canSaveBack) {
    $('open-label').addEventListener('click', (e) => {
      if (e.target === $('open-input')) return;
      e.preventDefault();
      pickImage();
    });
    $('open-input').addEventListener('keydown', (e) => {
      if (e.key !== 'Enter' && e.key !== ' ') return;
      e.preventDefault();
      pickImage();
    });
  }
  $('check-button').addEventListener('click', checkVolume);
  $('restore-button').addEventListener('click', restoreDeleted);
  // 表示 > セクタ表示 opens where the view was last (the first sector at first).
  $('sectors-button').addEventListener('click', () => openSectorView(state.sector && state.sector.ok ? state.sector.track : 0,
    state.sector && state.sector.ok ? state.sector.sector : 1));
  $('restore-form').addEventListener('submit', (e) => {
    if (e.submitter && e.submitter.value === 'cancel') return;
    const chosen = Number($('restore-choice').value);
    if ($('restore-choice').selectedIndex < 0) { e.preventDefault(); return; }
    setTimeout(() => restoreChosen(chosen));
  });
  $('restore-choice').addEventListener('dblclick', () => $('restore-ok').click());
  for (const id of ['s-track', 's-sector']) $(id).addEventListener('input', () => showSector($('s-track').value, $('s-sector').value, 0));
  $('sector-previous').addEventListener('click', () => showSector($('s-track').value, $('s-sector').value, -1));
  $('sector-next').addEventListener('click', () => showSector($('s-track').value, $('s-sector').value, 1));
  for (const [id, action] of MENU) $(id).addEventListener('click', () => { closeRowMenu(true); action(); });
  $('row-menu').addEventListener('keydown', (e) => {
    const items = [...$('row-menu').querySelectorAll('button:not(:disabled)')];
    const at = items.indexOf(document.activeElement);
    if (e.key === 'Escape' || e.key === 'Tab') { e.preventDefault(); closeRowMenu(true); }
    else if (e.key === 'ArrowDown' || e.key === 'ArrowUp') {
      e.preventDefault();
      items[(at + (e.key === 'ArrowDown' ? 1 : items.length - 1)) % items.length].focus();
    } else if (e.key === 'Home' || e.key === 'End') { e.preventDefault(); items[e.key === 'Home' ? 0 : items.length - 1].focus(); }
    e.stopPropagation();
  });
  document.addEventListener('mousedown', (e) => { if (!$('row-menu').contains(e.target)) closeRowMenu(false); });
  $('list-body').addEventListener('contextmenu', (e) => {
    const tr = e.target.closest('tr');
    if (!tr) return;
    e.preventDefault();
    const slot = Number(tr.dataset.slot);
    // As in the window: a right click on a row outside the selection selects that row alone.
    if (!state.selected.has(slot)) choose(slot, null);
    state.cursor = slot;
    openRowMenu(e.clientX, e.clientY);
  });
  $('new-button').addEventListener('click', newImage);
  $('convert-button').addEventListener('click', convert);
  $('identify-button').addEventListener('click', () => { $('report').open = true; showReport(); });
  $('report').addEventListener('toggle', () => { if ($('report').open) showReport(); });
  $('lang-button').addEventListener('click', () => { state.lang = state.lang === 'ja' ? 'en' : 'ja'; remember({ lang: state.lang }); applyTexts(); });
  $('mode-select').addEventListener('change', () => {
    remember({ mode: $('mode-select').value });
    state.modeChoice = Number($('mode-select').value);
    if (state.imagePath) load(Number($('disk-select').value) || 0);
  });
  $('disk-select').addEventListener('change', () => load(Number($('disk-select').value)));
  $('transfer-select').addEventListener('change', () => {
    remember({ transfer: $('transfer-select').value });
    if (state.listing) setListing(call('zw_set_transfer', Number($('transfer-select').value)));
  });
  for (const form of [$('attr-form'), $('new-form')]) form.addEventListener('input', (e) => clearFormErrors(form, e.target));
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

  // Dropping, wherever it lands, as the window takes a drop: an image (by its extension) opens;
  // other files are imported into the open image. While dragging, the page says which.
  const isImage = (name) => state.imageExtensions.includes(extensionOf(name));
  // The names are not known before the drop: the rule, for what the open image allows.
  const dropAction = () => (state.listing && state.listing.loaded && !state.listing.protected ? 'kWebDropEither' : 'kWebDropOpens');
  let dragDepth = 0;
  const dragEnd = () => { dragDepth = 0; $('drop-zone').classList.remove('dragging'); $('drop-note').hidden = true; };
  document.addEventListener('dragenter', (e) => {
    e.preventDefault();
    dragDepth++;
    $('drop-zone').classList.add('dragging');
    $('drop-note').textContent = T(dropAction());
    $('drop-note').hidden = false;
  });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('dragleave', () => { if (--dragDepth <= 0) dragEnd(); });
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    dragEnd();
    const files = e.dataTransfer ? [...e.dataTransfer.files] : [];
    if (files.length === 0) return;
    const image = files.find((f) => isImage(f.name));
    if (!image) { importFiles(files); return; }
    // A dropped image keeps its handle too where the browser gives one (asked during the event).
    const item = [...e.dataTransfer.items].find((i) => i.kind === 'file' && i.getAsFile() && i.getAsFile().name === image.name);
    const handle = item && typeof item.getAsFileSystemHandle === 'function' ? item.getAsFileSystemHandle() : null;
    if (!handle) { openFile(image); return; }
    handle.then((h) => openFile(image, h && h.kind === 'file' ? h : null), () => openFile(image));
  });

  document.addEventListener('keydown', (e) => {
    if (document.querySelector('dialog[open]') || !$('row-menu').hidden) return;
    const tag = (e.target.tagName || '').toLowerCase();
    if (tag === 'input' || tag === 'select') return;
    const ctrl = e.ctrlKey || e.metaKey;
    if (ctrl && e.key.toLowerCase() === 'z') { e.preventDefault(); step(true); return; }
    if (ctrl && e.key.toLowerCase() === 'y') { e.preventDefault(); step(false); return; }
    // A focused button takes Enter itself; the list's keys apply elsewhere.
    if (!state.listing || tag === 'button' || tag === 'textarea' || tag === 'summary') return;
    const slots = shownSlots();
    const at = slots.indexOf(state.cursor);
    const page = Math.max(1, Math.floor($('list-wrap').clientHeight / 24) - 1);
    const key = e.key;
    if (state.header >= 0) {
      // On the column headers: Left and Right move, Enter or Space sorts, Down goes back to the rows.
      const moves = { ArrowLeft: -1, ArrowRight: 1 };
      if (key in moves) state.header = Math.max(0, Math.min(state.listing.columns.length - 1, state.header + moves[key]));
      else if (key === 'Enter' || key === ' ') sortBy(state.header);
      else if (key === 'ArrowDown' || key === 'Escape') state.header = -1;
      else return;
      e.preventDefault();
      render();
      return;
    }
    const moves = { ArrowDown: at + 1, ArrowUp: at - 1, Home: 0, End: slots.length - 1, PageDown: at + page, PageUp: at - page };
    if (key === 'ArrowUp' && at <= 0 && !e.shiftKey) { e.preventDefault(); state.header = Math.max(0, state.sort.column); render(); }
    else if (key in moves) { e.preventDefault(); moveTo(at < 0 ? 0 : moves[key], e.shiftKey); }
    else if (ctrl && key.toLowerCase() === 'a') { e.preventDefault(); state.selected = new Set(slots); render(); }
    else if (key === ' ' && at >= 0) { e.preventDefault(); choose(state.cursor, { ctrlKey: true }); }
    else if (key === 'Enter') { e.preventDefault(); exportSelected(); }
    else if (key === 'Delete') { e.preventDefault(); deleteSelected(); }
    else if (key === 'F2') { e.preventDefault(); editAttributes(); }
    else if (key === 'ContextMenu' || (key === 'F10' && e.shiftKey)) { e.preventDefault(); rowMenuAtCursor(); }
  });
  window.addEventListener('beforeunload', (e) => {
    if (state.dirty) { e.preventDefault(); e.returnValue = ''; }
  });

  // The convention and transfer mode chosen last.
  if (['0', '1', '2'].includes(remembered.mode)) { $('mode-select').value = remembered.mode; state.modeChoice = Number(remembered.mode); }
  if (['0', '1'].includes(remembered.transfer)) $('transfer-select').value = remembered.transfer;
  show(call('zw_load_codes', '/codes/CodeChg.txt'));
  fillConversions();
  applyTexts();
  setListing(call('zw_listing'));
  window.zelvoPage = { state, call, openBytes };
  document.body.dataset.ready = '1';
})();
window.zelvoTimings = [];
