// The page's text around the board, drawn afresh from the game after every change: status,
// move list, what the engine weighed, FEN, PGN and which buttons can be used.
import { Chess } from 'chess.js';
import { varietyMargin } from './levels.js';

/* global MATE_STEP */
// The engine's mate step (set from the engine's source when the site is built).
const mateScore = MATE_STEP;

// A root score (centipawns from the engine's side; mates are multiples of the mate step) in words.
export function scoreText(score) {
  if (score >= mateScore) return 'mate';
  if (score <= -mateScore) return 'mated';
  const pawns = (Math.abs(score) / 100).toFixed(2);
  return score < 0 ? `−${pawns}` : `+${pawns}`;
}

// A new element with attributes and text.
function element(tag, attributes = {}, text = '') {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
  if (text) node.textContent = text;
  return node;
}

// The full-move number and side of each ply, counted from the game's starting FEN.
export function plyLabel(startFen, ply) {
  const [, turn, , , , number] = startFen.split(' ');
  const offset = ply + (turn === 'b' ? 1 : 0);
  const moveNumber = Number(number) + Math.floor(offset / 2);
  return offset % 2 === 0 ? `${moveNumber}.` : `${moveNumber}…`;
}

// The moves in SAN, one numbered row per move pair. Each opens its position for review; the
// engine's also open what it weighed. `reviewPly` is the number of moves behind the position
// under review, null for the live game.
export function renderMoves(list, game, selectedPly, reviewPly) {
  list.replaceChildren();
  let row = null;
  let current = null;
  game.history().forEach((move, ply) => {
    const label = plyLabel(game.startFen, ply);
    if (!row || label.endsWith('.')) {
      row = element('li');
      row.append(element('span', { class: 'number' }, label));
      list.append(row);
    }
    const engine = move.color !== game.userColour;
    const reviewed = reviewPly !== null && ply === reviewPly - 1;
    const classes = ['move', engine ? 'engine' : 'user'];
    if (ply === selectedPly) classes.push('selected');
    if (reviewed) classes.push('reviewed');
    const button = element(
      'button',
      {
        type: 'button',
        class: classes.join(' '),
        'data-ply': String(ply),
        'data-uci': move.lan,
        'data-san': move.san,
        'aria-label': `${label} ${move.san}, ${engine ? 'Quenlor' : 'you'}`,
        title: engine ? 'Show this position and what Quenlor weighed' : 'Show this position',
      },
      move.san,
    );
    if (reviewed) {
      button.setAttribute('aria-current', 'step');
      current = button;
    }
    row.append(button);
  });
  // Keeps the move on the board in sight inside the list without scrolling the page.
  if (current) list.scrollTop = current.offsetTop - list.offsetTop - list.clientHeight / 2;
  else list.scrollTop = list.scrollHeight;
}

const pieceName = {
  pawn: 'pawn',
  knight: 'knight',
  bishop: 'bishop',
  rook: 'rook',
  queen: 'queen',
  king: 'king',
};

// The board for assistive technology: a table of the squares as seen from the bottom of the
// board, each cell naming its square and what stands on it (`pieces`: square -> {role, color}).
export function renderBoardText(table, pieces, orientation) {
  const body = table.tBodies[0];
  body.replaceChildren();
  const ranks = orientation === 'white' ? '87654321' : '12345678';
  const files = orientation === 'white' ? 'abcdefgh' : 'hgfedcba';
  for (const rank of ranks) {
    const row = element('tr');
    row.append(element('th', { scope: 'row' }, `Rank ${rank}`));
    for (const file of files) {
      const square = `${file}${rank}`;
      const piece = pieces.get(square);
      row.append(
        element(
          'td',
          { 'data-square': square },
          `${square}: ${piece ? `${piece.color} ${pieceName[piece.role]}` : 'empty'}`,
        ),
      );
    }
    body.append(row);
  }
}

// A line of moves in coordinates from a FEN, in SAN with move numbers; it stops at a move
// chess.js does not accept.
function lineText(fen, moves) {
  const position = new Chess(fen);
  const words = [];
  for (const uci of moves) {
    const number = position.moveNumber();
    if (position.turn() === 'w') words.push(`${number}.`);
    else if (words.length === 0) words.push(`${number}…`);
    try {
      words.push(
        position.move({ from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4] }).san,
      );
    } catch {
      break;
    }
  }
  return words.join(' ');
}

// A search's score ({cp} or {mate}, for the engine) in words, empty without one.
function lineScoreText(score) {
  if (score?.mate !== undefined) {
    return ` It saw ${score.mate > 0 ? 'a mate' : 'itself mated'} in ${Math.abs(score.mate)}.`;
  }
  if (score?.cp === undefined) return '';
  const pawns = (Math.abs(score.cp) / 100).toFixed(2);
  return (
    ` It scored it ${score.cp < 0 ? '−' : '+'}${pawns} in pawns (+ good for Quenlor, − good ` +
    'for you).'
  );
}

// What the engine weighed for the reply at `ply`: at levels 1 to 4 its root list, best first,
// with scores, the chosen move marked; at levels 5 to 11, which list no root moves, the line it
// expected and its score.
export function renderThinking(panel, game, ply, thinking) {
  panel.replaceChildren();
  for (const key of ['ply', 'fen', 'bestmove', 'replyMs', 'searchMs']) delete panel.dataset[key];
  const analysis = ply === null ? null : game.analyses[ply];
  panel.dataset.state = thinking ? 'thinking' : analysis ? 'shown' : 'empty';
  if (thinking) {
    panel.append(element('p', { class: 'muted' }, `Quenlor is thinking at level ${game.level}…`));
    return;
  }
  if (!analysis) {
    panel.append(
      element('p', { class: 'muted' }, 'Quenlor’s reasons appear here after each reply.'),
    );
    return;
  }
  const played = game.history()[ply];
  panel.dataset.ply = String(ply);
  panel.dataset.fen = analysis.fen;
  panel.dataset.bestmove = played.lan;
  panel.dataset.replyMs = String(Math.round(analysis.replyMs));
  panel.dataset.searchMs = String(Math.round(analysis.searchMs));
  const variety =
    analysis.seed !== null
      ? ` With varied games it picks among the moves within ${(varietyMargin(analysis.level) / 100).toFixed(2)} of its best.`
      : '';
  const figures = element(
    'p',
    { class: 'muted' },
    `${analysis.nodes} positions searched in ${Math.round(analysis.searchMs)} ms; on the ` +
      `board ${Math.round(analysis.replyMs)} ms after your move.`,
  );
  if (analysis.root.length === 0 && analysis.pv?.length > 0) {
    const line = element(
      'p',
      { class: 'line', 'data-pv': analysis.pv.join(' ') },
      `Reply ${plyLabel(game.startFen, ply)} ${played.san} at level ${analysis.level}: the ` +
        `line Quenlor expected: ${lineText(analysis.fen, analysis.pv)}.` +
        `${lineScoreText(analysis.score)}${variety}`,
    );
    panel.append(line, figures);
    return;
  }
  panel.append(
    element(
      'p',
      {},
      `Reply ${plyLabel(game.startFen, ply)} ${played.san} at level ${analysis.level}: the ` +
        `moves Quenlor considered, best first, and how good each looked for it in pawns ` +
        `(+ good for Quenlor, − good for you; “mate” when it saw a forced mate).${variety}`,
    ),
  );
  const list = element('ol', { class: 'root' });
  const position = new Chess(analysis.fen);
  for (const entry of analysis.root) {
    let san = entry.uci;
    try {
      san = position.move({
        from: entry.uci.slice(0, 2),
        to: entry.uci.slice(2, 4),
        promotion: entry.uci[4],
      }).san;
      position.undo();
    } catch {
      // A move chess.js does not accept is shown in coordinates.
    }
    const item = element('li', {
      'data-uci': entry.uci,
      'data-score': String(entry.score),
      class: entry.uci === played.lan ? 'chosen' : '',
    });
    item.append(
      element('span', { class: 'san' }, san),
      element('span', { class: 'score' }, scoreText(entry.score)),
    );
    list.append(item);
  }
  panel.append(list, figures);
}

// Whose turn it is or how the game ended, with `data-state` for scripts. `engineState` is
// 'loading', 'error' or 'ready'; `thinking` while the engine searches.
export function renderStatus(node, game, engineState, thinking, message) {
  const outcome = game.outcome();
  delete node.dataset.result;
  delete node.dataset.reason;
  if (engineState === 'loading') {
    node.dataset.state = 'loading';
    node.textContent = 'Loading the engine…';
  } else if (engineState === 'error') {
    node.dataset.state = 'error';
    node.textContent = `The engine stopped: ${message}`;
  } else if (outcome) {
    node.dataset.state = 'over';
    node.dataset.result = outcome.result;
    node.dataset.reason = outcome.reason;
    node.textContent = `${outcome.text} (${outcome.result})`;
  } else {
    node.dataset.state = thinking ? 'thinking' : 'your-move';
    node.textContent = game.turnText();
  }
}
