// Put before the module's code (--extern-pre-js). Emscripten 3.1.6's ES6
// module refers to node's CommonJS names, require and __dirname, which an ES
// module lacks; under node they are made here, in the browser they stay
// unused.
const tiravelOnNode = typeof process == 'object' && typeof process.versions == 'object' &&
    typeof process.versions.node == 'string';
const require = tiravelOnNode ? (await import('node:module')).createRequire(import.meta.url) : undefined;
const __dirname = tiravelOnNode ? require('node:path').dirname(require('node:url').fileURLToPath(import.meta.url)) : '';
