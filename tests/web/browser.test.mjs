// The site in a real browser, used as a person would: whole games played by clicking squares on
// the served page, every engine reply checked against the native engine on the same position.
// Needs the built site (scripts/web.sh) and build/release/quenlor-tool.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { BoardPage, Chess, launchBrowser, nativeBest, serveSite, toolFen } from './support.mjs';

let server;
let browser;
let page;
let board;
const consoleErrors = [];
const foreignRequests = [];

before(async () => {
  server = await serveSite();
  browser = await launchBrowser();
  const { context } = browser;
  const origin = new URL(server.url).origin;
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin });
  context.on('console', (message) => {
    if (message.type() === 'error') consoleErrors.push(message.text());
  });
  context.on('weberror', (error) => consoleErrors.push(String(error.error())));
  context.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith(origin) && !url.startsWith('data:')) foreignRequests.push(url);
  });
  page = context.pages()[0] ?? (await context.newPage());
  board = new BoardPage(page);
  await page.goto(server.url);
});

after(async () => {
  await browser?.close();
  server?.close();
});

function lastMove(chess) {
  return chess.history({ verbose: true }).at(-1);
}

// The game's end as the page names it, from chess.js's view of the same moves.
function expectedEnd(chess) {
  if (chess.isCheckmate())
    return { reason: 'checkmate', result: chess.turn() === 'w' ? '0-1' : '1-0' };
  if (chess.isStalemate()) return { reason: 'stalemate', result: '1/2-1/2' };
  if (chess.isInsufficientMaterial()) return { reason: 'insufficient-material', result: '1/2-1/2' };
  if (chess.isThreefoldRepetition()) return { reason: 'threefold-repetition', result: '1/2-1/2' };
  return { reason: 'fifty-moves', result: '1/2-1/2' };
}

// Plays the user's move on the page; then, unless that ended the game, checks that the reply
// the page shows is the native engine's move, with the same root list, for the FEN the engine
// was given (the page's position with the en-passant square after a double step).
async function playAndCheck(game, uci, options) {
  const count = game.history().length;
  assert.equal(await board.fen(), game.fen(), 'the page shows the position before the move');
  await board.playMove(uci, options);
  game.move({ from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4] });
  if (game.isGameOver()) {
    await board.waitForMoves(count + 1);
    return;
  }
  await board.waitForMoves(count + 2);
  const engineFen = toolFen(game.fen(), lastMove(game));
  const shown = await board.thinking();
  const native = nativeBest(engineFen);
  const reply = (await board.moves()).at(-1);
  assert.equal(shown.fen, engineFen, 'the engine was given the position on the board');
  assert.equal(reply, native.bestmove, `the reply to ${engineFen}`);
  assert.equal(shown.bestmove, reply);
  assert.deepEqual(shown.root, native.root, `the root list for ${engineFen}`);
  game.move({ from: reply.slice(0, 2), to: reply.slice(2, 4), promotion: reply[4] });
  assert.equal(await board.fen(), game.fen());
}

// The user's move: the native engine's choice for the user's side.
async function userChoice(game) {
  return nativeBest(toolFen(await board.fen(), lastMove(game))).bestmove;
}

// Plays the user's side until the game ends; `each(turn, uci)` runs after every user turn.
async function playToTheEnd(game, each = async () => {}) {
  for (let turn = 1; !game.isGameOver(); turn += 1) {
    assert.ok(turn < 200, 'the game ends');
    const uci = await userChoice(game);
    await playAndCheck(game, uci, { drag: turn === 1 });
    await each(turn, uci);
  }
  const status = await board.status();
  assert.equal(status.state, 'over');
  assert.deepEqual({ reason: status.reason, result: status.result }, expectedEnd(game));
}

test(
  'a whole game as White from the start: clicks, a drag, a take-back, the end, PGN',
  { timeout: 120000 },
  async () => {
    await board.waitForUser();
    assert.equal(await board.orientation(), 'white');
    assert.equal(await board.byTestId('side').inputValue(), 'white');
    const game = new Chess();
    await playToTheEnd(game, async (turn, uci) => {
      if (turn === 3) {
        // Take back the move pair and play the same move again: the same reply follows.
        await board.byTestId('undo').click();
        await board.waitForMoves(game.history().length - 2);
        game.undo();
        game.undo();
        assert.equal(await board.fen(), game.fen());
        await playAndCheck(game, uci);
      }
      if (turn === 14 && process.env.QUENLOR_SCREENSHOT) {
        await board.waitForReplyTime();
        await page.waitForTimeout(400); // the reply's animation
        await page.screenshot({ path: process.env.QUENLOR_SCREENSHOT });
      }
    });
    assert.deepEqual(
      await board.moves(),
      game.history({ verbose: true }).map((m) => m.lan),
    );
    assert.deepEqual(
      await board.byTestId('moves').locator('[data-ply]').allTextContents(),
      game.history(),
    );

    // The PGN holds the game and its result; the copy button puts it on the clipboard.
    const pgn = await board.byTestId('pgn').inputValue();
    const replay = new Chess();
    replay.loadPgn(pgn);
    assert.deepEqual(replay.history(), game.history());
    assert.equal(replay.getHeaders().Result, expectedEnd(game).result);
    await board.byTestId('copy-pgn').click();
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), pgn);
  },
);

test(
  'a set-up position played to mate: castling by the king, a promotion chosen',
  { timeout: 120000 },
  async () => {
    const fen = '4k3/1P6/8/8/8/8/8/4K2R w K - 0 1';
    await board.byTestId('fen-input').fill(fen);
    await board.byTestId('set-fen').click();
    await board.waitForMoves(0);
    assert.equal(await board.fen(), fen);
    const game = new Chess(fen);
    const userMoves = [];
    await playToTheEnd(game, async (turn, uci) => userMoves.push(uci));
    assert.ok(userMoves.includes('e1g1'), `castled: ${userMoves}`);
    assert.ok(
      userMoves.some((uci) => uci.length === 5),
      `promoted: ${userMoves}`,
    );
    assert.equal((await board.status()).result, '1-0');
    assert.match(
      await board.byTestId('pgn').inputValue(),
      /\[FEN "4k3\/1P6\/8\/8\/8\/8\/8\/4K2R w K - 0 1"\]/,
    );
  },
);

test(
  'playing Black: the engine opens, Black at the bottom, flip, new game',
  { timeout: 120000 },
  async () => {
    await board.byTestId('side').selectOption('black');
    await board.waitForMoves(1);
    assert.equal(await board.orientation(), 'black');
    const start = new Chess();
    const opening = nativeBest(start.fen());
    assert.deepEqual(await board.moves(), [opening.bestmove]);
    assert.equal((await board.thinking()).fen, start.fen());
    const game = new Chess();
    game.move({ from: opening.bestmove.slice(0, 2), to: opening.bestmove.slice(2, 4) });
    assert.match((await board.status()).text, /^Black to move/);
    for (let turn = 0; turn < 2; turn += 1) await playAndCheck(game, await userChoice(game));

    await board.byTestId('flip').click();
    assert.equal(await board.orientation(), 'white');
    await board.byTestId('flip').click();
    assert.equal(await board.orientation(), 'black');

    // A new game keeps the side: the engine opens again, the same way, from a fresh state,
    // without reloading the page.
    await page.evaluate(() => (window.sameDocument = true));
    await board.byTestId('new-game').click();
    await board.waitForMoves(1);
    assert.deepEqual(await board.moves(), [opening.bestmove]);
    assert.equal(await board.byTestId('side').inputValue(), 'black');
    assert.equal(await page.evaluate(() => window.sameDocument), true);
    assert.equal(
      await board.byTestId('undo').isDisabled(),
      true,
      'nothing of the user to take back',
    );

    await board.byTestId('side').selectOption('white');
    await board.waitForMoves(0);
    assert.equal(await board.orientation(), 'white');
    assert.equal(await board.fen(), start.fen());
  },
);

test('a FEN that cannot be played is refused and the game stays', { timeout: 120000 }, async () => {
  const fen = await board.fen();
  for (const bad of ['not a position', '4k3/8/8/8/8/8/4R3/4K3 w - - 0 1']) {
    await board.byTestId('fen-input').fill(bad);
    await board.byTestId('set-fen').click();
    await board.byTestId('setup-error').waitFor({ state: 'visible' });
    assert.equal(await board.fen(), fen);
  }
});

test(
  'a phone-sized screen: the page fits its width and the board still takes clicks',
  { timeout: 120000 },
  async () => {
    await page.setViewportSize({ width: 390, height: 844 });
    try {
      await board.byTestId('new-game').click();
      await board.waitForMoves(0);
      const fit = await page.evaluate(() => ({
        page: document.documentElement.scrollWidth,
        board: document.querySelector('[data-testid="board"]').getBoundingClientRect().width,
      }));
      assert.ok(fit.page <= 390, `the page is ${fit.page} px wide`);
      assert.ok(fit.board >= 300 && fit.board <= 390, `the board is ${fit.board} px wide`);
      await playAndCheck(new Chess(), 'e2e4');
    } finally {
      await page.setViewportSize({ width: 1200, height: 800 });
    }
  },
);

test(
  'offline once loaded; no console errors; nothing fetched from elsewhere',
  { timeout: 120000 },
  async () => {
    // The service worker takes the page over once it has stored the site.
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, null, {
      timeout: 30000,
    });
    await page.context().setOffline(true);
    await page.reload();
    await board.waitForUser();
    const game = new Chess();
    await playAndCheck(game, 'd2d4');
    await page.context().setOffline(false);
    assert.deepEqual(consoleErrors, []);
    assert.deepEqual(foreignRequests, []);
  },
);
