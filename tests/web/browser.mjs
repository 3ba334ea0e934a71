// What every browser test does the same way: Chromium started headless on a
// profile of its own, and a game started with the stylus held on the screen.
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export const FLAGS = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                      '--disable-background-networking', '--disable-component-update',
                      '--disable-sync'];

// A persistent context on a new profile folder (the caller removes it), an
// 800 x 700 window unless options say otherwise.
export async function gameBrowser(executable, options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'reefdart-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: executable, headless: true, args: FLAGS,
    viewport: { width: 800, height: 700 }, ...options,
  });
  return { context, profile };
}

// Start pressed, then the stylus down in the middle of the screen.
export async function startAndPress(page) {
  await page.keyboard.press('Enter');
  const box = await page.evaluate(() => {
    const b = document.getElementById('screen').getBoundingClientRect();
    return { x: b.left + b.width / 2, y: b.top + b.height / 2 };
  });
  await page.mouse.move(box.x, box.y);
  await page.mouse.down();
}
