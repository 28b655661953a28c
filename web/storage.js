// The web player's keeping of battery RAM and save states in IndexedDB:
// the database "tiravel", its store "battery" keyed by the cartridge's name
// and its store "states" keyed by "name#slot". Values are Uint8Arrays.

let opening = null;

function database() {
  if (!opening) {
    opening = new Promise((resolve, reject) => {
      const request = indexedDB.open('tiravel', 1);
      request.onupgradeneeded = () => {
        const db = request.result;
        if (!db.objectStoreNames.contains('battery')) db.createObjectStore('battery');
        if (!db.objectStoreNames.contains('states')) db.createObjectStore('states');
      };
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => {
        opening = null;
        reject(request.error || new Error('IndexedDB cannot be opened'));
      };
    });
  }
  return opening;
}

async function run(store, mode, work) {
  const db = await database();
  return new Promise((resolve, reject) => {
    const transaction = db.transaction(store, mode);
    const request = work(transaction.objectStore(store));
    transaction.oncomplete = () => resolve(request.result);
    transaction.onerror = () => reject(transaction.error);
    transaction.onabort = () => reject(transaction.error || new Error('the transaction was aborted'));
  });
}

export const stateKey = (name, slot) => `${name}#${slot}`;

export async function get(store, key) {
  const value = await run(store, 'readonly', (s) => s.get(key));
  return value === undefined ? null : new Uint8Array(value);
}

export function put(store, key, bytes) {
  return run(store, 'readwrite', (s) => s.put(bytes, key));
}
