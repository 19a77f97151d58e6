// Code page 932 in the page: the core's strings arrive as bytes (\u00XX per byte, see
// web/core/web_json.h) and go back to it as bytes. Decoding uses the browser's Shift_JIS decoder
// (the Windows form of it); encoding uses the inverse of that decoder, built once.
'use strict';
const Cp932 = (() => {
  const decoder = new TextDecoder('shift_jis');
  let inverse = null;

  function bytesOf(text) {
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i) & 0xff;
    return bytes;
  }
  function decode(text) {
    if (typeof text !== 'string') return text;
    return /[\u0080-\u00ff]/.test(text) ? decoder.decode(bytesOf(text)) : text;
  }
  // Every string of a JSON value decoded.
  function decodeAll(value) {
    if (typeof value === 'string') return decode(value);
    if (Array.isArray(value)) return value.map(decodeAll);
    if (value && typeof value === 'object') {
      const out = {};
      for (const key of Object.keys(value)) out[key] = decodeAll(value[key]);
      return out;
    }
    return value;
  }
  function buildInverse() {
    inverse = new Map();
    const one = new Uint8Array(1);
    for (let b = 0x80; b <= 0xff; b++) {
      one[0] = b;
      const c = decoder.decode(one);
      if (c !== '\ufffd' && !inverse.has(c)) inverse.set(c, [b]);
    }
    const two = new Uint8Array(2);
    for (let lead = 0x81; lead <= 0xfc; lead++) {
      if (lead > 0x9f && lead < 0xe0) continue;
      for (let trail = 0x40; trail <= 0xfc; trail++) {
        if (trail === 0x7f) continue;
        two[0] = lead;
        two[1] = trail;
        const c = decoder.decode(two);
        if (c.length === 1 && c !== '\ufffd' && !inverse.has(c)) inverse.set(c, [lead, trail]);
      }
    }
  }
  // The text's bytes in code page 932; a character it cannot hold becomes '?'.
  function encode(text) {
    const out = [];
    for (const c of text) {
      const code = c.codePointAt(0);
      if (code < 0x80) { out.push(code); continue; }
      if (!inverse) buildInverse();
      const bytes = inverse.get(c);
      if (bytes) out.push(...bytes); else out.push(0x3f);
    }
    return new Uint8Array(out);
  }
  // The name of a host file in the module's file system: bytes outside printable ASCII and '%'
  // as %XX (web/core/web_paths.h).
  function storedPath(bytes) {
    let path = '';
    for (const b of bytes) {
      path += (b < 0x20 || b >= 0x7f || b === 0x25)
        ? '%' + b.toString(16).toUpperCase().padStart(2, '0') : String.fromCharCode(b);
    }
    return path;
  }
  return { decode, decodeAll, encode, storedPath };
})();
