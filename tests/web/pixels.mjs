// The headless host's PNG shots and the page's screen as the same
// { width, height, rgb } pictures, and a wait for the screen to show one.
import fs from 'node:fs';
import { waitFor } from './browser.mjs';

// The pixels of the page's screen, or of a PNG file as Chromium decodes it,
// as { width, height, rgb } (read from a copy: reading the screen itself over
// and over makes Chromium warn on the console).
export async function canvasPixels(page, png) {
  const got = await page.evaluate(async (png) => {
    const from = png ? await createImageBitmap(new Blob([Uint8Array.from(atob(png), (c) => c.charCodeAt(0))]),
                                               { colorSpaceConversion: 'none', premultiplyAlpha: 'none' })
                     : document.getElementById('screen');
    const copy = document.createElement('canvas');
    [copy.width, copy.height] = [from.width, from.height];
    copy.getContext('2d').drawImage(from, 0, 0);
    const d = copy.getContext('2d').getImageData(0, 0, copy.width, copy.height).data;
    let s = '';
    for (let i = 0; i < d.length; i += 4) s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
    return { width: copy.width, height: copy.height, rgb: btoa(s), visible: from.style?.visibility === 'visible' };
  }, png && fs.readFileSync(png).toString('base64'));
  return { ...got, rgb: Buffer.from(got.rgb, 'base64') };
}
export const readPng = canvasPixels;

// How many pixels (of those the mask keeps, when given) two pictures differ in.
export function differ(a, b, mask) {
  let n = 0;
  for (let p = 0, i = 0; i < a.rgb.length; p++, i += 3)
    if ((!mask || mask[p]) && (a.rgb[i] !== b.rgb[i] || a.rgb[i + 1] !== b.rgb[i + 1] || a.rgb[i + 2] !== b.rgb[i + 2]))
      n++;
  return n;
}

// Waits until the screen shows the picture (in the pixels the mask keeps,
// when given); false, with the number of pixels that differ, when it never does.
export async function waitFrame(page, picture, timeout, mask) {
  let n = -1;
  const same = await waitFor(async () => {
    const shown = await canvasPixels(page);
    n = differ(shown, picture, mask);
    return shown.visible && shown.width === picture.width && shown.height === picture.height && n === 0;
  }, timeout);
  return { same, differ: n };
}
