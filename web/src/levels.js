// The engine's levels as the page names them: level N stops the search after iteration N. `elo`
// is the measured estimate (scripts/measure/level-strength.sh; about ±300, see the README).
export const levels = [
  { level: 1, strength: 'beginner', elo: 470 },
  { level: 2, strength: 'novice', elo: 540 },
  { level: 3, strength: 'casual', elo: 720 },
  { level: 4, strength: 'default', elo: 790 },
  { level: 5, strength: 'deeper', elo: 890 },
  { level: 6, strength: 'deepest', elo: 830 },
];

export const defaultLevel = 4;

// The engine plays, with variety on, a move within this many centipawns of its best.
export const varietyMargin = (level) => Math.floor(40 / level);
