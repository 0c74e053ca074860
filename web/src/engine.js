// The engine in its Web Worker, spoken to in UCI: each message is one line, either way. The
// worker answers requests in the order they were sent, so each request waits for the line that
// ends its answer ("uciok", "readyok", "bestmove ..."). The worker runs a search to its end
// within one message and cannot be interrupted: to drop a search the page replaces the worker.

// One search's outcome read from its lines: the move chosen (null when there is none), the root
// moves of the last iteration best first with their scores (levels 1 to 4), the principal
// variation and its score ({cp} or {mate}) last reported (levels 5 to 11), and the last
// iteration's figures.
export function parseSearch(lines) {
  const result = {
    bestmove: null,
    root: [],
    pv: [],
    score: null,
    depth: 0,
    nodes: 0,
    time: 0,
    messages: [],
  };
  for (const line of lines) {
    const words = line.trim().split(/\s+/);
    if (words[0] === 'bestmove') {
      result.bestmove = words[1] && words[1] !== '(none)' ? words[1] : null;
    } else if (words[0] === 'info' && words[1] === 'string' && words[2] === 'root') {
      result.root = words.slice(3).map((entry) => {
        const [uci, score] = entry.split(':');
        return { uci, score: Number(score) };
      });
    } else if (words[0] === 'info' && words[1] === 'string') {
      result.messages.push(words.slice(2).join(' '));
    } else if (words[0] === 'info') {
      const pv = words.indexOf('pv');
      const fields = words.slice(1, pv < 0 ? words.length : pv);
      const value = (name) => {
        const at = fields.indexOf(name);
        return at < 0 || at + 1 >= fields.length ? null : fields[at + 1];
      };
      if (value('depth') !== null) result.depth = Number(value('depth'));
      if (value('nodes') !== null) result.nodes = Number(value('nodes'));
      if (value('time') !== null) result.time = Number(value('time'));
      // With several lines (variety at levels 5 to 11) the first is the best.
      if (pv > 0 && (value('multipv') ?? '1') === '1') {
        result.pv = words.slice(pv + 1);
        const kind = value('score');
        const at = fields.indexOf('score');
        if (kind === 'cp' || kind === 'mate') result.score = { [kind]: Number(fields[at + 2]) };
      }
    }
  }
  return result;
}

// The error of the requests a replaced worker left unanswered.
export class EngineReplaced extends Error {
  constructor() {
    super('the engine was replaced');
    this.name = 'EngineReplaced';
  }
}

export class UciEngine {
  constructor(url) {
    this.url = url;
    this.waiting = [];
    this.launch();
  }

  // A fresh worker; whatever an earlier one still sends is ignored.
  launch() {
    const worker = new Worker(this.url);
    worker.onmessage = (event) => {
      if (worker === this.worker) this.receive(String(event.data));
    };
    worker.onerror = (event) => {
      if (worker === this.worker) this.fail(new Error(event.message || 'the engine stopped'));
    };
    this.worker = worker;
    this.failed = null;
  }

  // Ends the worker, busy or not, and starts a fresh one as the page starts its first; the
  // requests left unanswered fail with EngineReplaced. Resolves once the new one is ready.
  restart() {
    this.worker.terminate();
    const replaced = new EngineReplaced();
    for (const request of this.waiting.splice(0)) request.reject(replaced);
    this.launch();
    return this.start();
  }

  // Hands a line to the request at the head of the queue, which ends with its last line.
  receive(line) {
    const request = this.waiting[0];
    if (!request) return;
    request.lines.push(line);
    if (request.isLast(line)) {
      this.waiting.shift();
      request.resolve(request.lines);
    }
  }

  // The worker failed: every waiting request and any later one fails with its error.
  fail(error) {
    for (const request of this.waiting.splice(0)) request.reject(error);
    this.failed = error;
  }

  send(line) {
    this.worker.postMessage(line);
  }

  // Sends the lines and resolves with the answer's lines, up to the one `isLast` accepts.
  request(lines, isLast) {
    if (this.failed) return Promise.reject(this.failed);
    return new Promise((resolve, reject) => {
      this.waiting.push({ lines: [], isLast, resolve, reject });
      for (const line of lines) this.send(line);
    });
  }

  // The UCI handshake, then a check that the engine is ready (the worker keeps lines that
  // arrive while its module loads, so both are sent at once).
  async start() {
    await Promise.all([
      this.request(['uci'], (line) => line === 'uciok'),
      this.request(['isready'], (line) => line === 'readyok'),
    ]);
  }

  // A fresh engine state for a new game.
  newGame() {
    this.send('ucinewgame');
  }

  // The engine's search of a position at `level` (1 to 11; a plain "go", so level 11 searches its
  // fixed budget); with a `seed`, the engine varies its
  // choice among moves close to its best, drawn from the seed and the position. The answer as
  // `parseSearch` reads it.
  async search(fen, { level = 4, seed = null } = {}) {
    const lines = await this.request(
      [
        `setoption name Skill Level value ${level}`,
        `setoption name Variety value ${seed !== null}`,
        ...(seed !== null ? [`setoption name Variety Seed value ${seed}`] : []),
        `position fen ${fen}`,
        'go',
      ],
      (line) => line.startsWith('bestmove'),
    );
    return parseSearch(lines);
  }
}
