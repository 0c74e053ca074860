// Shared by the web tests and the web benchmark: the built site served on localhost, Debian's
// Chromium driven by playwright-core, a page object that plays moves by clicking squares as a
// user would, and the native engine's move for a position (quenlor-tool best).
import { spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createRequire } from 'node:module';

export const root = new URL('../..', import.meta.url).pathname;
const require = createRequire(join(root, 'web/package.json'));
export const { chromium } = require('playwright-core');
export const { Chess } = require('chess.js');

export const site = join(root, 'build/web');
export const nativeTool = process.env.QUENLOR_TOOL ?? join(root, 'build/release/quenlor-tool');
export const nativeUci = join(root, 'build/release/quenlor-uci');
const timeout = 30000;

// The position as FEN with the en-passant square written after every double step, as
// quenlor-tool reads positions; `last` is the last move as chess.js's verbose history gives it.
export function toolFen(fen, last) {
  const fields = fen.split(' ');
  if (last?.piece === 'p' && Math.abs(Number(last.to[1]) - Number(last.from[1])) === 2) {
    fields[3] = last.from[0] + (last.from[1] === '2' ? '3' : '6');
  }
  return fields.join(' ');
}

// The native engine's choice for a FEN at a level (the default one when omitted):
// {bestmove, root: [{uci, score}]} (bestmove null for none; no root list at levels 5 to 11).
export function nativeBest(fen, level) {
  const args = ['best', fen, ...(level ? [String(level)] : [])];
  const run = spawnSync(nativeTool, args, { encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`quenlor-tool ${args.join(' ')}: ${run.stderr}`);
  const [first, ...rest] = run.stdout.trim().split('\n');
  const bestmove = first.split(' ')[1];
  if (rest[0]?.startsWith('depth ')) rest.shift(); // the strong levels' principal variation
  const rootList = rest.map((line) => {
    const [uci, score] = line.split(' ');
    return { uci, score: Number(score) };
  });
  return { bestmove: bestmove === 'none' ? null : bestmove, root: rootList };
}

// quenlor-uci's move for a FEN after the given options ({ 'Skill Level': 2, ... }).
export function nativeUciMove(fen, options) {
  const lines = Object.entries(options).map(
    ([name, value]) => `setoption name ${name} value ${value}`,
  );
  lines.push(`position fen ${fen}`, 'go', 'quit', '');
  const run = spawnSync(nativeUci, [], { input: lines.join('\n'), encoding: 'utf8' });
  return run.stdout.match(/^bestmove (\S+)/m)?.[1];
}

async function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Serves the built site with Python's static file server, as `scripts/web.sh serve` does.
export async function serveSite() {
  const port = await freePort();
  const server = spawn(
    'python3',
    ['-m', 'http.server', String(port), '--bind', '127.0.0.1', '--directory', site],
    {
      stdio: 'ignore',
    },
  );
  const url = `http://localhost:${port}/`;
  for (let tries = 0; ; tries += 1) {
    try {
      if ((await fetch(url)).ok) break;
    } catch (error) {
      if (tries > 100) throw error;
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  return { url, close: () => server.kill() };
}

// Chromium with a fresh profile, headless.
export async function launchBrowser(options = {}) {
  const profile = mkdtempSync(join(tmpdir(), 'quenlor-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.QUENLOR_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
    viewport: { width: 1200, height: 800 },
    ...options,
  });
  return {
    context,
    close: async () => {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// The page as a user sees it, found by data-testid.
export class BoardPage {
  constructor(page) {
    this.page = page;
  }

  byTestId(id) {
    return this.page.locator(`[data-testid="${id}"]`);
  }

  async orientation() {
    const classes = await this.page.locator('[data-testid="board"]').getAttribute('class');
    return classes.includes('orientation-black') ? 'black' : 'white';
  }

  // The centre of a square on the screen, wherever the board is turned.
  async squareCentre(square) {
    const box = await this.page.locator('[data-testid="board"] cg-board').boundingBox();
    const size = box.width / 8;
    const file = square.charCodeAt(0) - 97;
    const rank = Number(square[1]);
    const white = (await this.orientation()) === 'white';
    const column = white ? file : 7 - file;
    const row = white ? 8 - rank : rank - 1;
    return { x: box.x + (column + 0.5) * size, y: box.y + (row + 0.5) * size };
  }

  // Waits until a frame has been drawn: the board measures itself again (a resize observer,
  // a scroll) before the frame is drawn, and a test reading the layout sooner can see the board
  // still at its old size, which no user ever sees.
  async nextFrame() {
    await this.page.evaluate(
      () => new Promise((done) => requestAnimationFrame(() => setTimeout(done))),
    );
  }

  async clickSquare(square) {
    const { x, y } = await this.squareCentre(square);
    await this.page.mouse.click(x, y);
  }

  // Plays a move in coordinate notation by clicking its two squares (or dragging the piece),
  // then the promotion piece when there is one.
  async playMove(uci, { drag = false } = {}) {
    const [from, to] = [uci.slice(0, 2), uci.slice(2, 4)];
    // The board in sight, as a user would scroll it after using the panel, once the board has
    // seen the scroll (it measures itself again after one).
    await this.byTestId('board').scrollIntoViewIfNeeded();
    await this.nextFrame();
    if (drag) {
      const start = await this.squareCentre(from);
      const end = await this.squareCentre(to);
      await this.page.mouse.move(start.x, start.y);
      await this.page.mouse.down();
      await this.page.mouse.move(end.x, end.y, { steps: 8 });
      await this.page.mouse.up();
    } else {
      await this.clickSquare(from);
      await this.clickSquare(to);
    }
    if (uci.length === 5) {
      await this.byTestId('promotion').waitFor({ state: 'visible', timeout });
      // What the board shows while the chooser is open.
      this.whilePromoting = { from: await this.square(from), to: await this.square(to) };
      await this.byTestId(`promote-${uci[4]}`).click();
    }
  }

  // What the board says stands on a square, as assistive technology reads it ("white pawn").
  async square(name) {
    const text = await this.byTestId('board-text').locator(`[data-square="${name}"]`).textContent();
    return text.split(': ')[1];
  }

  // Sets up a position from the "Position and PGN" section.
  async setUp(fen) {
    await this.byTestId('raw').evaluate((details) => (details.open = true));
    await this.byTestId('fen-input').fill(fen);
    await this.byTestId('set-fen').click();
  }

  // Plays a move typed in the move box.
  async typeMove(text) {
    await this.byTestId('move-input').fill(text);
    await this.byTestId('move-input').press('Enter');
  }

  async status() {
    return this.byTestId('status').evaluate((node) => ({
      ...node.dataset,
      text: node.textContent,
    }));
  }

  // Waits until the user may move or the game is over; the status then.
  async waitForUser() {
    await this.page.waitForFunction(
      () =>
        ['your-move', 'over', 'error'].includes(
          document.querySelector('[data-testid="status"]').dataset.state,
        ),
      null,
      { timeout },
    );
    return this.status();
  }

  // Waits until the move list holds `count` moves and the user may move or the game is over.
  async waitForMoves(count) {
    await this.page.waitForFunction(
      (n) =>
        document.querySelectorAll('[data-testid="moves"] [data-ply]').length === n &&
        ['your-move', 'over', 'error'].includes(
          document.querySelector('[data-testid="status"]').dataset.state,
        ) &&
        document.querySelector('[data-testid="thinking"]').dataset.state !== 'thinking',
      count,
      { timeout },
    );
    return this.status();
  }

  // The moves in coordinate notation, in order.
  async moves() {
    return this.page.$$eval('[data-testid="moves"] [data-ply]', (nodes) =>
      nodes.map((n) => n.dataset.uci),
    );
  }

  async fen() {
    return (await this.byTestId('fen').textContent()).trim();
  }

  // What the page shows about the engine's reply: the FEN it searched, the move it played, the
  // root list with scores or the line it expected (`pv`), and the time to the reply on the board.
  async thinking() {
    return this.byTestId('thinking').evaluate((node) => ({
      fen: node.dataset.fen,
      bestmove: node.dataset.bestmove,
      pv: node.querySelector('[data-pv]')?.dataset.pv.split(' ') ?? [],
      replyMs: Number(node.dataset.replyMs),
      searchMs: Number(node.dataset.searchMs),
      root: [...node.querySelectorAll('[data-uci]')].map((item) => ({
        uci: item.dataset.uci,
        score: Number(item.dataset.score),
      })),
    }));
  }

  // Waits until the reply's time on the board has been measured.
  async waitForReplyTime() {
    await this.page.waitForFunction(
      () => Number(document.querySelector('[data-testid="thinking"]').dataset.replyMs) > 0,
      null,
      { timeout },
    );
  }
}

// The site's engine.js as its page sees it: each line sent is one message to the worker's
// `onmessage`, each `postMessage` one line back.
export function loadWorker() {
  const received = [];
  globalThis.postMessage = (line) => received.push(String(line));
  createRequire(import.meta.url)(join(site, 'engine.js'));
  return {
    // Sends the lines and resolves with what came back, up to the line `isLast` accepts.
    async ask(lines, isLast) {
      received.length = 0;
      for (const line of lines) globalThis.onmessage({ data: line });
      for (let waited = 0; !received.some(isLast); waited += 1) {
        if (waited > 6000)
          throw new Error(`no answer to ${lines.join(' | ')}: ${received.join(' | ')}`);
        await new Promise((resolve) => setTimeout(resolve, 5));
      }
      return [...received];
    },
  };
}
