// The page's controller: one game, one board, one engine. User moves come from the board, the
// engine answers through its worker, and every change redraws the board and the panel from the
// game.
import { Chessground } from 'chessground';
import 'chessground/assets/chessground.base.css';
import 'chessground/assets/chessground.brown.css';
import 'chessground/assets/chessground.cburnett.css';
import './style.css';
import { UciEngine } from './engine.js';
import { Game, setupProblem } from './game.js';
import { renderMoves, renderStatus, renderThinking } from './view.js';

const byTestId = (id) => document.querySelector(`[data-testid="${id}"]`);
const colourOf = { white: 'w', black: 'b' };
const nameOf = { w: 'white', b: 'black' };

const ui = {
  board: byTestId('board'),
  promotion: byTestId('promotion'),
  status: byTestId('status'),
  side: byTestId('side'),
  moves: byTestId('moves'),
  thinking: byTestId('thinking'),
  fen: byTestId('fen'),
  fenInput: byTestId('fen-input'),
  setupError: byTestId('setup-error'),
  pgn: byTestId('pgn'),
  copied: byTestId('copied'),
  newGame: byTestId('new-game'),
  undo: byTestId('undo'),
  flip: byTestId('flip'),
};

const state = {
  game: new Game(colourOf[ui.side.value]),
  orientation: ui.side.value,
  engineState: 'loading', // 'loading', 'ready' or 'error'
  engineMessage: '',
  search: 0, // the number of the search whose answer is awaited, 0 when none is
  searches: 0,
  shownPly: null, // the engine reply whose reasons are shown
  pendingPromotion: null,
  userMoveTime: 0,
};

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

// Draws everything from the state.
function render() {
  const { game } = state;
  const history = game.history();
  const last = history[history.length - 1];
  const canMove = state.engineState === 'ready' && game.userToMove() && !state.pendingPromotion;
  cg.set({
    fen: game.chess.fen(),
    orientation: state.orientation,
    turnColor: nameOf[game.chess.turn()],
    lastMove: last ? [last.from, last.to] : undefined,
    check: game.chess.inCheck() ? nameOf[game.chess.turn()] : false,
    movable: {
      color: canMove ? nameOf[game.userColour] : undefined,
      dests: canMove ? game.dests() : new Map(),
    },
  });
  const thinking = state.search !== 0;
  renderStatus(ui.status, game, state.engineState, thinking, state.engineMessage);
  renderMoves(ui.moves, game, state.shownPly);
  renderThinking(ui.thinking, game, state.shownPly, thinking);
  ui.fen.textContent = game.chess.fen();
  ui.pgn.value = game.pgn();
  ui.undo.disabled = !game.canTakeBack();
  ui.side.value = nameOf[game.userColour];
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

// Shows the chooser with the user's pieces; the board takes no move meanwhile.
function showPromotion() {
  for (const piece of ui.promotion.querySelectorAll('piece')) {
    piece.classList.remove('white', 'black');
    piece.classList.add(nameOf[state.game.userColour]);
  }
  ui.promotion.hidden = false;
  render();
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
function playUserMove(move) {
  if (!state.game.play(move)) {
    render();
    return;
  }
  state.userMoveTime = performance.now();
  render();
  engineTurn();
}

// Lets the engine answer when it is its turn; an answer that arrives after the game changed
// (take-back, new game, set-up) is dropped.
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
    result = await engine.search(fen);
  } catch (error) {
    state.engineState = 'error';
    state.engineMessage = error.message;
    state.search = 0;
    render();
    return;
  }
  if (state.search !== search) return;
  state.search = 0;
  if (!result.bestmove) {
    // chess.js sees a legal move (the game is not over), the engine none: say so.
    state.engineState = 'error';
    state.engineMessage = 'it found no move in a position that has one';
    render();
    return;
  }
  const searchMs = performance.now() - started;
  const analysis = { fen, ...result, searchMs, replyMs: 0 };
  if (!game.play(Game.moveFromUci(result.bestmove), analysis)) {
    state.engineState = 'error';
    state.engineMessage = `it played ${result.bestmove}, which is not legal here`;
    render();
    return;
  }
  state.shownPly = game.history().length - 1;
  render();
  // The reply is on the board once the browser has drawn the frame.
  requestAnimationFrame(() => {
    analysis.replyMs = performance.now() - (state.userMoveTime || started);
    state.userMoveTime = 0;
    render();
  });
}

// A new game from `fen` (the standard start when omitted), the user playing the chosen side.
function startGame(fen) {
  state.game = new Game(colourOf[ui.side.value], fen);
  state.orientation = ui.side.value;
  state.search = 0;
  state.shownPly = null;
  state.pendingPromotion = null;
  ui.promotion.hidden = true;
  if (state.engineState === 'ready') engine.newGame();
  render();
  engineTurn();
}

// Takes back the user's last move and the engine's answer to it, forgetting any search under way.
function takeBack() {
  state.game.takeBack();
  state.search = 0;
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

ui.newGame.addEventListener('click', () => startGame());
ui.side.addEventListener('change', () => startGame());
ui.undo.addEventListener('click', takeBack);
ui.flip.addEventListener('click', () => {
  state.orientation = state.orientation === 'white' ? 'black' : 'white';
  render();
});
ui.moves.addEventListener('click', (event) => {
  const button = event.target.closest('button[data-ply]');
  if (!button) return;
  state.shownPly = Number(button.dataset.ply);
  render();
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
  if (!problem) startGame(fen);
});
byTestId('copy-pgn').addEventListener('click', copyPgn);

const engine = new UciEngine('engine.js');
render();
engine.start().then(
  () => {
    state.engineState = 'ready';
    engine.newGame();
    render();
    engineTurn();
  },
  (error) => {
    state.engineState = 'error';
    state.engineMessage = error.message;
    render();
  },
);

if ('serviceWorker' in navigator && location.protocol.startsWith('http')) {
  navigator.serviceWorker.register('sw.js').catch(() => {
    // Without the service worker the page still works; it just needs the network to load.
  });
}
