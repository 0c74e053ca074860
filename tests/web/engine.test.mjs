// The engine compiled to WebAssembly, run under Node: it is the same engine as the native build
// (same bench signature; same move and root list for every reference position through the
// site's own worker script) and it keeps UCI sessions as the page uses them.
// Needs `scripts/web.sh tool` and build/release/quenlor-tool.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { loadWorker, nativeBest, nativeTool, root } from './support.mjs';

const wasmTool = join(root, 'build/wasm/quenlor/quenlor-tool.js');
const reference = join(root, '../shared/reference/positions.tsv');

test('the WebAssembly build computes the native bench signature', () => {
  const native = spawnSync(nativeTool, ['signature'], { encoding: 'utf8' });
  const wasm = spawnSync(process.execPath, [wasmTool, 'signature'], { encoding: 'utf8' });
  assert.equal(native.status, 0, native.stderr);
  assert.equal(wasm.status, 0, wasm.stderr);
  assert.match(native.stdout, /^signature \d+\n$/);
  assert.equal(wasm.stdout, native.stdout);
});

test('the worker script: reference moves and root lists, strong levels, new games, bad input', async () => {
  const engine = loadWorker();
  const hello = await engine.ask(['uci'], (line) => line === 'uciok');
  assert.ok(hello.includes('id name Quenlor'), hello.join('\n'));

  const rows = readFileSync(reference, 'utf8').trim().split('\n').slice(1);
  assert.ok(rows.length >= 100);
  for (const row of rows) {
    const [fen, move, rootList] = row.split('\t');
    const lines = await engine.ask([`position fen ${fen}`, 'go'], (line) =>
      line.startsWith('bestmove'),
    );
    assert.equal(lines.at(-1), `bestmove ${move === 'none' ? '(none)' : move}`, fen);
    const rootLine = lines.find((line) => line.startsWith('info string root'));
    assert.equal(
      (rootLine ?? 'info string root').slice('info string root'.length).trim(),
      rootList ?? '',
      fen,
    );
  }

  // A new game after others: a fresh state, and the move the engine gives 1. e4 everywhere.
  const opening = spawnSync(
    nativeTool,
    ['best', 'rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1'],
    {
      encoding: 'utf8',
    },
  ).stdout.split('\n')[0];
  for (const lines of [
    ['ucinewgame', 'position startpos moves e2e4', 'go'],
    ['ucinewgame', 'position startpos moves e2e4', 'go'],
  ]) {
    const answer = await engine.ask(lines, (line) => line.startsWith('bestmove'));
    assert.equal(answer.at(-1), opening);
  }

  // Bad input is answered with an info string and leaves the session working.
  for (const bad of ['position fen not-a-fen', 'position startpos moves e2e5']) {
    const answer = await engine.ask([bad, 'isready'], (line) => line === 'readyok');
    assert.ok(
      answer.some((line) => line.startsWith('info string')),
      `${bad}: ${answer.join(' | ')}`,
    );
  }

  // Levels 5 to 11 as the page asks for them (a plain "go"), from a fresh table: native moves.
  for (const [fen] of rows.filter((_, i) => i % 20 === 0).map((row) => row.split('\t'))) {
    for (let level = 5; level <= 11; level += 1) {
      const go = ['ucinewgame', `setoption name Skill Level value ${level}`, `position fen ${fen}`];
      const lines = await engine.ask([...go, 'go'], (line) => line.startsWith('bestmove'));
      const native = nativeBest(fen, level).bestmove ?? '(none)';
      assert.equal(lines.at(-1).split(' ')[1], native, `${fen} at level ${level}`);
    }
  }
});
