#!/usr/bin/env node
// Plays matches between UCI engines and measures their strength: a two-engine match or a
// gauntlet, from a suite of openings each played twice with colours swapped, with the runner
// keeping the clocks, judging the rules with chess.js and adjudicating decided or dead games.
// Writes PGN and JSON, prints each pairing's Elo difference, fits every player's rating jointly
// (with some players anchored), refits saved runs with --fit, and stops early on an SPRT.
// `node scripts/match/uci-match.mjs --help` explains the options.

import { spawn } from 'node:child_process';
import { appendFileSync, readFileSync, writeFileSync } from 'node:fs';
import { hostname } from 'node:os';
import { dirname, join } from 'node:path';
import { performance } from 'node:perf_hooks';
import { createInterface } from 'node:readline';
import { fileURLToPath, pathToFileURL } from 'node:url';
import * as stats from './elo.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const chessJs = join(here, '../../web/node_modules/chess.js/dist/esm/chess.js');
let Chess;

const HELP = `Usage:
  uci-match.mjs [options] --engine KEY=VALUE... --engine KEY=VALUE...
  uci-match.mjs [options] --config engines.json [--gauntlet]
  uci-match.mjs --fit RESULTS.json... [--anchor NAME=ELO]... [--json FILE]

Engines (at least two; names must differ):
  --engine KEY=VALUE...   one engine, from the words that follow up to the next option:
                          name=NAME cmd="PROGRAM ARGS" dir=DIR option.NAME=VALUE
                          tc=BASE+INC | tc=MOVES/SECONDS nodes=N depth=N movetime=MS
  --each KEY=VALUE...     settings for every engine that does not give its own
  --config FILE.json      an array of engines: {"name", "cmd" (string or argv array),
                          "dir", "options" {NAME: VALUE}, "tc", "nodes", "depth", "movetime"}
  Each engine needs a limit. tc "10+0.1" is 10 s and 0.1 s a move; "40/60" is 60 s for every
  40 moves. The limits may be combined: nodes=20000 tc=10+0.1 sends both.

Match:
  --gauntlet              the first engine plays each of the others (default: exactly two engines)
  --games N               games per pairing (default 2)
  --concurrency K         games played at once, each by its own engine processes (default 1)
  --openings FILE         one opening a line: UCI moves from the start, or a FEN; "; name" may
                          follow (default: openings.txt beside this script; "none": start position)
  --seed N                shuffle the openings with this seed (default: the file's order)
  --margin MS             time an engine may overrun its clock or movetime (default 50)
  --stall MS              wait this long past the limit for a bestmove before calling the
                          engine hung (default 10000); also the handshake's time limit
  --resign-cp CP          adjudicate a win when both engines' scores give one side CP or more
  --resign-moves N        for N moves in a row each (defaults 1000 and 4; 0 turns it off)
  --draw-after N          adjudicate a draw after move N when both engines' scores stay
  --draw-cp CP            within CP of 0 for N moves in a row each
  --draw-moves N          (defaults 40, 10 and 8; 0 turns it off)
  --max-moves N           a draw after N moves (default 200)
  --sprt ELO0,ELO1[,ALPHA,BETA]
                          two engines: stop once the SPRT accepts that the first is ELO0 (H0)
                          or ELO1 (H1) stronger (alpha and beta default to 0.05)

Results:
  --pgn FILE              the games, written as they finish
  --json FILE             the games, pairings, faults and ratings
  --event TEXT, --site TEXT  the PGN's Event and Site tags
  --anchor NAME=ELO       fix a player's rating (repeatable); the others are fitted jointly by
                          maximum likelihood over all games (without anchors the first is 0)
  --fit FILE.json...      play nothing: fit the games of earlier --json files together
  --allow-faults          exit 0 even when an engine broke down

A fault (illegal move, crash or exit, no bestmove within the limit and --stall, or a flag fall)
loses the game for that engine, which is restarted; a flag fall against a side that cannot mate
is a draw. Exit status: 0 when the match finished, 1 when any engine had a fault (unless
--allow-faults), 2 for a bad command line or an engine that cannot start, 130 when interrupted.
`;

class UsageError extends Error {}

// --- Command line -------------------------------------------------------------------------

// Splits a command string into words: blanks separate, quotes and backslashes group.
function splitCommand(text) {
  const words = [];
  let word = null;
  let quote = null;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (quote) {
      if (c === quote) quote = null;
      else word += c === '\\' && quote === '"' && i + 1 < text.length ? text[++i] : c;
    } else if (/\s/.test(c)) {
      if (word !== null) words.push(word);
      word = null;
    } else if (c === '"' || c === "'") {
      quote = c;
      word ??= '';
    } else {
      word = (word ?? '') + (c === '\\' && i + 1 < text.length ? text[++i] : c);
    }
  }
  if (quote) throw new UsageError(`unbalanced quote in command: ${text}`);
  if (word !== null) words.push(word);
  return words;
}

function number(text, what, { min = 0, integer = true } = {}) {
  const n = Number(text);
  if (text === '' || !Number.isFinite(n) || n < min || (integer && !Number.isInteger(n))) {
    throw new UsageError(
      `${what}: expected ${integer ? 'an integer' : 'a number'} >= ${min}, got "${text}"`,
    );
  }
  return n;
}

// "10+0.1" (seconds and increment), "40/60" (seconds for every 40 moves), "60", "40/60+1".
function parseTc(text) {
  const m = /^(?:(\d+)\/)?(\d+(?:\.\d+)?)(?:\+(\d+(?:\.\d+)?))?$/.exec(String(text));
  if (!m) throw new UsageError(`time control "${text}": expected BASE+INC or MOVES/SECONDS`);
  const tc = {
    moves: m[1] ? Number(m[1]) : 0,
    base: Number(m[2]) * 1000,
    inc: m[3] ? Number(m[3]) * 1000 : 0,
  };
  if (tc.base <= 0) throw new UsageError(`time control "${text}": no time`);
  tc.text = `${tc.moves ? `${tc.moves}/` : ''}${tc.base / 1000}${tc.inc ? `+${tc.inc / 1000}` : ''}`;
  return tc;
}

// An engine from KEY=VALUE words or a JSON object, on top of the --each settings.
function engineFrom(entries, each, where) {
  const e = { options: {}, ...each, options: { ...each.options } };
  for (const [key, value] of entries) {
    if (key.startsWith('option.')) e.options[key.slice(7)] = value;
    else if (key === 'options') Object.assign(e.options, value);
    else if (['name', 'cmd', 'dir', 'tc', 'nodes', 'depth', 'movetime'].includes(key))
      e[key] = value;
    else throw new UsageError(`${where}: unknown engine setting "${key}"`);
  }
  if (!e.cmd) throw new UsageError(`${where}: no cmd`);
  const argv = Array.isArray(e.cmd) ? e.cmd.map(String) : splitCommand(String(e.cmd));
  if (argv.length === 0) throw new UsageError(`${where}: empty cmd`);
  const limit = {};
  if (e.tc !== undefined) limit.tc = parseTc(e.tc);
  for (const key of ['nodes', 'depth', 'movetime']) {
    if (e[key] !== undefined) limit[key] = number(String(e[key]), `${where}: ${key}`, { min: 1 });
  }
  if (Object.keys(limit).length === 0)
    throw new UsageError(`${where}: no limit (tc, nodes, depth or movetime)`);
  const options = Object.entries(e.options).map(([name, value]) => [name, String(value)]);
  return { name: String(e.name ?? argv[0].split('/').pop()), argv, dir: e.dir, options, limit };
}

function pairsOf(words, where) {
  return words.map((w) => {
    const at = w.indexOf('=');
    if (at <= 0) throw new UsageError(`${where}: expected KEY=VALUE, got "${w}"`);
    return [w.slice(0, at), w.slice(at + 1)];
  });
}

function parseArgs(argv) {
  const o = {
    engineArgs: [],
    configs: [],
    each: {},
    gauntlet: false,
    games: 2,
    concurrency: 1,
    openings: join(here, 'openings.txt'),
    seed: null,
    margin: 50,
    stall: 10000,
    resignCp: 1000,
    resignMoves: 4,
    drawAfter: 40,
    drawCp: 10,
    drawMoves: 8,
    maxMoves: 200,
    sprt: null,
    pgn: null,
    json: null,
    event: 'UCI match',
    site: hostname(),
    anchors: new Map(),
    fit: null,
    allowFaults: false,
    help: false,
  };
  const integers = {
    '--games': ['games', 1],
    '--concurrency': ['concurrency', 1],
    '--margin': ['margin', 0],
    '--stall': ['stall', 1],
    '--resign-cp': ['resignCp', 1],
    '--resign-moves': ['resignMoves', 0],
    '--draw-after': ['drawAfter', 0],
    '--draw-cp': ['drawCp', 0],
    '--draw-moves': ['drawMoves', 0],
    '--max-moves': ['maxMoves', 1],
    '--seed': ['seed', 0],
  };
  const strings = {
    '--openings': 'openings',
    '--pgn': 'pgn',
    '--json': 'json',
    '--event': 'event',
    '--site': 'site',
  };
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new UsageError(`${arg} needs a value`);
      return argv[++i];
    };
    const words = () => {
      const list = [];
      while (i + 1 < argv.length && !argv[i + 1].startsWith('--')) list.push(argv[++i]);
      return list;
    };
    if (arg === '--help' || arg === '-h') o.help = true;
    else if (arg in integers) o[integers[arg][0]] = number(value(), arg, { min: integers[arg][1] });
    else if (arg in strings) o[strings[arg]] = value();
    else if (arg === '--engine') o.engineArgs.push(words());
    else if (arg === '--each') {
      const raw = eachFrom(words());
      o.each = { ...o.each, ...raw, options: { ...o.each.options, ...raw.options } };
    } else if (arg === '--config') o.configs.push(value());
    else if (arg === '--gauntlet') o.gauntlet = true;
    else if (arg === '--allow-faults') o.allowFaults = true;
    else if (arg === '--fit') o.fit = words();
    else if (arg === '--anchor') {
      const m = /^(.+)=(-?\d+(?:\.\d+)?)$/.exec(value());
      if (!m) throw new UsageError(`--anchor: expected NAME=ELO`);
      o.anchors.set(m[1], Number(m[2]));
    } else if (arg === '--sprt') {
      const p = value().split(',').map(Number);
      if (p.length < 2 || p.length > 4 || p.some((x) => !Number.isFinite(x)) || p[0] >= p[1]) {
        throw new UsageError('--sprt: expected ELO0,ELO1[,ALPHA,BETA] with ELO0 < ELO1');
      }
      const [elo0, elo1, alpha = 0.05, beta = 0.05] = p;
      if (!(alpha > 0 && alpha < 0.5 && beta > 0 && beta < 0.5))
        throw new UsageError('--sprt: alpha and beta in (0, 0.5)');
      o.sprt = { elo0, elo1, alpha, beta, ...stats.sprtBounds(alpha, beta) };
    } else throw new UsageError(`unknown option ${arg}`);
  }
  return o;
}

// --each takes the same words as --engine; only the settings it names are kept.
function eachFrom(words) {
  const raw = {};
  for (const [key, value] of pairsOf(words, '--each')) {
    if (key.startsWith('option.')) (raw.options ??= {})[key.slice(7)] = value;
    else if (['cmd', 'dir', 'tc', 'nodes', 'depth', 'movetime'].includes(key)) raw[key] = value;
    else throw new UsageError(`--each: unknown setting "${key}"`);
  }
  return raw;
}

function loadEngines(o) {
  const engines = [];
  for (const file of o.configs) {
    let list;
    try {
      list = JSON.parse(readFileSync(file, 'utf8'));
    } catch (err) {
      throw new UsageError(`--config ${file}: ${err.message}`);
    }
    if (!Array.isArray(list)) list = list?.engines;
    if (!Array.isArray(list))
      throw new UsageError(`--config ${file}: expected an array of engines`);
    list.forEach((e, i) =>
      engines.push(engineFrom(Object.entries(e), o.each, `${file}: engine ${i + 1}`)),
    );
  }
  o.engineArgs.forEach((words, i) =>
    engines.push(engineFrom(pairsOf(words, '--engine'), o.each, `--engine ${i + 1}`)),
  );
  const names = new Set();
  for (const e of engines) {
    if (names.has(e.name)) throw new UsageError(`two engines named "${e.name}": give each a name=`);
    names.add(e.name);
  }
  if (engines.length < 2) throw new UsageError('at least two engines are needed');
  if (!o.gauntlet && engines.length !== 2)
    throw new UsageError('a match takes two engines; --gauntlet plays more');
  if (o.sprt && engines.length !== 2) throw new UsageError('--sprt needs exactly two engines');
  return engines;
}

// --- Openings -----------------------------------------------------------------------------

function parseUciMove(text) {
  const m = /^([a-h][1-8])([a-h][1-8])([qrbn])?$/.exec(text);
  return m && { from: m[1], to: m[2], promotion: m[3] };
}

// Plays a UCI move on the board; returns chess.js's move, or null when it is not legal.
function playUci(board, text) {
  const move = parseUciMove(text);
  if (!move) return null;
  try {
    const played = board.move(move);
    if (played.lan === text) return played;
    board.undo(); // a promotion letter on a move that promotes nothing
  } catch {
    // chess.js throws on an illegal move
  }
  return null;
}

function loadOpenings(file) {
  if (file === 'none') return [{ fen: null, moves: [], name: 'start position' }];
  let text;
  try {
    text = readFileSync(file, 'utf8');
  } catch (err) {
    throw new UsageError(`--openings: ${err.message}`);
  }
  const openings = [];
  text.split('\n').forEach((raw, i) => {
    const line = raw.trim();
    if (line === '' || line.startsWith('#')) return;
    const [body, name] = line.split(';').map((s) => s.trim());
    const where = `${file}:${i + 1}`;
    if (body.includes('/')) {
      try {
        new Chess(body);
      } catch (err) {
        throw new UsageError(`${where}: ${err.message}`);
      }
      openings.push({ fen: body, moves: [], name: name || body });
    } else {
      const moves = body.split(/\s+/);
      const board = new Chess();
      for (const m of moves)
        if (!playUci(board, m)) throw new UsageError(`${where}: illegal move ${m}`);
      openings.push({ fen: null, moves, name: name || body });
    }
  });
  if (openings.length === 0) throw new UsageError(`--openings ${file}: no openings`);
  return openings;
}

function shuffle(list, seed) {
  // mulberry32: a small seeded generator, so that a seed gives the same order everywhere.
  let s = seed >>> 0;
  const random = () => {
    s = (s + 0x6d2b79f5) >>> 0;
    let t = Math.imul(s ^ (s >>> 15), 1 | s);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  const out = [...list];
  for (let i = out.length - 1; i > 0; i--) {
    const j = Math.floor(random() * (i + 1));
    [out[i], out[j]] = [out[j], out[i]];
  }
  return out;
}

// --- Engine processes ---------------------------------------------------------------------

class Fault {
  constructor(kind, detail) {
    this.kind = kind; // 'illegal', 'crash', 'hang' or 'time'
    this.detail = detail;
  }
}

class EngineProcess {
  constructor(def) {
    this.def = def;
    this.child = null;
  }

  get alive() {
    return this.child !== null && !this.closed;
  }

  start() {
    this.queue = [];
    this.waiter = null;
    this.closed = null;
    this.stderr = [];
    const child = spawn(this.def.argv[0], this.def.argv.slice(1), {
      cwd: this.def.dir,
      stdio: 'pipe',
    });
    this.child = child;
    // Events of a process killed earlier are ignored: this one may already replace it.
    const mine =
      (f) =>
      (...args) =>
        this.child === child && f(...args);
    createInterface({ input: child.stdout }).on(
      'line',
      mine((text) => this.arrive({ text, at: performance.now() })),
    );
    createInterface({ input: child.stderr }).on(
      'line',
      mine((text) => this.stderr.push(text) > 5 && this.stderr.shift()),
    );
    child.stdin.on('error', () => {}); // a write after the engine has gone; 'close' reports that
    child.on(
      'error',
      mine((err) => this.close(`could not run ${this.def.argv[0]}: ${err.message}`)),
    );
    child.on(
      'close',
      mine((code, signal) =>
        this.close(signal ? `killed by ${signal}` : `exited with status ${code}`),
      ),
    );
  }

  arrive(line) {
    if (this.waiter) this.waiter(line);
    else this.queue.push(line);
  }

  close(how) {
    if (this.closed) return;
    const tail = this.stderr.length ? ` (stderr: ${this.stderr.join(' | ')})` : '';
    this.closed = how + tail;
    if (this.waiter) this.waiter({ closed: this.closed });
  }

  send(line) {
    if (this.alive) this.child.stdin.write(line + '\n');
  }

  // The next line, {timeout} once `deadline` (a performance.now() time) passes, or {closed}.
  next(deadline) {
    if (this.queue.length) return Promise.resolve(this.queue.shift());
    if (this.closed) return Promise.resolve({ closed: this.closed });
    return new Promise((resolve) => {
      const timer = setTimeout(
        () => finish({ timeout: true }),
        Math.max(0, deadline - performance.now()),
      );
      const finish = (result) => {
        clearTimeout(timer);
        this.waiter = null;
        resolve(result);
      };
      this.waiter = finish;
    });
  }

  // Reads lines until one starts with `word`; a fault when the engine exits or the time passes.
  async expect(word, ms, during) {
    const deadline = performance.now() + ms;
    for (;;) {
      const r = await this.next(deadline);
      if (r.closed) return new Fault('crash', `${r.closed} ${during}`);
      if (r.timeout) return new Fault('hang', `no "${word}" within ${ms} ms ${during}`);
      if (r.text.split(/\s+/)[0] === word) return r;
      if (word === 'uciok') this.handshakeLine(r.text);
    }
  }

  handshakeLine(text) {
    const id = /^id name (.*)$/.exec(text);
    if (id) this.id = id[1].trim();
    const option = /^option name (.*?) type /.exec(text);
    if (option) this.known.add(option[1].toLowerCase());
  }

  // Starts the process if it is not running (greeting it and setting its options), then readies
  // it for a new game. Returns a Fault or null.
  async prepare(stall) {
    if (!this.alive) {
      this.start();
      this.known = new Set();
      this.send('uci');
      const r = await this.expect('uciok', stall, 'after "uci"');
      if (r instanceof Fault) return r;
      for (const [name, value] of this.def.options)
        this.send(`setoption name ${name} value ${value}`);
    }
    this.send('ucinewgame');
    this.send('isready');
    const r = await this.expect('readyok', stall, 'after "isready"');
    return r instanceof Fault ? r : null;
  }

  async quit() {
    if (!this.alive) return;
    this.send('quit');
    const deadline = performance.now() + 1000;
    while (this.alive && !(await this.next(deadline)).timeout);
    this.kill();
  }

  // Kills the process at once; the next prepare() starts a new one.
  kill() {
    if (!this.child) return;
    if (!this.closed) this.child.kill('SIGKILL');
    this.close('killed by the runner');
    this.child = null;
  }
}

// --- One game -----------------------------------------------------------------------------

// Whether `colour` could still mate with what it has. Bare kings, a lone minor piece against a
// bare king, and bishops all on one colour against a king with at most bishops on that same
// colour cannot; everything else is taken to be able to (a flag fall against it loses).
function canMate(board, colour) {
  const own = [];
  const theirs = [];
  board.board().forEach((row, r) =>
    row.forEach((p, f) => {
      if (p && p.type !== 'k')
        (p.color === colour ? own : theirs).push({ type: p.type, shade: (r + f) % 2 });
    }),
  );
  if (own.length === 0) return false;
  if (own.some((p) => 'pqr'.includes(p.type))) return true;
  if (own.length === 1 && theirs.length === 0) return false;
  const shades = new Set([...own, ...theirs].map((p) => (p.type === 'b' ? p.shade : 'other')));
  return !(shades.size === 1 && !shades.has('other'));
}

function parseInfo(text) {
  const t = text.trim().split(/\s+/);
  const at = (word) => t.indexOf(word);
  const s = at('score');
  if (t[1] === 'string' || s < 0 || s + 2 >= t.length) return null;
  if (at('multipv') >= 0 && t[at('multipv') + 1] !== '1') return null;
  const value = Number(t[s + 2]);
  if (!Number.isFinite(value) || (t[s + 1] !== 'cp' && t[s + 1] !== 'mate')) return null;
  const depth = at('depth') >= 0 ? Number(t[at('depth') + 1]) : null;
  return { mate: t[s + 1] === 'mate', value, depth };
}

// The score in centipawns from White's side; a mate counts as 100000 less its distance.
function whiteCp(info, colour) {
  const cp = info.mate ? Math.sign(info.value || -1) * (100000 - Math.abs(info.value)) : info.value;
  return colour === 'w' ? cp : -cp;
}

// "{+0.34/12 0.5s}": the engine's own score, depth and the time it took.
function moveComment(info, ms) {
  const time = `${Math.round(ms) / 1000}s`;
  if (!info) return time;
  const score = info.mate
    ? `${info.value > 0 ? '+' : '-'}M${Math.abs(info.value)}`
    : `${info.value >= 0 ? '+' : ''}${(info.value / 100).toFixed(2)}`;
  return `${score}${info.depth !== null ? `/${info.depth}` : ''} ${time}`;
}

const colourName = (c) => (c === 'w' ? 'White' : 'Black');

// Plays one game between two prepared engine processes; returns its record. Engines with a fault
// are left for the caller to restart.
async function playGame(job, players, o) {
  const board = job.opening.fen ? new Chess(job.opening.fen) : new Chess();
  const startFen = job.opening.fen;
  const startColour = board.turn();
  const startNumber = board.moveNumber();
  const moves = [];
  const uciMoves = [];
  for (const m of job.opening.moves) {
    moves.push({ san: playUci(board, m).san, comment: 'book' });
    uciMoves.push(m);
  }
  const clock = {};
  const streak = {};
  for (const c of ['w', 'b']) {
    const tc = players[c].def.limit.tc;
    clock[c] = tc && { left: tc.base, played: 0 };
    streak[c] = { white: 0, black: 0, draw: 0 };
  }
  const end = (result, termination, reason, fault = null) => ({
    result,
    termination,
    reason,
    fault,
    moves,
    startFen,
    startColour,
    startNumber,
  });
  const win = (c) => (c === 'w' ? '1-0' : '0-1');
  const loseBy = (c, fault) => {
    fault.colour = c;
    const other = c === 'w' ? 'b' : 'w';
    if (fault.kind === 'time' && !canMate(board, other)) {
      return end(
        '1/2-1/2',
        'time forfeit',
        `${colourName(c)} (${players[c].def.name}) lost on time, but ${colourName(other)} cannot mate`,
        fault,
      );
    }
    const termination =
      { illegal: 'rules infraction', time: 'time forfeit' }[fault.kind] ?? 'abandoned';
    return end(
      win(other),
      termination,
      `${colourName(c)} (${players[c].def.name}): ${fault.detail}`,
      fault,
    );
  };

  for (const c of ['w', 'b']) {
    const fault = await players[c].prepare(o.stall);
    if (fault) return loseBy(c, fault);
  }

  for (;;) {
    const c = board.turn();
    const other = c === 'w' ? 'b' : 'w';
    if (board.isCheckmate()) return end(win(other), 'normal', `${colourName(other)} mates`);
    if (board.isStalemate()) return end('1/2-1/2', 'normal', 'stalemate');
    if (board.isInsufficientMaterial()) return end('1/2-1/2', 'normal', 'insufficient material');
    if (board.isThreefoldRepetition()) return end('1/2-1/2', 'normal', 'threefold repetition');
    if (board.isDrawByFiftyMoves()) return end('1/2-1/2', 'normal', 'fifty-move rule');
    if (moves.length >= 2 * o.maxMoves)
      return end('1/2-1/2', 'adjudication', `${o.maxMoves} moves played`);

    const engine = players[c];
    const { tc, nodes, depth, movetime } = engine.def.limit;
    const go = ['go'];
    let allowed = Infinity;
    if (tc) {
      const moveMs = (x) => Math.max(1, Math.round(x));
      go.push('wtime', moveMs(clock.w?.left ?? tc.base), 'btime', moveMs(clock.b?.left ?? tc.base));
      go.push('winc', tc.inc, 'binc', tc.inc);
      if (tc.moves) go.push('movestogo', tc.moves - (clock[c].played % tc.moves));
      allowed = clock[c].left + o.margin;
    }
    if (nodes) go.push('nodes', nodes);
    if (depth) go.push('depth', depth);
    if (movetime) {
      go.push('movetime', movetime);
      allowed = Math.min(allowed, movetime + o.margin);
    }
    const position = startFen ? `position fen ${startFen}` : 'position startpos';
    engine.send(uciMoves.length ? `${position} moves ${uciMoves.join(' ')}` : position);
    engine.send(go.join(' '));
    const sent = performance.now();
    const deadline = sent + (Number.isFinite(allowed) ? allowed : 0) + o.stall;

    let info = null;
    let answer;
    for (;;) {
      const r = await engine.next(deadline);
      if (r.closed) return loseBy(c, new Fault('crash', `${r.closed} while thinking`));
      if (r.timeout)
        return loseBy(c, new Fault('hang', `no bestmove within ${Math.round(deadline - sent)} ms`));
      const words = r.text.trim().split(/\s+/);
      if (words[0] === 'info') info = parseInfo(r.text) ?? info;
      if (words[0] === 'bestmove') {
        answer = { move: words[1] ?? '', ms: r.at - sent };
        break;
      }
    }
    if (answer.ms > allowed) {
      const over = Math.round(answer.ms - allowed + o.margin);
      return loseBy(c, new Fault('time', `lost on time: answered ${over} ms past its limit`));
    }
    const number = board.moveNumber();
    const played = playUci(board, answer.move);
    if (!played) return loseBy(c, new Fault('illegal', `illegal move ${answer.move}`));
    uciMoves.push(answer.move);
    moves.push({ san: played.san, comment: moveComment(info, answer.ms) });
    if (tc) {
      const k = clock[c];
      k.left += tc.inc - answer.ms;
      k.played++;
      if (tc.moves && k.played % tc.moves === 0) k.left += tc.base;
    }

    // Adjudication on the scores: each engine's streak of moves with a decisive or a level score.
    const cp = info ? whiteCp(info, c) : null;
    const s = streak[c];
    s.white = cp !== null && cp >= o.resignCp ? s.white + 1 : 0;
    s.black = cp !== null && cp <= -o.resignCp ? s.black + 1 : 0;
    s.draw =
      cp !== null && !info.mate && Math.abs(cp) <= o.drawCp && number > o.drawAfter
        ? s.draw + 1
        : 0;
    if (board.isGameOver()) continue;
    for (const side of ['white', 'black']) {
      if (o.resignMoves > 0 && streak.w[side] >= o.resignMoves && streak.b[side] >= o.resignMoves) {
        return end(
          side === 'white' ? '1-0' : '0-1',
          'adjudication',
          `both engines see ${side === 'white' ? 'White' : 'Black'} winning`,
        );
      }
    }
    if (o.drawMoves > 0 && streak.w.draw >= o.drawMoves && streak.b.draw >= o.drawMoves) {
      return end('1/2-1/2', 'adjudication', 'both engines see a level game');
    }
  }
}

// --- PGN ----------------------------------------------------------------------------------

function pgnOf(game, tags) {
  const quote = (v) => String(v).replace(/\\/g, '\\\\').replace(/"/g, '\\"');
  const head = Object.entries(tags).map(([k, v]) => `[${k} "${quote(v)}"]`);
  const tokens = [];
  let number = game.startNumber;
  let colour = game.startColour;
  let afterComment = true;
  game.moves.forEach((m, i) => {
    if (colour === 'w') tokens.push(`${number}.`);
    else if (afterComment) tokens.push(`${number}...`);
    tokens.push(m.san);
    // How the game ended goes into the last move's comment: some readers take only one comment
    // in a row.
    const comment =
      i === game.moves.length - 1 ? [m.comment, game.reason].filter(Boolean).join(', ') : m.comment;
    afterComment = Boolean(comment);
    if (comment) tokens.push(`{${comment}}`);
    if (colour === 'b') number++;
    colour = colour === 'w' ? 'b' : 'w';
  });
  if (game.moves.length === 0) tokens.push(`{${game.reason}}`);
  tokens.push(game.result);
  const lines = [];
  let line = '';
  for (const t of tokens) {
    if (line && line.length + 1 + t.length > 79) {
      lines.push(line);
      line = t;
    } else line = line ? `${line} ${t}` : t;
  }
  lines.push(line);
  return `${head.join('\n')}\n\n${lines.join('\n')}\n\n`;
}

function limitText(limit) {
  return ['tc', 'nodes', 'depth', 'movetime']
    .filter((k) => limit[k] !== undefined)
    .map((k) => `${k}=${k === 'tc' ? limit.tc.text : limit[k]}`)
    .join(' ');
}

function pgnTags(job, game, o, date) {
  const [w, b] = [job.white.limit, job.black.limit];
  const tags = {
    Event: o.event,
    Site: o.site,
    Date: date,
    Round: job.round,
    White: job.white.name,
    Black: job.black.name,
    Result: game.result,
    TimeControl: w.tc && b.tc && w.tc.text === b.tc.text ? w.tc.text : '-',
    Termination: game.termination,
    Opening: job.opening.name,
  };
  if (limitText(w) !== limitText(b) || !w.tc || Object.keys(w).length > 1) {
    Object.assign(tags, { WhiteLimit: limitText(w), BlackLimit: limitText(b) });
  }
  if (game.startFen) Object.assign(tags, { SetUp: '1', FEN: game.startFen });
  return tags;
}

// --- Results ------------------------------------------------------------------------------

const FAULT_KINDS = ['illegal', 'crash', 'hang', 'time'];
// The options that shape a run's games, kept in its JSON file.
const SETTINGS = [
  'games',
  'concurrency',
  'openings',
  'seed',
  'margin',
  'stall',
  'resignCp',
  'resignMoves',
  'drawAfter',
  'drawCp',
  'drawMoves',
  'maxMoves',
];

// Each pairing's results from its first player's side, in the order the pairings first appear.
// The 95% interval is pentanomial (over game pairs: one opening with colours swapped) when every
// game belongs to a complete pair, since the two games of a pair are correlated through their
// opening; otherwise trinomial (over single games).
function pairingResults(games) {
  const pairings = new Map();
  for (const g of games) {
    const key = [g.white, g.black].sort().join('\u0000');
    if (!pairings.has(key)) pairings.set(key, { a: g.white, b: g.black, games: [] });
    pairings.get(key).games.push(g);
  }
  return [...pairings.values()].map(({ a, b, games: list }) => {
    const scores = list.map((g) => (g.white === a ? g.score : 1 - g.score));
    const byPair = new Map();
    list.forEach((g, i) => {
      if (g.pair === undefined || g.pair === null) return;
      if (!byPair.has(g.pair)) byPair.set(g.pair, []);
      byPair.get(g.pair).push(scores[i]);
    });
    const pairs = [...byPair.values()];
    const pentanomial =
      pairs.length >= 2 && pairs.every((p) => p.length === 2) && pairs.length * 2 === list.length;
    const interval = stats.eloInterval(pentanomial ? pairs.map((p) => (p[0] + p[1]) / 2) : scores);
    const count = (s) => scores.filter((x) => x === s).length;
    const result = {
      a,
      b,
      games: list.length,
      wins: count(1),
      draws: count(0.5),
      losses: count(0),
      ...interval,
    };
    result.interval = pentanomial ? 'pentanomial' : 'trinomial';
    if (pentanomial) {
      result.pentanomial = [0, 0.5, 1, 1.5, 2].map(
        (s) => pairs.filter((p) => p[0] + p[1] === s).length,
      );
    }
    return result;
  });
}

const fmtElo = (x) =>
  x === null || x === undefined || Number.isNaN(x)
    ? '?'
    : x === Infinity
      ? '+inf'
      : x === -Infinity
        ? '-inf'
        : `${x >= 0 ? '+' : ''}${x.toFixed(1)}`;

function table(rows) {
  const widths = rows[0].map((_, i) => Math.max(...rows.map((r) => String(r[i]).length)));
  return rows
    .map((r) =>
      r
        .map((c, i) => String(c).padEnd(widths[i]))
        .join('  ')
        .trimEnd(),
    )
    .join('\n');
}

function printResults({ pairings, faults, ratings, anchors }) {
  if (pairings.length === 0) {
    console.log('no games finished');
    return;
  }
  const rows = [['pairing', 'games', 'W', 'D', 'L', 'score', 'Elo', '95% interval', 'from']];
  for (const p of pairings) {
    rows.push([
      `${p.a} vs ${p.b}`,
      p.games,
      p.wins,
      p.draws,
      p.losses,
      `${(100 * p.score).toFixed(1)}%`,
      fmtElo(p.elo),
      `[${fmtElo(p.low)}, ${fmtElo(p.high)}]`,
      p.interval,
    ]);
  }
  console.log(table(rows));
  const names = Object.keys(faults);
  if (names.length) {
    console.log('');
    console.log(
      table([
        ['faults', ...FAULT_KINDS],
        ...names.map((n) => [n, ...FAULT_KINDS.map((k) => faults[n][k] ?? 0)]),
      ]),
    );
  }
  if (ratings) {
    console.log('');
    const rows2 = [['player', 'rating', '95% interval', 'games', 'score']];
    for (const r of ratings) {
      const interval =
        {
          anchor: '(anchor)',
          unbounded: '(perfect or zero score)',
          unlinked: '(no games linking it to an anchor)',
        }[r.status] ?? `[${fmtElo(r.low)}, ${fmtElo(r.high)}]`;
      rows2.push([
        r.name,
        r.status === 'unlinked' ? '?' : fmtElo(r.elo),
        interval,
        r.games,
        `${((100 * r.points) / r.games).toFixed(1)}%`,
      ]);
    }
    console.log(table(rows2));
    if (anchors.size === 0) console.log(`(no --anchor: ${ratings[0].name} is rated 0)`);
  }
}

function summarise(games, faults, anchors, withRatings) {
  const pairings = pairingResults(games);
  const ratings = withRatings ? stats.fitRatings(games, anchors) : null;
  return { pairings, faults, ratings, anchors };
}

function writeJson(file, data) {
  const replacer = (_, v) => (typeof v === 'number' && !Number.isFinite(v) ? null : v);
  writeFileSync(file, JSON.stringify(data, replacer, 2) + '\n');
}

// --- Fitting saved runs -------------------------------------------------------------------

function fitFiles(o) {
  if (o.fit.length === 0) throw new UsageError('--fit needs at least one results file');
  const games = [];
  const faults = {};
  const anchors = new Map();
  o.fit.forEach((file, f) => {
    let data;
    try {
      data = JSON.parse(readFileSync(file, 'utf8'));
    } catch (err) {
      throw new UsageError(`--fit ${file}: ${err.message}`);
    }
    if (!Array.isArray(data.games)) throw new UsageError(`--fit ${file}: no games`);
    for (const g of data.games) {
      if (
        typeof g.white !== 'string' ||
        typeof g.black !== 'string' ||
        ![0, 0.5, 1].includes(g.score)
      ) {
        throw new UsageError(`--fit ${file}: a game without white, black and score`);
      }
      games.push({
        ...g,
        pair: g.pair === undefined || g.pair === null ? null : `${f}:${g.pairing}:${g.pair}`,
      });
    }
    for (const [name, counts] of Object.entries(data.faults ?? {})) {
      faults[name] ??= {};
      for (const k of FAULT_KINDS) faults[name][k] = (faults[name][k] ?? 0) + (counts[k] ?? 0);
    }
    for (const [name, value] of Object.entries(data.anchors ?? {}))
      if (!anchors.has(name)) anchors.set(name, value);
  });
  for (const [name, value] of o.anchors) anchors.set(name, value);
  const result = summarise(games, faults, anchors, true);
  console.log(`${games.length} games from ${o.fit.length} file(s)`);
  printResults(result);
  if (o.json) {
    writeJson(o.json, {
      kind: 'uci-match results',
      version: 1,
      fittedFrom: o.fit,
      anchors: Object.fromEntries(anchors),
      games,
      pairings: result.pairings,
      faults,
      ratings: result.ratings,
    });
  }
  return 0;
}

// --- The match ----------------------------------------------------------------------------

async function preflight(engines, o) {
  for (const def of engines) {
    const p = new EngineProcess(def);
    const fault = await p.prepare(o.stall);
    if (fault) {
      p.kill();
      throw new UsageError(`engine ${def.name} cannot start: ${fault.detail}`);
    }
    for (const [name] of def.options) {
      if (!p.known.has(name.toLowerCase()))
        console.error(`warning: ${def.name} (${p.id ?? '?'}) has no option "${name}"`);
    }
    def.id = p.id;
    await p.quit();
  }
}

async function runMatch(o) {
  try {
    ({ Chess } = await import(pathToFileURL(chessJs).href));
  } catch {
    throw new UsageError(`chess.js not found at ${chessJs}: run "npm ci" in web/`);
  }
  const engines = loadEngines(o);
  let openings = loadOpenings(o.openings);
  if (o.seed !== null) openings = shuffle(openings, o.seed);
  await preflight(engines, o);

  const opponents = engines.slice(1);
  const jobs = [];
  opponents.forEach((b, pairing) => {
    const a = engines[0];
    for (let g = 0; g < o.games; g++) {
      const pair = Math.floor(g / 2);
      const [white, black] = g % 2 === 0 ? [a, b] : [b, a];
      jobs.push({
        round: jobs.length + 1,
        pairing,
        pair,
        white,
        black,
        opening: openings[pair % openings.length],
      });
    }
  });
  const total = jobs.length;
  const date = new Date().toISOString().slice(0, 10).replace(/-/g, '.');
  if (o.pgn) writeFileSync(o.pgn, '');
  const games = [];
  const faults = Object.fromEntries(
    engines.map((e) => [e.name, Object.fromEntries(FAULT_KINDS.map((k) => [k, 0]))]),
  );
  const sprt = o.sprt && { ...o.sprt, llr: 0, decision: null };
  const workers = [];
  let stopping = false;
  let interrupted = false;
  process.on('SIGINT', () => {
    interrupted = stopping = true;
    for (const w of workers) for (const p of w.values()) p.kill();
  });

  const record = (job, game) => {
    const score = { '1-0': 1, '0-1': 0, '1/2-1/2': 0.5 }[game.result];
    const faulty = game.fault && (game.fault.colour === 'w' ? job.white : job.black).name;
    if (game.fault) faults[faulty][game.fault.kind]++;
    games.push({
      round: job.round,
      white: job.white.name,
      black: job.black.name,
      result: game.result,
      score,
      termination: game.termination,
      reason: game.reason,
      plies: game.moves.length,
      opening: job.opening.name,
      pairing: job.pairing,
      pair: job.pair,
      fault: game.fault
        ? { engine: faulty, kind: game.fault.kind, detail: game.fault.detail }
        : undefined,
    });
    if (o.pgn) appendFileSync(o.pgn, pgnOf(game, pgnTags(job, game, o, date)));
    const mine = games.filter((g) => g.pairing === job.pairing);
    const a = engines[0].name;
    const pts = mine.map((g) => (g.white === a ? g.score : 1 - g.score));
    const n = (s) => pts.filter((x) => x === s).length;
    let line = `game ${games.length}/${total} (round ${job.round}): ${job.white.name} - ${job.black.name} ${game.result} {${game.reason}}; ${a} vs ${opponents[job.pairing].name} +${n(1)} =${n(0.5)} -${n(0)}`;
    if (sprt && !sprt.decision) {
      sprt.llr = stats.sprtLlr(n(1), n(0.5), n(0), sprt.elo0, sprt.elo1);
      line += `; SPRT LLR ${sprt.llr.toFixed(2)} [${sprt.lower.toFixed(2)}, ${sprt.upper.toFixed(2)}]`;
      if (sprt.llr >= sprt.upper) sprt.decision = 'H1';
      if (sprt.llr <= sprt.lower) sprt.decision = 'H0';
      if (sprt.decision) {
        stopping = true;
        line += ` -> ${sprt.decision} accepted`;
      }
    }
    console.error(line);
  };

  const work = async () => {
    const mine = new Map(); // this worker's engine processes, by name
    workers.push(mine);
    while (!stopping && jobs.length) {
      const job = jobs.shift();
      const processFor = (def) => {
        if (!mine.has(def.name)) mine.set(def.name, new EngineProcess(def));
        return mine.get(def.name);
      };
      const players = { w: processFor(job.white), b: processFor(job.black) };
      const game = await playGame(job, players, o);
      if (interrupted) break;
      // An engine that broke down is restarted for its next game; one that lost on time is sound.
      if (game.fault && game.fault.kind !== 'time') players[game.fault.colour].kill();
      record(job, game);
    }
    await Promise.all([...mine.values()].map((p) => p.quit()));
  };
  await Promise.all(Array.from({ length: Math.min(o.concurrency, total) }, work));

  games.sort((x, y) => x.round - y.round);
  const withRatings = o.anchors.size > 0 || engines.length > 2;
  const result = summarise(games, faults, o.anchors, withRatings);
  console.log(`\n${games.length} of ${total} games${interrupted ? ' (interrupted)' : ''}`);
  printResults(result);
  if (sprt) {
    const verdict = sprt.decision ? `${sprt.decision} accepted` : 'no decision';
    console.log(
      `\nSPRT elo0=${sprt.elo0} elo1=${sprt.elo1} alpha=${sprt.alpha} beta=${sprt.beta}: LLR ${sprt.llr.toFixed(2)} [${sprt.lower.toFixed(2)}, ${sprt.upper.toFixed(2)}], ${verdict}`,
    );
  }
  if (o.json) {
    writeJson(o.json, {
      kind: 'uci-match results',
      version: 1,
      date: new Date().toISOString(),
      interrupted,
      engines: engines.map((e) => ({
        name: e.name,
        id: e.id,
        cmd: e.argv,
        dir: e.dir,
        options: Object.fromEntries(e.options),
        limit: limitText(e.limit),
      })),
      settings: Object.fromEntries(SETTINGS.map((k) => [k, o[k]])),
      anchors: Object.fromEntries(o.anchors),
      games,
      pairings: result.pairings,
      faults,
      ratings: result.ratings,
      sprt,
    });
  }
  if (interrupted) return 130;
  const anyFault = Object.values(faults).some((f) => FAULT_KINDS.some((k) => f[k] > 0));
  return anyFault && !o.allowFaults ? 1 : 0;
}

async function main() {
  try {
    const o = parseArgs(process.argv.slice(2));
    if (o.help) {
      process.stdout.write(HELP);
      return 0;
    }
    return o.fit ? fitFiles(o) : await runMatch(o);
  } catch (err) {
    if (!(err instanceof UsageError)) throw err;
    console.error(`uci-match: ${err.message}\n(uci-match.mjs --help lists the options)`);
    return 2;
  }
}

process.exitCode = await main();
