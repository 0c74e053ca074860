// The statistics of the UCI match runner: Elo from a score with its interval, the joint
// maximum-likelihood fit of several players' ratings, and the sequential probability ratio test.
// Everything uses the logistic Elo model: a player rated d above its opponent is expected to
// score 1 / (1 + 10^(-d/400)), a draw counting as half a win.

export const Z95 = 1.959963984540054;
// The derivative of the expected score with respect to the rating difference is K E (1 - E).
const K = Math.LN10 / 400;

export function scoreFromElo(d) {
  return 1 / (1 + 10 ** (-d / 400));
}

export function eloFromScore(p) {
  if (p <= 0) return -Infinity;
  if (p >= 1) return Infinity;
  return -400 * Math.log10(1 / p - 1);
}

// The mean of independent samples of a score (one per game, or one per game pair as the mean of
// its two games) as an Elo difference, with the 95% interval of the normal approximation to the
// mean, carried through the logistic curve.
export function eloInterval(samples) {
  const n = samples.length;
  if (n === 0) return null;
  const mean = samples.reduce((a, x) => a + x, 0) / n;
  const variance = samples.reduce((a, x) => a + (x - mean) ** 2, 0) / n;
  const half = Z95 * Math.sqrt(variance / n);
  return {
    score: mean,
    elo: eloFromScore(mean),
    low: eloFromScore(mean - half),
    high: eloFromScore(mean + half),
  };
}

// The bounds of the log-likelihood ratio for false-positive rate alpha and false-negative rate
// beta: at or below `lower` H0 is accepted, at or above `upper` H1.
export function sprtBounds(alpha, beta) {
  return { lower: Math.log(beta / (1 - alpha)), upper: Math.log((1 - beta) / alpha) };
}

// The generalised SPRT's log-likelihood ratio of H1 (the Elo difference is elo1) against H0 (it is
// elo0) after w wins, d draws and l losses, in the usual normal approximation:
//   LLR = N (s1 - s0) (2 x - s0 - s1) / (2 var),
// with x the mean score, var its per-game variance and s0, s1 the scores the hypotheses expect.
// A count of zero is taken as half a game: otherwise a run without draws or without losses has no
// variance at all, and a single game would decide the test.
export function sprtLlr(w, d, l, elo0, elo1) {
  if (w + d + l === 0) return 0;
  const [W, D, L] = [w, d, l].map((c) => c || 0.5);
  const n = W + D + L;
  const x = (W + D / 2) / n;
  const variance = (W * (1 - x) ** 2 + D * (0.5 - x) ** 2 + L * x ** 2) / n;
  const s0 = scoreFromElo(elo0);
  const s1 = scoreFromElo(elo1);
  return (n * (s1 - s0) * (2 * x - s0 - s1)) / (2 * variance);
}

// Solves A x = b by Gaussian elimination with partial pivoting (A is small and dense). Returns
// null when A is singular.
function solve(A, b) {
  const n = b.length;
  const m = A.map((row, i) => [...row, b[i]]);
  for (let c = 0; c < n; c++) {
    let p = c;
    for (let r = c + 1; r < n; r++) if (Math.abs(m[r][c]) > Math.abs(m[p][c])) p = r;
    if (Math.abs(m[p][c]) < 1e-300) return null;
    [m[c], m[p]] = [m[p], m[c]];
    for (let r = c + 1; r < n; r++) {
      const f = m[r][c] / m[c][c];
      for (let k = c; k <= n; k++) m[r][k] -= f * m[c][k];
    }
  }
  const x = new Array(n).fill(0);
  for (let r = n - 1; r >= 0; r--) {
    let s = m[r][n];
    for (let k = r + 1; k < n; k++) s -= m[r][k] * x[k];
    x[r] = s / m[r][r];
  }
  return x;
}

// Players whose rating the games can reach from the fixed ones.
function linkedTo(fixed, games) {
  const seen = new Set(fixed);
  for (let grew = true; grew;) {
    grew = false;
    for (const g of games) {
      if (seen.has(g.white) !== seen.has(g.black)) {
        seen.add(g.white);
        seen.add(g.black);
        grew = true;
      }
    }
  }
  return seen;
}

// Ratings beyond this distance from the anchors mean the likelihood has no maximum: the player
// won (or lost) every game that links it to the others.
const UNBOUNDED = 4000;

// The joint maximum-likelihood fit of every player's rating from games [{white, black, score}]
// (score is White's: 1, 0.5 or 0), with the ratings in `anchors` (a Map from name to Elo) held
// fixed. Without an anchor among the players the first one is fixed at 0. Newton's method on the
// log-likelihood; the 95% intervals come from the inverse of the observed information (minus the
// Hessian) at the maximum, so they are relative to the anchors, which have none.
// Each player comes back as {name, games, points, status, elo, low, high}, status being
// 'anchor', 'fitted', 'unbounded' (a perfect or a zero score against the rest: elo is +-Infinity)
// or 'unlinked' (no games connect it to an anchor: elo is null).
export function fitRatings(games, anchors = new Map()) {
  const players = new Map();
  const player = (name) => {
    if (!players.has(name)) players.set(name, { name, games: 0, points: 0, status: 'fitted' });
    return players.get(name);
  };
  for (const g of games) {
    player(g.white).games++;
    player(g.black).games++;
    player(g.white).points += g.score;
    player(g.black).points += 1 - g.score;
  }
  const fixed = new Map([...anchors].filter(([name]) => players.has(name)));
  if (fixed.size === 0 && players.size > 0) fixed.set(players.keys().next().value, 0);
  const reference = [...fixed.values()].reduce((a, x) => a + x, 0) / Math.max(fixed.size, 1);
  const rating = new Map();
  for (const [name, value] of fixed) {
    Object.assign(players.get(name), { status: 'anchor', elo: value, low: value, high: value });
    rating.set(name, value);
  }

  let active = games;
  for (;;) {
    const linked = linkedTo(fixed.keys(), active);
    const free = [...players.values()].filter((p) => p.status === 'fitted' && linked.has(p.name));
    for (const p of players.values()) {
      if (p.status === 'fitted' && !linked.has(p.name))
        Object.assign(p, { status: 'unlinked', elo: null });
    }
    const index = new Map(free.map((p, i) => [p.name, i]));
    for (const p of free) if (!rating.has(p.name)) rating.set(p.name, reference);
    const used = active.filter((g) => linked.has(g.white) && linked.has(g.black));

    // Gradient and observed information of the log-likelihood over the free players.
    const derivatives = () => {
      const n = free.length;
      const grad = new Array(n).fill(0);
      const info = Array.from({ length: n }, () => new Array(n).fill(0));
      for (const g of used) {
        const e = scoreFromElo(rating.get(g.white) - rating.get(g.black));
        const w = index.get(g.white);
        const b = index.get(g.black);
        const h = K * K * e * (1 - e);
        if (w !== undefined) {
          grad[w] += K * (g.score - e);
          info[w][w] += h;
        }
        if (b !== undefined) {
          grad[b] -= K * (g.score - e);
          info[b][b] += h;
        }
        if (w !== undefined && b !== undefined) {
          info[w][b] -= h;
          info[b][w] -= h;
        }
      }
      return { grad, info };
    };

    let runaway = [];
    for (let iteration = 0; iteration < 500 && free.length > 0; iteration++) {
      const { grad, info } = derivatives();
      const step = solve(info, grad);
      if (!step) break;
      let largest = 0;
      free.forEach((p, i) => {
        const s = Math.max(-200, Math.min(200, step[i]));
        rating.set(p.name, rating.get(p.name) + s);
        largest = Math.max(largest, Math.abs(s));
      });
      runaway = free.filter((p) => Math.abs(rating.get(p.name) - reference) > UNBOUNDED);
      if (runaway.length > 0 || largest < 1e-9) break;
    }
    if (runaway.length > 0) {
      // The limit of the likelihood without these players and their games is the fit of the rest.
      for (const p of runaway) {
        const up = rating.get(p.name) > reference;
        Object.assign(p, {
          status: 'unbounded',
          elo: up ? Infinity : -Infinity,
          low: null,
          high: null,
        });
      }
      const gone = new Set(runaway.map((p) => p.name));
      active = active.filter((g) => !gone.has(g.white) && !gone.has(g.black));
      continue;
    }

    const { info } = derivatives();
    free.forEach((p, i) => {
      const unit = free.map((_, j) => (j === i ? 1 : 0));
      const column = solve(info, unit);
      const half = column ? Z95 * Math.sqrt(Math.max(column[i], 0)) : NaN;
      const elo = rating.get(p.name);
      Object.assign(p, { elo, low: elo - half, high: elo + half });
    });
    return [...players.values()];
  }
}
