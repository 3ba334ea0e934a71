// The data folder as the browser keeps it (emscripten's IDBFS: one IndexedDB
// database per mount point), read the way every browser test reads it.
import { waitFor } from './browser.mjs';

// In the page: the stored files by name, as base64 (the bytes may be kept
// as signed ones); empty while the storage holds none.
function readStorage() {
  return new Promise((resolve, reject) => {
    const open = indexedDB.open('/data');
    open.onerror = () => reject(open.error);
    open.onsuccess = () => {
      const db = open.result, files = {};
      if (!db.objectStoreNames.contains('FILE_DATA')) {
        db.close();
        return resolve(files);
      }
      const store = db.transaction('FILE_DATA', 'readonly').objectStore('FILE_DATA');
      const keys = store.getAllKeys(), values = store.getAll();
      values.onerror = () => reject(values.error);
      values.onsuccess = () => {
        keys.result.forEach((key, i) => {
          const bytes = values.result[i].contents;
          if (bytes) files[key.replace('/data/', '')] = btoa(Array.from(bytes, (b) => String.fromCharCode(b & 255)).join(''));
        });
        db.close();
        resolve(files);
      };
    };
  });
}

// Gives every page of the context window.reefdartReadStorage().
export function readableStorage(context) {
  return context.addInitScript(`window.reefdartReadStorage = ${readStorage.toString()};`);
}

// The page's stored files, as Buffers by name.
export async function stored(page) {
  const files = await page.evaluate(() => window.reefdartReadStorage());
  for (const name of Object.keys(files)) files[name] = Buffer.from(files[name], 'base64');
  return files;
}

// Waits until the storage holds the page's own copy of every file named,
// with no save running; false when it never does.
export function waitStored(page, names) {
  return waitFor(() => page.evaluate(async (names) => {
    if (!window.Module || !Module.reefdartSync || Module.reefdartSync.busy) return false;
    const files = await window.reefdartReadStorage();
    return names.every((name) => {
      const path = '/data/' + name;
      if (!files[name] || !FS.analyzePath(path).exists) return false;
      let text = '';
      for (const b of FS.readFile(path)) text += String.fromCharCode(b);
      return btoa(text) === files[name];
    });
  }, names));
}

// The settings files in the page's data folder that hold something, by name.
export function dataFiles(page) {
  return page.evaluate(() => {
    const files = {};
    for (const name of FS.readdir('/data').sort()) {
      const text = name.endsWith('.dat') ? FS.readFile('/data/' + name, { encoding: 'utf8' }) : '';
      if (text) files[name] = text;
    }
    return files;
  });
}
