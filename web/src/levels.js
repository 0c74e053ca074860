/* global LEVEL_ELO */
// The engine's levels as the page names them: level N stops the search after iteration N. `elo`
// is the measured estimate (about ±300, see the README), set from the engine's source when the
// site is built.
export const levels = ['beginner', 'novice', 'casual', 'default', 'deeper', 'deepest'].map(
  (strength, i) => ({ level: i + 1, strength, elo: LEVEL_ELO[i] }),
);

export const defaultLevel = 4;

// The engine plays, with variety on, a move within this many centipawns of its best.
export const varietyMargin = (level) => Math.floor(40 / level);
