// The site in a real browser, used as a person would: whole games played by clicking squares on
// the served page, every engine reply checked against the native engine on the same position.
// Needs the built site (scripts/web.sh) and build/release/quenlor-tool.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { after, before, test } from 'node:test';
import { BoardPage, Chess, launchBrowser, serveSite } from './support.mjs';
import { nativeBest, nativeUciMove, toolFen } from './support.mjs';

let server;
let browser;
let page;
let board;
const consoleErrors = [];
const foreignRequests = [];
const dialogs = []; // the questions the page asked, each answered yes

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
  // Counts the sounds started, for the sound checks.
  await context.addInitScript(() => {
    window.soundStarts = 0;
    const start = AudioScheduledSourceNode.prototype.start;
    AudioScheduledSourceNode.prototype.start = function (...args) {
      window.soundStarts += 1;
      return start.apply(this, args);
    };
  });
  page = context.pages()[0] ?? (await context.newPage());
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.message());
    dialog.accept();
  });
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
  if (chess.isInsufficientMaterial()) return { reason: 'insufficient material', result: '1/2-1/2' };
  if (chess.isThreefoldRepetition()) return { reason: 'threefold repetition', result: '1/2-1/2' };
  return { reason: 'fifty-move rule', result: '1/2-1/2' };
}

// Plays the user's move on the page; then, unless that ended the game, checks that the reply
// the page shows is the native engine's move, with the same root list, for the FEN the engine
// was given (the page's position with the en-passant square after a double step), at `level`.
async function playAndCheck(game, uci, options = {}) {
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
  const native = nativeBest(engineFen, options.level);
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
  const dialog = board.byTestId('result');
  await dialog.waitFor({ state: 'visible' });
  assert.deepEqual(
    await dialog.evaluate((node) => ({ reason: node.dataset.reason, result: node.dataset.result })),
    expectedEnd(game),
  );
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
    await board.byTestId('raw').evaluate((details) => (details.open = true));
    await board.byTestId('copy-pgn').click();
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), pgn);
  },
);

test(
  'a set-up position played to mate: castling by the king, a promotion chosen',
  { timeout: 120000 },
  async () => {
    const fen = '4k3/1P6/8/8/8/8/8/4K2R w K - 0 1';
    await board.setUp(fen);
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
    // While the chooser was open the pawn stood on its promotion square.
    assert.deepEqual(board.whilePromoting, { from: 'empty', to: 'white pawn' });
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
    // A change of side keeps the set-up position; a new game starts from the usual one.
    await board.byTestId('side').selectOption('black');
    await board.waitForMoves(1);
    assert.equal((await board.thinking()).fen, '4k3/1P6/8/8/8/8/8/4K2R w K - 0 1');
    await board.byTestId('new-game').click();
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
    dialogs.length = 0;
    await board.byTestId('new-game').click();
    assert.deepEqual(dialogs, ['Discard the game in progress?']);
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
  const bad = [
    ['not a position', /.+/],
    ['4k3/8/8/8/8/8/4R3/4K3 w - - 0 1', /in check/],
    ['k7/1Q6/1K6/8/8/8/8/8 b - - 0 1', /over already \(checkmate\)/],
    ['k7/8/1QK5/8/8/8/8/8 b - - 0 1', /over already \(stalemate\)/],
  ];
  for (const [position, reason] of bad) {
    await board.setUp(position);
    await board.byTestId('setup-error').waitFor({ state: 'visible' });
    assert.match(await board.byTestId('setup-error').textContent(), reason);
    assert.equal(await board.fen(), fen);
  }
});

// The engine's reply at a level is the native one at that level; with variety on it is one of
// the moves within the margin of the best, the native engine's with the seed the PGN records.
// The choices are kept across visits.
test('levels and variety, kept across visits', { timeout: 120000 }, async () => {
  await board.byTestId('new-game').click();
  await board.byTestId('level').selectOption('2');
  await board.waitForMoves(0);
  const game = new Chess();
  for (let turn = 0; turn < 3; turn += 1) {
    await playAndCheck(game, await userChoice(game), { level: 2 });
  }
  assert.match(await board.byTestId('pgn').inputValue(), /\[Level "2"\]/);
  assert.doesNotMatch(await board.byTestId('pgn').inputValue(), /VarietySeed/);

  await board.byTestId('vary').check();
  await board.byTestId('new-game').click();
  await board.waitForMoves(0);
  await board.playMove('e2e4');
  await board.waitForMoves(2);
  const shown = await board.thinking();
  const native = nativeBest(shown.fen, 2);
  assert.deepEqual(shown.root, native.root, 'the same root list with variety');
  const chosen = shown.root.find((entry) => entry.uci === shown.bestmove);
  assert.ok(chosen && chosen.score >= native.root[0].score - 20, `${shown.bestmove} is close`);
  const pgn = await board.byTestId('pgn').inputValue();
  assert.match(pgn, /\[Level "2"\]/);
  const seed = pgn.match(/\[VarietySeed "(\d+)"\]/)[1];
  const options = { 'Skill Level': 2, Variety: true, 'Variety Seed': seed };
  assert.equal(nativeUciMove(shown.fen, options), shown.bestmove, `replayed with seed ${seed}`);

  await page.reload();
  await board.waitForUser();
  assert.equal(await board.byTestId('level').inputValue(), '2');
  assert.equal(await board.byTestId('vary').isChecked(), true);
  await board.byTestId('vary').uncheck();
  await board.byTestId('level').selectOption('4');
  await board.waitForMoves(0);
  assert.match(await board.byTestId('pgn').inputValue(), /\[Level "4"\]/);
});

// All eleven levels; a game at level 7; at level 11 a take-back and a new game during a search
// replace the busy worker at once instead of waiting for it, and the fresh engine plays on.
test('strong levels; take-back and new game during a search', { timeout: 120000 }, async () => {
  const names = await board.byTestId('level').locator('option').allTextContents();
  assert.equal(names.length, 11);
  assert.match(names[10], /^11 · full strength · about \d+ Elo$/);
  await board.byTestId('level').selectOption('7');
  await board.waitForMoves(0);
  const game = new Chess();
  for (let turn = 0; turn < 4; turn += 1) {
    await playAndCheck(game, await userChoice(game), { level: 7 });
    assert.ok((await board.thinking()).pv.length > 0, 'the line it expected is shown');
  }
  await board.byTestId('level').selectOption('11');
  await board.byTestId('new-game').click();
  await board.waitForMoves(0);
  let workers = 0; // the engine workers the page started
  page.on('worker', () => (workers += 1));
  for (const [button, typed] of [
    ['undo', 'e4'],
    ['new-game', 'Nf3'],
  ]) {
    const before = workers;
    const start = Date.now();
    const searching = await page.evaluate(
      async ([id, move]) => {
        document.querySelector('[data-testid="move-input"]').value = move;
        document.querySelector('[data-testid="move-form"]').requestSubmit();
        await new Promise((resolve) => setTimeout(resolve, 30));
        const { state } = document.querySelector('[data-testid="status"]').dataset;
        document.querySelector(`[data-testid="${id}"]`).click();
        return state === 'thinking';
      },
      [button, typed],
    );
    await board.waitForMoves(0);
    assert.ok(
      searching && Date.now() - start < 500,
      `${button}, searching ${searching}: ${Date.now() - start} ms`,
    );
    await playAndCheck(new Chess(), 'd2d4', { level: 11 });
    assert.equal(workers, before + 1, 'a fresh worker');
  }
  await board.byTestId('level').selectOption('4');
  await board.byTestId('new-game').click();
  await board.waitForMoves(0);
});

test(
  'typed moves, review by keys and clicks, sounds, resignation and the result',
  { timeout: 120000 },
  async () => {
    const sounds = () => page.evaluate(() => window.soundStarts);
    const game = new Chess();
    let heard = await sounds();
    for (const [typed, uci] of Object.entries({ e4: 'e2e4', zz9: null, g1f3: 'g1f3' })) {
      await board.typeMove(typed);
      if (!uci) {
        await board.byTestId('move-error').waitFor({ state: 'visible' });
        assert.equal((await board.moves()).length, game.history().length);
        continue;
      }
      game.move({ from: uci.slice(0, 2), to: uci.slice(2, 4) });
      await board.waitForMoves(game.history().length + 1);
      const reply = (await board.moves()).at(-1);
      assert.equal(reply, nativeBest(toolFen(game.fen(), lastMove(game))).bestmove);
      game.move({ from: reply.slice(0, 2), to: reply.slice(2, 4), promotion: reply[4] });
      assert.equal(await board.fen(), game.fen());
      assert.ok((await sounds()) >= heard + 2, 'a sound for each move');
      heard = await sounds();
    }
    await board.byTestId('mute').check();
    await playAndCheck(game, await userChoice(game));
    assert.equal(await sounds(), heard, 'muted');
    await board.byTestId('mute').uncheck();

    // Review: each key shows a position read-only; the way back is the live game.
    const fens = [new Chess().fen(), ...game.history({ verbose: true }).map((m) => m.after)];
    const next = nativeBest(toolFen(game.fen(), lastMove(game))).bestmove;
    await board.byTestId('move-input').blur();
    const plies = [0, 1, 2, 1];
    for (const [i, key] of ['Home', 'ArrowRight', 'ArrowRight', 'ArrowLeft'].entries()) {
      await page.keyboard.press(key);
      assert.equal(await board.fen(), fens[plies[i]], `${key} shows move ${plies[i]}`);
    }
    assert.equal(await board.square('e4'), 'white pawn');
    await board.playMove(next);
    assert.equal((await board.moves()).length, 6, 'no move while reviewing');
    await board.byTestId('moves').locator('[data-ply="3"]').click();
    assert.equal(await board.fen(), fens[4]);
    await board.byTestId('review-live').click();
    assert.equal(await board.fen(), game.fen());
    await page.keyboard.press('ArrowLeft');
    await page.keyboard.press('End');
    assert.equal(await board.byTestId('review').isHidden(), true);

    heard = await sounds();
    await board.byTestId('resign').click();
    const result = board.byTestId('result');
    await result.waitFor({ state: 'visible' });
    assert.equal(await result.getAttribute('data-result'), '0-1');
    assert.equal(await result.getAttribute('data-reason'), 'resignation');
    assert.ok((await sounds()) > heard, 'a sound at the end');
    const pgn = await board.byTestId('pgn').inputValue();
    assert.match(pgn, /\[Result "0-1"\]/);
    const download = await board.byTestId('result-download').getAttribute('href');
    assert.equal(decodeURIComponent(download.split(',')[1]), pgn);
    await board.byTestId('result-review').click();
    assert.equal(await board.fen(), fens[0]);
    await board.byTestId('result-new').evaluate((button) => button.click());
    await board.waitForMoves(0);
  },
);

test('screens from phone to desktop: the board fills them', { timeout: 120000 }, async () => {
  // width×height:the least board size
  for (const screen of ['390x844:370', '844x390:340', '768x1024:740', '1200x800:740']) {
    const [width, height, least] = screen.split(/[x:]/).map(Number);
    await page.setViewportSize({ width, height });
    await page.evaluate(() => window.scrollTo(0, 0));
    await board.nextFrame();
    const box = await board.byTestId('board').boundingBox();
    const wide = await page.evaluate(() => document.documentElement.scrollWidth);
    assert.ok(wide <= width, `${screen}: the page is ${wide} px wide`);
    assert.ok(box.width >= least && box.y + box.height <= height, `${screen}: ${box.width} px`);
    // Scrolled to the end, the board never covers the status line.
    await page.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
    await board.nextFrame();
    const [shown, status] = await Promise.all(
      ['board', 'status'].map((id) => board.byTestId(id).boundingBox()),
    );
    const covered =
      shown.y + shown.height > status.y &&
      status.y + status.height > shown.y &&
      shown.x + shown.width > status.x &&
      status.x + status.width > shown.x;
    assert.ok(!covered, `${screen}: the board covers the status line`);
  }
  await page.setViewportSize({ width: 390, height: 844 });
  try {
    await board.byTestId('new-game').click();
    await board.waitForMoves(0);
    await playAndCheck(new Chess(), 'e2e4');
  } finally {
    await page.setViewportSize({ width: 1200, height: 800 });
  }
});

// axe-core's check of the page, as served, in a game: the serious and critical findings.
async function accessibilityProblems() {
  if (!(await page.evaluate(() => 'axe' in window))) {
    const axe = new URL('../../web/node_modules/axe-core/axe.min.js', import.meta.url);
    await page.evaluate(readFileSync(axe, 'utf8'));
  }
  const { violations, passes } = await page.evaluate(() => window.axe.run(document));
  assert.ok(passes.length > 20, 'axe checked the page');
  return violations
    .filter((v) => ['serious', 'critical'].includes(v.impact))
    .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
}

test('themes: dark as the system asks, the switch, axe-core', { timeout: 120000 }, async () => {
  const background = () => page.evaluate(() => getComputedStyle(document.body).backgroundColor);
  await page.emulateMedia({ colorScheme: 'dark' });
  try {
    await page.reload();
    await board.waitForUser();
    assert.equal(await page.evaluate(() => document.documentElement.dataset.theme), 'dark');
    const dark = await background();
    await board.byTestId('intro').waitFor({ state: 'visible' });
    await board.byTestId('raw').evaluate((details) => (details.open = true));
    await playAndCheck(new Chess(), 'd2d4');
    assert.deepEqual(await accessibilityProblems(), [], 'dark theme');
    await board.byTestId('theme').click();
    assert.notEqual(await background(), dark);
    assert.equal(await board.byTestId('theme').getAttribute('aria-pressed'), 'false');
    assert.deepEqual(await accessibilityProblems(), [], 'light theme');
    await board.byTestId('intro-close').click();
    await page.reload();
    await board.waitForUser();
    assert.equal(await page.evaluate(() => document.documentElement.dataset.theme), 'light');
    assert.equal(await board.byTestId('intro').isHidden(), true);
  } finally {
    await page.emulateMedia({ colorScheme: 'light' });
  }
});

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
