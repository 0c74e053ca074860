// The page's text around the board, drawn afresh from the game after every change: status,
// move list, what the engine weighed, FEN, PGN and which buttons can be used.
import { Chess } from 'chess.js';

/* global MATE_STEP */
// The engine's mate step (set from the engine's source when the site is built).
const mateScore = MATE_STEP;

// A root score (centipawns from the engine's side; mates are multiples of the mate step) in words.
export function scoreText(score) {
  if (score >= mateScore) return '+mate';
  if (score <= -mateScore) return '−mate';
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
function plyLabel(startFen, ply) {
  const [, turn, , , , number] = startFen.split(' ');
  const offset = ply + (turn === 'b' ? 1 : 0);
  const moveNumber = Number(number) + Math.floor(offset / 2);
  return offset % 2 === 0 ? `${moveNumber}.` : `${moveNumber}…`;
}

// The moves in SAN, one numbered row per move pair; the engine's moves open their reasons.
export function renderMoves(list, game, selectedPly) {
  list.replaceChildren();
  let row = null;
  game.history().forEach((move, ply) => {
    const label = plyLabel(game.startFen, ply);
    if (!row || label.endsWith('.')) {
      row = element('li');
      row.append(element('span', { class: 'number' }, label));
      list.append(row);
    }
    const engine = move.color !== game.userColour;
    const button = element(
      'button',
      {
        type: 'button',
        class: `move ${engine ? 'engine' : 'user'}${ply === selectedPly ? ' selected' : ''}`,
        'data-ply': String(ply),
        'data-uci': move.lan,
        'data-san': move.san,
        title: engine ? 'Show what Quenlor weighed' : 'Your move',
      },
      move.san,
    );
    if (!engine) button.disabled = true;
    row.append(button);
  });
  // Keeps the latest move in sight inside the list without scrolling the page.
  list.scrollTop = list.scrollHeight;
}

// The engine's root list for the reply at `ply`, best first, with scores, the chosen move
// marked.
export function renderThinking(panel, game, ply, thinking) {
  panel.replaceChildren();
  for (const key of ['ply', 'fen', 'bestmove', 'replyMs', 'searchMs']) delete panel.dataset[key];
  const analysis = ply === null ? null : game.analyses[ply];
  panel.dataset.state = thinking ? 'thinking' : analysis ? 'shown' : 'empty';
  if (thinking) {
    panel.append(element('p', { class: 'muted' }, 'Quenlor is searching four plies deep…'));
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
  panel.append(
    element(
      'p',
      {},
      `Reply ${plyLabel(game.startFen, ply)} ${played.san}: the moves of its last ` +
        `iteration (depth ${analysis.depth}), scored from Quenlor’s side in pawns:`,
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
  panel.append(list);
  panel.append(
    element(
      'p',
      { class: 'muted' },
      `${analysis.nodes} positions searched in ${Math.round(analysis.searchMs)} ms; on the ` +
        `board ${Math.round(analysis.replyMs)} ms after your move.`,
    ),
  );
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
