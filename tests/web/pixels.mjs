// What the browser tests share: the headless host's PNG shots and the page's
// canvas as the same { width, height, rgb } pictures, and a wait for the
// canvas to show one.
import fs from 'node:fs';
import zlib from 'node:zlib';

// An 8-bit RGB PNG, as the headless host writes it, to { width, height, rgb }.
export function readPng(file) {
  const data = fs.readFileSync(file);
  let at = 8, width = 0, height = 0;
  const idat = [];
  while (at < data.length) {
    const length = data.readUInt32BE(at);
    const type = data.toString('latin1', at + 4, at + 8);
    const body = data.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[9] !== 2 || body[12] !== 0) throw new Error(`${file}: not 8-bit RGB`);
    }
    if (type === 'IDAT') idat.push(body);
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * 3, rgb = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; x++) {
      const a = x >= 3 ? rgb[y * stride + x - 3] : 0;
      const b = y > 0 ? rgb[(y - 1) * stride + x] : 0;
      const c = x >= 3 && y > 0 ? rgb[(y - 1) * stride + x - 3] : 0;
      let p = 0;
      if (filter === 1) p = a;
      else if (filter === 2) p = b;
      else if (filter === 3) p = (a + b) >> 1;
      else if (filter === 4) {
        const pa = Math.abs(b - c), pb = Math.abs(a - c), pc = Math.abs(a + b - 2 * c);
        p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      rgb[y * stride + x] = (src[x] + p) & 255;
    }
  }
  return { width, height, rgb };
}

// The canvas's pixels, read from a copy (reading the canvas itself over and
// over makes Chromium warn on the console).
export async function canvasPixels(page) {
  const b64 = await page.evaluate(() => {
    const c = document.getElementById('screen'), copy = document.createElement('canvas');
    [copy.width, copy.height] = [c.width, c.height];
    copy.getContext('2d').drawImage(c, 0, 0);
    const d = copy.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let s = '';
    for (let i = 0; i < d.length; i += 4) s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
    return { w: c.width, h: c.height, data: btoa(s) };
  });
  return { width: b64.w, height: b64.h, rgb: Buffer.from(b64.data, 'base64') };
}

// How many pixels (of those the mask keeps, when given) two pictures differ in.
export function differ(a, b, mask) {
  let n = 0;
  for (let p = 0, i = 0; i < a.rgb.length; p++, i += 3)
    if ((!mask || mask[p]) && (a.rgb[i] !== b.rgb[i] || a.rgb[i + 1] !== b.rgb[i + 1] || a.rgb[i + 2] !== b.rgb[i + 2]))
      n++;
  return n;
}

// Waits until the canvas shows the picture (in the pixels the mask keeps,
// when given); false, with the number of pixels that differ, when it never does.
export async function waitFrame(page, picture, timeout, mask) {
  const b64 = (b) => Buffer.from(b).toString('base64');
  await page.evaluate(([want, keep]) => {
    window.reefdartWanted = atob(want);
    window.reefdartMask = keep && atob(keep);
  }, [b64(picture.rgb), mask && b64(mask)]);
  try {
    await page.waitForFunction(() => {
      const c = document.getElementById('screen');
      if (c.style.visibility !== 'visible') return false;
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      const want = window.reefdartWanted, keep = window.reefdartMask;
      if (want.length * 4 !== d.length * 3) return false;
      for (let i = 0, j = 0; j < want.length; i += 4, j += 3)
        if ((!keep || keep.charCodeAt(j / 3)) && (d[i] !== want.charCodeAt(j) || d[i + 1] !== want.charCodeAt(j + 1) ||
                                                   d[i + 2] !== want.charCodeAt(j + 2)))
          return false;
      return true;
    }, null, { timeout, polling: 50 });
    return { same: true };
  } catch {
    return { same: false, differ: differ(await canvasPixels(page), picture, mask) };
  }
}
