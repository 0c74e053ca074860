// Worker side of the engine: each message is one UCI line for `quenlor_line`. Lines that arrive
// before the WebAssembly module is ready wait in order; after "quit" the worker closes.
var quenlorPending = [];
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
