// Inside the module's factory (--pre-js). Under node the loader would fetch()
// the .wasm by a file URL (node has fetch) and fail: the bytes are read from
// beside the module instead (_scriptDir is the wrapper's import.meta.url),
// unless the caller passed wasmBinary itself.
if (tiravelOnNode && !Module['wasmBinary'] && !Module['instantiateWasm']) {
    Module['wasmBinary'] = require('node:fs').readFileSync(new URL('tiravel-core.wasm', _scriptDir));
}
