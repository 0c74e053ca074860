// The engine's levels as the page names them: level N stops the search after iteration N. The
// words say how strong each level plays; measured ratings are to be added beside them.
export const levels = [
  { level: 1, strength: 'beginner' },
  { level: 2, strength: 'novice' },
  { level: 3, strength: 'casual' },
  { level: 4, strength: 'club (default)' },
  { level: 5, strength: 'strong club' },
  { level: 6, strength: 'strongest' },
];

export const defaultLevel = 4;

// The engine plays, with variety on, a move within this many centipawns of its best.
export const varietyMargin = (level) => Math.floor(40 / level);
