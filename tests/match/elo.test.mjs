// The match runner's statistics against values worked out by hand and against the conditions
// that define a maximum-likelihood fit.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import {
  eloFromScore,
  fitRatings,
  scoreFromElo,
  sprtBounds,
  sprtLlr,
} from '../../scripts/match/elo.mjs';

const near = (actual, expected, tolerance, what) =>
  assert.ok(Math.abs(actual - expected) <= tolerance, `${what}: ${actual}, expected ${expected}`);

// Games from White's side: [white, black, wins, draws, losses].
const games = (rows) =>
  rows.flatMap(([white, black, w, d, l]) =>
    [
      [w, 1],
      [d, 0.5],
      [l, 0],
    ].flatMap(([n, score]) => Array.from({ length: n }, () => ({ white, black, score }))),
  );

test('score, Elo and the SPRT log-likelihood ratio', () => {
  for (const [score, elo] of [
    [0.5, 0],
    [0.75, 190.849],
    [0.2, -240.824],
    [0.9, 381.697],
  ]) {
    near(eloFromScore(score), elo, 1e-3, `Elo of ${score}`);
    near(scoreFromElo(elo), score, 1e-6, `score of ${elo}`);
  }
  near(sprtBounds(0.05, 0.05).upper, 2.944, 1e-3, 'upper bound');
  near(sprtBounds(0.05, 0.05).lower, -2.944, 1e-3, 'lower bound');
  // [wins, draws, losses, elo0, elo1, LLR]: 40/30/30 has mean 0.55 and variance 0.1725.
  for (const [w, d, l, elo0, elo1, llr] of [
    [40, 30, 30, 0, 10, 0.35702],
    [30, 40, 30, -5, 5, 0],
  ]) {
    near(sprtLlr(w, d, l, elo0, elo1), llr, 1e-4, `LLR of ${w}/${d}/${l}`);
  }
  assert.ok(sprtLlr(30, 30, 40, 0, 10) < 0, 'LLR sign');
  // Five wins and nothing else: evidence for H1, but far from enough to decide 0 against 10.
  const fiveWins = sprtLlr(5, 0, 0, 0, 10);
  assert.ok(fiveWins > 0 && fiveWins < 1, `LLR of five wins: ${fiveWins}`);
});

test('joint fit: the single-pairing answer, the likelihood equations, unbounded and unlinked players', () => {
  // Two players: the fit is the pairing's Elo, its interval 1.96 / (K sqrt(n p (1 - p))).
  const [a, b] = fitRatings(games([['a', 'b', 3, 0, 1]]), new Map([['b', 1000]]));
  near(a.elo, 1190.849, 1e-3, 'a');
  near(a.high - a.elo, 1.96 / ((Math.LN10 / 400) * Math.sqrt(4 * 0.75 * 0.25)), 0.1, 'interval');
  assert.equal(b.status, 'anchor');

  // Four players in a cycle of uneven results, one anchored: at the maximum each free player's
  // points equal the points the model expects of it. "e" wins all, "f" and "g" only meet each other.
  const played = games([
    ['a', 'b', 5, 3, 2],
    ['b', 'c', 4, 4, 2],
    ['c', 'd', 2, 2, 6],
    ['d', 'a', 3, 5, 2],
    ['a', 'c', 1, 6, 3],
    ['e', 'a', 2, 0, 0],
    ['f', 'g', 1, 1, 0],
  ]);
  const fit = new Map(fitRatings(played, new Map([['c', 1500]])).map((p) => [p.name, p]));
  for (const name of ['a', 'b', 'd']) {
    const expected = played
      .filter((g) => (g.white === name || g.black === name) && g.white !== 'e' && g.black !== 'e')
      .reduce((s, g) => {
        const e = scoreFromElo(fit.get(g.white).elo - fit.get(g.black).elo);
        return s + (g.white === name ? g.score - e : e - g.score);
      }, 0);
    near(expected, 0, 1e-6, `points less expected points of ${name}`);
    assert.ok(fit.get(name).low < fit.get(name).elo && fit.get(name).elo < fit.get(name).high);
  }
  assert.equal(fit.get('c').elo, 1500);
  assert.deepEqual([fit.get('e').status, fit.get('e').elo], ['unbounded', Infinity]);
  assert.deepEqual(
    ['f', 'g'].map((n) => fit.get(n).status),
    ['unlinked', 'unlinked'],
  );
});
