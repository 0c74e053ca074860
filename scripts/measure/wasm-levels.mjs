// Reply times of the site's WebAssembly engine at each level under Node: for the first COUNT
// positions of bench/positions-1000.fen, the time from sending "go" to its "bestmove" (the
// worker answers within the call, so this is the search's own time), per level the median, the
// 90th percentile and the maximum. The page sends a plain "go" at every level, so level 11
// searches its fixed budget, as here.
//   node scripts/measure/wasm-levels.mjs [COUNT] [FIRST[-LAST]]   (after scripts/web.sh;
//   default 300 positions, levels 1-11)
import { readFileSync } from 'node:fs';
import { loadWorker } from '../../tests/web/support.mjs';

const count = Number(process.argv[2] ?? 300);
const [first, last] = (process.argv[3] ?? '1-11').split('-').map(Number);
const fens = readFileSync(new URL('../../bench/positions-1000.fen', import.meta.url), 'utf8')
  .split('\n')
  .filter(Boolean)
  .slice(0, count);
const engine = loadWorker();
await engine.ask(['uci'], (line) => line === 'uciok');
for (let level = first; level <= (last ?? first); level += 1) {
  const times = [];
  await engine.ask(['ucinewgame', 'isready'], (line) => line === 'readyok');
  for (const fen of fens) {
    await engine.ask(
      [`setoption name Skill Level value ${level}`, `position fen ${fen}`, 'isready'],
      (line) => line === 'readyok',
    );
    const start = performance.now();
    await engine.ask(['go'], (line) => line.startsWith('bestmove'));
    times.push(performance.now() - start);
  }
  times.sort((a, b) => a - b);
  const at = (q) => times[Math.min(times.length - 1, Math.floor(times.length * q))].toFixed(2);
  console.log(
    `level ${level}: ${times.length} replies, median ${at(0.5)} ms, 90th percentile ${at(0.9)} ms, maximum ${times.at(-1).toFixed(2)} ms`,
  );
}
