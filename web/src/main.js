// The page's controller: one game, one board, one engine. User moves come from the board or the
// move box, the engine answers through its worker, and every change redraws the board and the
// panel from the game. The user's choices (level, side, variety, sound, theme) are kept in
// localStorage across visits.
import { Chessground } from 'chessground';
import 'chessground/assets/chessground.base.css';
import 'chessground/assets/chessground.brown.css';
import 'chessground/assets/chessground.cburnett.css';
import { Chess } from 'chess.js';
import './style.css';
import { EngineReplaced, UciEngine } from './engine.js';
import { Game, setupProblem } from './game.js';
import { defaultLevel, levels } from './levels.js';
import { playSound, soundForMove } from './sound.js';
import { plyLabel, renderBoardText, renderMoves, renderStatus, renderThinking } from './view.js';

const byTestId = (id) => document.querySelector(`[data-testid="${id}"]`);
const nameOf = { w: 'white', b: 'black' };
const roleOf = { p: 'pawn', n: 'knight', b: 'bishop', r: 'rook', q: 'queen', k: 'king' };

const ui = Object.fromEntries(
  [
    'board',
    'board-text',
    'promotion',
    'result',
    'result-text',
    'result-download',
    'status',
    'intro',
    'intro-levels',
    'level',
    'side',
    'vary',
    'choice-note',
    'mute',
    'theme',
    'review',
    'review-text',
    'moves',
    'move-form',
    'move-input',
    'move-error',
    'thinking',
    'fen',
    'fen-input',
    'setup-error',
    'pgn',
    'copied',
    'new-game',
    'undo',
    'flip',
    'resign',
  ].map((id) => [id.replace(/-(\w)/g, (_, c) => c.toUpperCase()), byTestId(id)]),
);

// The user's choices, kept across visits.
const prefsKey = 'quenlor.prefs';
const prefs = {
  level: defaultLevel,
  side: 'white',
  vary: false,
  mute: false,
  theme: null,
  seen: false,
};
try {
  Object.assign(prefs, JSON.parse(localStorage.getItem(prefsKey)) ?? {});
} catch {
  // Unreadable choices are forgotten.
}
function savePrefs() {
  try {
    localStorage.setItem(prefsKey, JSON.stringify(prefs));
  } catch {
    // Without storage the choices last for this visit only.
  }
}

for (const { level, strength, elo } of levels) {
  ui.level.append(new Option(`${level} · ${strength} · about ${elo} Elo`, String(level)));
}
ui.introLevels.textContent = `Levels: ${levels.map((l) => `${l.level} ${l.strength} (about ${l.elo} Elo)`).join(', ')}.`;
ui.level.value = String(prefs.level);
if (!ui.level.value) ui.level.value = String(defaultLevel);
ui.side.value = ['white', 'black', 'random'].includes(prefs.side) ? prefs.side : 'white';
ui.vary.checked = Boolean(prefs.vary);
ui.mute.checked = Boolean(prefs.mute);
ui.intro.hidden = Boolean(prefs.seen);

// The theme: the user's choice, else the system's.
const darkQuery = matchMedia('(prefers-color-scheme: dark)');
function applyTheme() {
  const theme = prefs.theme ?? (darkQuery.matches ? 'dark' : 'light');
  document.documentElement.dataset.theme = theme;
  ui.theme.setAttribute('aria-pressed', String(theme === 'dark'));
}
darkQuery.addEventListener('change', applyTheme);
applyTheme();

// A game as the choices say: the side ('random' picks one), the level, and a fresh seed when
// the games vary.
function newGameFromChoices(fen, colour) {
  const side = ui.side.value;
  const userColour =
    colour ?? (side === 'random' ? (Math.random() < 0.5 ? 'w' : 'b') : side[0] === 'b' ? 'b' : 'w');
  const seed = ui.vary.checked ? crypto.getRandomValues(new Uint32Array(1))[0] >>> 1 : null;
  return new Game(userColour, fen, Number(ui.level.value), seed);
}

const state = {
  game: newGameFromChoices(),
  orientation: 'white',
  engineState: 'loading', // 'loading', 'ready' or 'error'
  engineMessage: '',
  search: 0, // the number of the search whose answer is awaited, 0 when none is
  searches: 0,
  shownPly: null, // the engine reply whose reasons are shown
  reviewPly: null, // the number of moves behind the position reviewed, null for the live game
  pendingPromotion: null,
  userMoveTime: 0,
  resultShown: false,
};
state.orientation = nameOf[state.game.userColour];

const cg = Chessground(ui.board, {
  orientation: state.orientation,
  movable: { free: false, showDests: true, events: { after: onBoardMove } },
  premovable: { enabled: false },
  draggable: { showGhost: true },
  animation: { duration: 150 },
});
new ResizeObserver(() => cg.redrawAll()).observe(ui.board);

// The ply of the engine's latest move, or null before it has moved.
function lastEngineReply() {
  const history = state.game.history();
  for (let ply = history.length - 1; ply >= 0; ply -= 1) {
    if (history[ply].color !== state.game.userColour) return ply;
  }
  return null;
}

// What the board shows: the reviewed position or the live one, with a pawn waiting for its
// promotion piece drawn on its new square. {fen, pieces: Map square -> {role, color}, last}.
function shownPosition() {
  const { game } = state;
  const history = game.history();
  const ply = state.reviewPly ?? history.length;
  const fen = game.fenAt(ply);
  const pieces = new Map();
  for (const row of new Chess(fen).board()) {
    for (const cell of row) {
      if (cell) pieces.set(cell.square, { role: roleOf[cell.type], color: nameOf[cell.color] });
    }
  }
  const move = history[ply - 1];
  let last = move ? [move.from, move.to] : undefined;
  const pending = state.reviewPly === null ? state.pendingPromotion : null;
  if (pending) {
    pieces.delete(pending.from);
    pieces.set(pending.to, { role: 'pawn', color: nameOf[game.userColour] });
    last = [pending.from, pending.to];
  }
  return { fen, pieces, last, live: state.reviewPly === null };
}

// Draws everything from the state.
function render() {
  const { game } = state;
  const shown = shownPosition();
  const chess = new Chess(shown.fen);
  const canMove =
    shown.live && state.engineState === 'ready' && game.userToMove() && !state.pendingPromotion;
  cg.set({
    fen: shown.fen,
    orientation: state.orientation,
    turnColor: nameOf[chess.turn()],
    lastMove: shown.last,
    check: chess.inCheck() && !state.pendingPromotion ? nameOf[chess.turn()] : false,
    movable: {
      color: canMove ? nameOf[game.userColour] : undefined,
      dests: canMove ? game.dests() : new Map(),
    },
  });
  if (state.pendingPromotion && shown.live) {
    const { from, to } = state.pendingPromotion;
    cg.setPieces(
      new Map([
        [from, undefined],
        [to, { role: 'pawn', color: nameOf[game.userColour] }],
      ]),
    );
  }
  ui.board.classList.toggle('reviewing', !shown.live);
  renderBoardText(ui.boardText, shown.pieces, state.orientation);
  const thinking = state.search !== 0;
  renderStatus(ui.status, game, state.engineState, thinking, state.engineMessage);
  renderMoves(ui.moves, game, state.shownPly, state.reviewPly);
  renderThinking(ui.thinking, game, state.shownPly, thinking);
  renderReview();
  renderResult();
  ui.fen.textContent = shown.fen;
  const pgn = game.pgn();
  ui.pgn.value = pgn;
  ui.resultDownload.href = `data:application/x-chess-pgn;charset=utf-8,${encodeURIComponent(pgn)}`;
  ui.undo.disabled = !game.canTakeBack();
  ui.resign.disabled = game.isOver() || state.engineState !== 'ready';
}

function renderReview() {
  ui.review.hidden = state.reviewPly === null;
  if (state.reviewPly === null) return;
  const ply = state.reviewPly;
  const move = state.game.history()[ply - 1];
  ui.reviewText.textContent = move
    ? `Reviewing the position after ${plyLabel(state.game.startFen, ply - 1)} ${move.san}`
    : 'Reviewing the starting position';
}

// The result dialog, opened once when the game ends.
function renderResult() {
  const outcome = state.game.outcome();
  const dialog = ui.result;
  if (!outcome) {
    if (dialog.open) dialog.close();
    state.resultShown = false;
    return;
  }
  dialog.dataset.result = outcome.result;
  dialog.dataset.reason = outcome.reason;
  ui.resultText.textContent = `${outcome.text} (${outcome.result}, ${outcome.reason})`;
  if (!state.resultShown) {
    state.resultShown = true;
    dialog.show();
    byTestId('result-new').focus();
  }
}

// Shows the position after `ply` moves read-only; the live game when `ply` is the last.
function review(ply) {
  const length = state.game.history().length;
  if (length === 0) return;
  const target = Math.max(0, Math.min(ply, length));
  state.reviewPly = target === length ? null : target;
  const move = state.game.history()[target - 1];
  if (move && move.color !== state.game.userColour) state.shownPly = target - 1;
  render();
}

function goLive() {
  state.reviewPly = null;
  render();
}

function sound(name) {
  if (!ui.mute.checked) playSound(name);
}

// A move made on the board: asks for the promotion piece when one is needed.
function onBoardMove(from, to) {
  if (state.game.needsPromotion(from, to)) {
    state.pendingPromotion = { from, to };
    showPromotion();
    return;
  }
  playUserMove({ from, to });
}

// Shows the chooser with the user's pieces, the pawn on its new square; the board takes no
// move meanwhile.
function showPromotion() {
  for (const piece of ui.promotion.querySelectorAll('piece')) {
    piece.classList.remove('white', 'black');
    piece.classList.add(nameOf[state.game.userColour]);
  }
  ui.promotion.hidden = false;
  render();
  ui.promotion.querySelector('button').focus();
}

// Plays the pending promotion with the chosen piece, or drops it when cancelled.
function choosePromotion(piece) {
  const move = state.pendingPromotion;
  state.pendingPromotion = null;
  ui.promotion.hidden = true;
  if (piece && move) playUserMove({ ...move, promotion: piece });
  else render();
}

// Plays the user's move, then lets the engine answer; an illegal move just redraws the board.
// True when it was played.
function playUserMove(move) {
  state.reviewPly = null;
  const played = state.game.play(move);
  if (!played) {
    render();
    return false;
  }
  sound(soundForMove(played, state.game.chess));
  state.userMoveTime = performance.now();
  render();
  engineTurn();
  return true;
}

// Lets the engine answer when it is its turn; an answer that arrives after the game changed
// (take-back, new game, set-up, resignation) is dropped.
async function engineTurn() {
  const { game } = state;
  if (state.engineState !== 'ready' || !game.engineToMove() || state.search !== 0) return;
  state.searches += 1;
  const search = state.searches;
  state.search = search;
  render();
  const fen = game.engineFen();
  const started = performance.now();
  let result;
  try {
    result = await engine.search(fen, { level: game.level, seed: game.seed });
  } catch (error) {
    // A search dropped with its worker (new game, take-back) fails quietly.
    if (state.search !== search) return;
    state.search = 0;
    engineFailed(error);
    return;
  }
  if (state.search !== search || state.game !== game) return;
  state.search = 0;
  if (!result.bestmove) {
    // chess.js sees a legal move (the game is not over), the engine none: say so.
    state.engineState = 'error';
    state.engineMessage = 'it found no move in a position that has one';
    render();
    return;
  }
  const searchMs = performance.now() - started;
  const analysis = { fen, ...result, level: game.level, seed: game.seed, searchMs, replyMs: 0 };
  const played = game.play(Game.moveFromUci(result.bestmove), analysis);
  if (!played) {
    state.engineState = 'error';
    state.engineMessage = `it played ${result.bestmove}, which is not legal here`;
    render();
    return;
  }
  sound(soundForMove(played, game.chess));
  state.shownPly = game.history().length - 1;
  render();
  // The reply is on the board once the browser has drawn the frame.
  requestAnimationFrame(() => {
    analysis.replyMs = performance.now() - (state.userMoveTime || started);
    state.userMoveTime = 0;
    render();
  });
}

// The engine failed: the page says so and takes no more moves. A worker replaced on purpose is no
// failure.
function engineFailed(error) {
  if (error instanceof EngineReplaced) return;
  state.engineState = 'error';
  state.engineMessage = error.message;
  render();
}

// Forgets the search under way, if any. The worker runs a search to its end without reading
// its messages, so rather than wait for it the page replaces it with a fresh one, which takes the
// next requests as soon as it has loaded.
function dropSearch() {
  if (state.search === 0) return;
  state.search = 0;
  if (state.engineState === 'ready') engine.restart().catch(engineFailed);
}

// Whether the game on the board may be dropped: at once when the user has not moved yet or the
// game is over, else when the user says so.
function mayDiscard() {
  const { game } = state;
  const started = game.history().some((move) => move.color === game.userColour);
  if (!started || game.isOver()) return true;
  return window.confirm('Discard the game in progress?');
}

// A new game from `fen` (the standard start when omitted) as the choices say.
function startGame(fen, colour) {
  dropSearch();
  state.game = newGameFromChoices(fen, colour);
  state.orientation = nameOf[state.game.userColour];
  state.shownPly = null;
  state.reviewPly = null;
  state.pendingPromotion = null;
  ui.promotion.hidden = true;
  ui.choiceNote.hidden = true;
  ui.moveError.hidden = true;
  if (state.engineState === 'ready') engine.newGame();
  render();
  engineTurn();
}

// Takes back the user's last move and the engine's answer to it, forgetting any search under way.
function takeBack() {
  state.game.takeBack();
  dropSearch();
  state.reviewPly = null;
  state.pendingPromotion = null;
  ui.promotion.hidden = true;
  state.shownPly = lastEngineReply();
  render();
}

// Puts the game's PGN on the clipboard (by selecting the text where the clipboard API is refused).
async function copyPgn() {
  const text = state.game.pgn();
  try {
    await navigator.clipboard.writeText(text);
  } catch {
    ui.pgn.select();
    document.execCommand('copy');
  }
  ui.copied.hidden = false;
  setTimeout(() => (ui.copied.hidden = true), 1500);
}

// A move typed by the user: SAN ("Nf3", "O-O", "e8=Q") or coordinates ("g1f3", "e7e8q").
function typedMove(text) {
  const { game } = state;
  if (!text) return { error: 'Type a move first, like e4 or g1f3.' };
  if (game.isOver()) return { error: 'The game is over: start a new one to play on.' };
  if (!game.userToMove() || state.engineState !== 'ready') {
    return { error: 'Wait for Quenlor’s move.' };
  }
  const coordinates = text.match(/^([a-h][1-8])[-x]?([a-h][1-8])=?([qrbn])?$/i);
  const position = new Chess(game.chess.fen());
  try {
    const move = coordinates
      ? position.move({
          from: coordinates[1].toLowerCase(),
          to: coordinates[2].toLowerCase(),
          promotion: coordinates[3]?.toLowerCase(),
        })
      : position.move(text.replace(/0/g, 'O'), { strict: false });
    return { move: { from: move.from, to: move.to, promotion: move.promotion } };
  } catch {
    if (coordinates && game.needsPromotion(coordinates[1], coordinates[2])) {
      return { error: `Add the piece to promote to, like ${coordinates[1]}${coordinates[2]}q.` };
    }
    return { error: `“${text}” is not a legal move here.` };
  }
}

ui.moveForm.addEventListener('submit', (event) => {
  event.preventDefault();
  const text = ui.moveInput.value.trim();
  const { move, error } = typedMove(text);
  ui.moveError.hidden = !error;
  ui.moveError.textContent = error ?? '';
  ui.moveInput.setAttribute('aria-invalid', String(Boolean(error)));
  if (move && playUserMove(move)) ui.moveInput.value = '';
});

ui.newGame.addEventListener('click', () => {
  if (mayDiscard()) startGame();
});
let sideShown = ui.side.value;
ui.side.addEventListener('change', () => {
  if (!mayDiscard()) {
    ui.side.value = sideShown;
    return;
  }
  sideShown = prefs.side = ui.side.value;
  savePrefs();
  startGame(state.game.startFen);
});
// The level and variety hold for a whole game (its PGN records them): a change starts the game
// again while the user has not moved, and holds from the next game otherwise.
function choiceChanged() {
  prefs.level = Number(ui.level.value);
  prefs.vary = ui.vary.checked;
  savePrefs();
  const { game } = state;
  if (!game.history().some((move) => move.color === game.userColour)) {
    startGame(game.startFen, game.userColour);
    return;
  }
  ui.choiceNote.hidden = false;
  ui.choiceNote.textContent = 'Your new choice holds from the next game.';
}
ui.level.addEventListener('change', choiceChanged);
ui.vary.addEventListener('change', choiceChanged);
ui.mute.addEventListener('change', () => {
  prefs.mute = ui.mute.checked;
  savePrefs();
});
ui.theme.addEventListener('click', () => {
  prefs.theme = document.documentElement.dataset.theme === 'dark' ? 'light' : 'dark';
  savePrefs();
  applyTheme();
});
byTestId('intro-close').addEventListener('click', () => {
  prefs.seen = true;
  savePrefs();
  ui.intro.hidden = true;
});
ui.undo.addEventListener('click', takeBack);
ui.flip.addEventListener('click', () => {
  state.orientation = state.orientation === 'white' ? 'black' : 'white';
  render();
});
ui.resign.addEventListener('click', () => {
  if (state.game.isOver() || !window.confirm('Resign this game?')) return;
  state.game.resign();
  dropSearch();
  state.pendingPromotion = null;
  ui.promotion.hidden = true;
  sound('end');
  render();
});
ui.moves.addEventListener('click', (event) => {
  const button = event.target.closest('button[data-ply]');
  if (button) review(Number(button.dataset.ply) + 1);
});
byTestId('review-live').addEventListener('click', goLive);
document.addEventListener('keydown', (event) => {
  if (event.key === 'Escape' && ui.result.open) ui.result.close();
  if (event.altKey || event.ctrlKey || event.metaKey || state.pendingPromotion) return;
  if (event.target.closest('input:not([type="checkbox"]), select, textarea')) return;
  const length = state.game.history().length;
  const at = state.reviewPly ?? length;
  const target = { ArrowLeft: at - 1, ArrowRight: at + 1, Home: 0, End: length }[event.key];
  if (target === undefined || length === 0) return;
  event.preventDefault();
  review(target);
});
for (const button of ui.promotion.querySelectorAll('button')) {
  button.addEventListener('click', () => choosePromotion(button.dataset.piece));
}
byTestId('setup').addEventListener('submit', (event) => {
  event.preventDefault();
  const fen = ui.fenInput.value.trim();
  const problem = setupProblem(fen);
  ui.setupError.hidden = !problem;
  ui.setupError.textContent = problem ? `Not a playable position: ${problem}` : '';
  if (!problem && mayDiscard()) startGame(fen);
});
byTestId('copy-pgn').addEventListener('click', copyPgn);
byTestId('result-copy').addEventListener('click', copyPgn);
byTestId('result-new').addEventListener('click', () => startGame());
byTestId('result-close').addEventListener('click', () => ui.result.close());
byTestId('result-review').addEventListener('click', () => {
  ui.result.close();
  review(0);
  ui.moves.querySelector('button')?.focus();
});

const engine = new UciEngine('engine.js');
render();
engine.start().then(() => {
  state.engineState = 'ready';
  engine.newGame();
  render();
  engineTurn();
}, engineFailed);

if ('serviceWorker' in navigator && location.protocol.startsWith('http')) {
  navigator.serviceWorker.register('sw.js').catch(() => {
    // Without the service worker the page still works; it just needs the network to load.
  });
}
