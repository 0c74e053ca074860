/* global LEVEL_ELO */
// The engine's levels as the page names them. Levels 1 to 4 stop the search after iteration N
// and answer at once; 5 to 10 search a fixed number of positions a move, so they play the same
// on any machine; 11 is the engine at full strength, with its own fixed budget when no clock is
// given (the page has none). `elo` is the measured estimate (see the README), set from the
// engine's source when the site is built, which checks that it has one for each level here.
export const levels = [
  'beginner',
  'novice',
  'casual',
  'default',
  'intermediate',
  'club',
  'advanced',
  'expert',
  'master',
  'senior master',
  'full strength',
].map((strength, i) => ({ level: i + 1, strength, elo: LEVEL_ELO[i] }));

export const defaultLevel = 4;

// The engine plays, with variety on, a move within this many centipawns of its best.
export const varietyMargin = (level) => Math.floor(40 / level);
