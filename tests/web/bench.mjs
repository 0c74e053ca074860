// Web benchmark (not a test): one game in Chromium, the user's side played by clicks with the
// native engine's moves, measuring for each engine reply the time from the user's move to the
// reply drawn on the board and the worker's search time; then the same replies searched by the
// native UCI engine and by the site's WebAssembly engine under Node, for the time per reply.
//   scripts/measure/web-bench.sh   (or node tests/web/bench.mjs after the release build and scripts/web.sh)
import { spawnSync } from 'node:child_process';
import {
  BoardPage,
  Chess,
  launchBrowser,
  loadWorker,
  nativeBest,
  nativeUci,
  serveSite,
  toolFen,
} from './support.mjs';

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
const round = (ms) => Math.round(ms * 10) / 10;

const server = await serveSite();
const browser = await launchBrowser();
const page = browser.context.pages()[0] ?? (await browser.context.newPage());
const board = new BoardPage(page);
await page.goto(server.url);
await board.waitForUser();

const game = new Chess();
const replyMs = [];
const searchMs = [];
const searched = [];
while (!game.isGameOver()) {
  const uci = nativeBest(toolFen(game.fen(), game.history({ verbose: true }).at(-1))).bestmove;
  const count = game.history().length;
  await board.playMove(uci);
  game.move({ from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4] });
  if (game.isGameOver()) break;
  await board.waitForMoves(count + 2);
  await board.waitForReplyTime();
  const shown = await board.thinking();
  replyMs.push(shown.replyMs);
  searchMs.push(shown.searchMs);
  searched.push(shown.fen);
  const reply = (await board.moves()).at(-1);
  game.move({ from: reply.slice(0, 2), to: reply.slice(2, 4), promotion: reply[4] });
}
await browser.close();
server.close();

// The same replies searched through UCI by the native quenlor-uci (one process for all of
// them, `rounds` times over, so that its start-up counts for little) and by the site's engine.js
// under Node (loaded once, then timed).
const rounds = 5;
const commands = Array(rounds)
  .fill(searched.map((fen) => `position fen ${fen}\ngo\n`).join(''))
  .join('');
let started = process.hrtime.bigint();
const run = spawnSync(nativeUci, [], { input: `${commands}quit\n`, encoding: 'utf8' });
const native = Number(process.hrtime.bigint() - started) / 1e6 / (rounds * searched.length);
if (run.status !== 0) throw new Error(`quenlor-uci: ${run.stderr}`);
const worker = loadWorker();
await worker.ask(['uci', 'isready'], (line) => line === 'readyok');
started = process.hrtime.bigint();
for (let i = 0; i < rounds; i += 1) {
  for (const fen of searched)
    await worker.ask([`position fen ${fen}`, 'go'], (line) => line.startsWith('bestmove'));
}
const wasm = Number(process.hrtime.bigint() - started) / 1e6 / (rounds * searched.length);

const mean = (values) => values.reduce((a, b) => a + b, 0) / values.length;
const ending = game.pgn().split('\n').at(-1).slice(0, 40);
console.log(`game: ${game.history().length} plies, ${replyMs.length} engine replies (${ending}…)`);
console.log(
  `Chromium, user's move to the reply on the board: median ${round(median(replyMs))} ms ` +
    `(min ${round(Math.min(...replyMs))}, max ${round(Math.max(...replyMs))})`,
);
console.log(
  `Chromium, worker round trip (position + go to bestmove): median ` +
    `${round(median(searchMs))} ms, mean ${round(mean(searchMs))} ms`,
);
console.log(
  `mean per reply (position + go), the same ${searched.length} positions x ${rounds}: ` +
    `native quenlor-uci ${round(native)} ms, engine.js under Node ${round(wasm)} ms ` +
    `(${round(wasm / native)}x)`,
);
