// The game in one place: chess.js keeps the position, the moves and the rules; this adds who
// plays which side, what the engine weighed for each of its replies, and the texts the page
// shows about the game (whose turn, the end and why, PGN).
import { Chess, DEFAULT_POSITION, validateFen } from 'chess.js';

const colourName = { w: 'White', b: 'Black' };

// The position as FEN with the en-passant square written whenever the last move was a pawn's
// double step, the convention the engine reads (chess.js writes it only when a capture is
// possible); everything else as chess.js has it.
export function fenWithDoubleStep(fen, lastMove) {
  const fields = fen.split(' ');
  if (lastMove && lastMove.piece === 'p' && Math.abs(lastMove.from[1] - lastMove.to[1]) === 2) {
    fields[3] = `${lastMove.from[0]}${(Number(lastMove.from[1]) + Number(lastMove.to[1])) / 2}`;
  }
  return fields.join(' ');
}

// Why a set-up position cannot be played, or null: what chess.js rejects, a side not to move
// that is in check, and a game that is over already.
export function setupProblem(fen) {
  const check = validateFen(fen);
  if (!check.ok) return check.error;
  const fields = fen.trim().split(/\s+/);
  fields[1] = fields[1] === 'w' ? 'b' : 'w';
  fields[3] = '-';
  if (new Chess(fields.join(' ')).inCheck()) return 'the side not to move is in check';
  const over = endOf(new Chess(fen));
  if (over) return `the game is over already (${over.reason})`;
  return null;
}

// How the rules end the game in chess.js's position: {result, reason} with the reason in
// plain words, or null while it goes on.
function endOf(c) {
  if (c.isCheckmate()) return { result: c.turn() === 'w' ? '0-1' : '1-0', reason: 'checkmate' };
  const draw = (reason) => ({ result: '1/2-1/2', reason });
  if (c.isStalemate()) return draw('stalemate');
  if (c.isInsufficientMaterial()) return draw('insufficient material');
  if (c.isThreefoldRepetition()) return draw('threefold repetition');
  if (c.isDrawByFiftyMoves()) return draw('fifty-move rule');
  return null;
}

export class Game {
  // A game from `fen` where the user plays `userColour` ('w' or 'b') against the engine at
  // `level`; `seed` is the engine's variety seed, null when it plays its best move.
  constructor(userColour = 'w', fen = DEFAULT_POSITION, level = 4, seed = null) {
    this.chess = new Chess(fen);
    this.startFen = this.chess.fen();
    this.userColour = userColour;
    this.level = level;
    this.seed = seed;
    this.resigned = null; // the colour that resigned
    this.analyses = []; // by ply: what the engine weighed before playing that move
    this.moves = null; // the verbose history, kept until the next move or take-back
  }

  // The moves so far, as chess.js's verbose history (which it rebuilds by replaying the game).
  history() {
    this.moves ??= this.chess.history({ verbose: true });
    return this.moves;
  }

  isOver() {
    return this.resigned !== null || this.chess.isGameOver();
  }

  // The user gives up the game.
  resign() {
    if (!this.isOver()) this.resigned = this.userColour;
  }

  // The position after `ply` moves (0 for the start) as FEN.
  fenAt(ply) {
    const history = this.history();
    if (ply >= history.length) return this.chess.fen();
    return ply === 0 ? this.startFen : history[ply - 1].after;
  }

  userToMove() {
    return !this.isOver() && this.chess.turn() === this.userColour;
  }

  engineToMove() {
    return !this.isOver() && this.chess.turn() !== this.userColour;
  }

  // The legal destinations of every square the side to move can move from.
  dests() {
    const dests = new Map();
    for (const move of this.chess.moves({ verbose: true })) {
      if (!dests.has(move.from)) dests.set(move.from, []);
      dests.get(move.from).push(move.to);
    }
    return dests;
  }

  // Whether moving from `from` to `to` is a promotion, which needs a piece chosen.
  needsPromotion(from, to) {
    return this.chess
      .moves({ square: from, verbose: true })
      .some((m) => m.to === to && m.promotion);
  }

  // Plays {from, to, promotion}; the move, or null when it is not legal here.
  play(move, analysis = null) {
    try {
      const played = this.chess.move(move);
      this.moves = null;
      this.analyses[this.history().length - 1] = analysis;
      return played;
    } catch {
      return null;
    }
  }

  // A move in coordinate notation ("e7e8q") as chess.js's move object.
  static moveFromUci(uci) {
    return { from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4] };
  }

  // The position as the engine is given it (see fenWithDoubleStep).
  engineFen() {
    const history = this.history();
    return fenWithDoubleStep(this.chess.fen(), history[history.length - 1]);
  }

  canTakeBack() {
    return !this.resigned && this.history().some((move) => move.color === this.userColour);
  }

  // Takes back moves up to and including the user's last one: the engine's reply and the move
  // it answered, or the user's move alone while the engine has not answered yet.
  takeBack() {
    if (!this.canTakeBack()) return;
    for (;;) {
      const move = this.chess.undo();
      this.moves = null;
      this.analyses.length = this.history().length;
      if (move.color === this.userColour) return;
    }
  }

  // The end of the game: {result, reason, text}, or null while it goes on.
  outcome() {
    if (this.resigned) {
      const result = this.resigned === 'w' ? '0-1' : '1-0';
      return { result, reason: 'resignation', text: 'You resigned: Quenlor wins' };
    }
    const end = endOf(this.chess);
    if (!end) return null;
    if (end.reason !== 'checkmate') return { ...end, text: `Draw by ${end.reason}` };
    const userWon = end.result === (this.userColour === 'w' ? '1-0' : '0-1');
    return { ...end, text: `Checkmate: ${userWon ? 'you win' : 'Quenlor wins'}` };
  }

  // Whose turn it is, in words.
  turnText() {
    const side = colourName[this.chess.turn()];
    const check = this.chess.inCheck() ? ', in check' : '';
    return this.chess.turn() === this.userColour
      ? `${side} to move${check}: your move`
      : `${side} to move${check}: Quenlor is thinking…`;
  }

  // The game as PGN, with the players, the date and the result in its headers.
  pgn(date = new Date()) {
    const outcome = this.outcome();
    const pad = (n) => String(n).padStart(2, '0');
    const c = this.chess;
    c.setHeader('Event', 'Casual game');
    c.setHeader('Site', 'Quenlor in the browser');
    c.setHeader('Date', `${date.getFullYear()}.${pad(date.getMonth() + 1)}.${pad(date.getDate())}`);
    c.setHeader('White', this.userColour === 'w' ? 'You' : 'Quenlor');
    c.setHeader('Black', this.userColour === 'b' ? 'You' : 'Quenlor');
    c.setHeader('Result', outcome ? outcome.result : '*');
    c.setHeader('Level', String(this.level));
    if (this.seed !== null) c.setHeader('VarietySeed', String(this.seed));
    return c.pgn();
  }
}
