// Worker side of the engine: each message is one UCI line for `quenlor_line`. Lines that arrive
// before the WebAssembly module is ready wait in order; after "quit" the worker closes.
var quenlorPending = [];

// Under Node (the tests and measurements load this script with require), the module is read
// from beside the script: the runtime would otherwise ask Node's fetch for a file path.
if (typeof process === 'object' && typeof require === 'function' && !Module['wasmBinary']) {
  Module['wasmBinary'] = require('fs').readFileSync(require('path').join(__dirname, 'engine.wasm'));
}
var quenlorReady = false;

function quenlorFeed(line) {
  if (
    Module['ccall']('quenlor_line', 'number', ['string'], [String(line)]) === 0 &&
    typeof close === 'function'
  ) {
    close();
  }
}

Module['onRuntimeInitialized'] = function () {
  quenlorReady = true;
  while (quenlorPending.length > 0) quenlorFeed(quenlorPending.shift());
};

globalThis.onmessage = function (event) {
  if (quenlorReady) quenlorFeed(event.data);
  else quenlorPending.push(event.data);
};
