// The engine in its Web Worker, spoken to in UCI: each message is one line, either way. The
// worker answers requests in the order they were sent, so each request waits for the line that
// ends its answer ("uciok", "readyok", "bestmove ...").

// One search's outcome read from its lines: the move chosen (null when there is none), the root
// moves of the last iteration best first with their scores, and the last iteration's figures.
export function parseSearch(lines) {
  const result = { bestmove: null, root: [], depth: 0, nodes: 0, time: 0, messages: [] };
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
      for (let i = 1; i + 1 < words.length; i += 1) {
        if (words[i] === 'depth') result.depth = Number(words[i + 1]);
        if (words[i] === 'nodes') result.nodes = Number(words[i + 1]);
        if (words[i] === 'time') result.time = Number(words[i + 1]);
      }
    }
  }
  return result;
}

export class UciEngine {
  constructor(url) {
    this.waiting = [];
    this.worker = new Worker(url);
    this.worker.onmessage = (event) => this.receive(String(event.data));
    this.worker.onerror = (event) => this.fail(new Error(event.message || 'the engine stopped'));
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

  // The UCI handshake, then a check that the engine is ready.
  async start() {
    await this.request(['uci'], (line) => line === 'uciok');
    await this.request(['isready'], (line) => line === 'readyok');
  }

  // A fresh engine state for a new game.
  newGame() {
    this.send('ucinewgame');
  }

  // The engine's search of a position at `level` (1 to 6); with a `seed`, the engine varies its
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
