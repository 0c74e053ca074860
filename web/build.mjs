// Builds the static site: the page's script and style bundled by esbuild, the page itself, the
// engine worker (built before by Emscripten) and the service worker with the list of files it
// keeps for offline use, each file with a gzip copy beside it (`.gz`) for servers that send
// precompressed files.
//   node build.mjs <engine.js> <output folder>   (engine.wasm beside engine.js)
import { createHash } from 'node:crypto';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import * as esbuild from 'esbuild';

const [engine, out] = process.argv.slice(2);
if (!engine || !out) {
  console.error('usage: node build.mjs <engine.js> <output folder>');
  process.exit(2);
}
const here = new URL('.', import.meta.url).pathname;
mkdirSync(out, { recursive: true });

// The engine's mate step, which tells the page's score display a mate from a material score,
// read from the engine's own source so that the two never disagree.
const mateStep = readFileSync(join(here, '../src/AI.h'), 'utf8').match(/mateStep = (\d+);/)?.[1];
if (!mateStep) {
  console.error('build.mjs: mateStep not found in src/AI.h');
  process.exit(1);
}
// The measured Elo estimate of each level, from the UCI program's table (however it is laid out
// over lines), one for each level the engine has and the page offers.
const levelElo = readFileSync(join(here, '../src/UciInterface.h'), 'utf8')
  .match(/levelElo\s*\{([\d,\s]+)\}/)?.[1]
  .split(',')
  .map((entry) => entry.trim())
  .filter(Boolean)
  .map(Number);
const topLevel = Number(
  readFileSync(join(here, '../src/Search.h'), 'utf8').match(/topLevel = (\d+);/)?.[1],
);
if (!levelElo || !topLevel) {
  console.error('build.mjs: levelElo not found in src/UciInterface.h or topLevel in src/Search.h');
  process.exit(1);
}
// The page's list of levels, read as the bundle will read it.
globalThis.LEVEL_ELO = levelElo;
const { levels } = await import('./src/levels.js');
if (levelElo.length !== topLevel || levels.length !== topLevel) {
  console.error(
    `build.mjs: the engine has ${topLevel} levels, levelElo ${levelElo.length} estimates, ` +
      `and web/src/levels.js names ${levels.length}`,
  );
  process.exit(1);
}

await esbuild.build({
  entryPoints: { app: join(here, 'src/main.js') },
  bundle: true,
  minify: true,
  format: 'esm',
  target: 'es2020',
  outdir: out,
  logLevel: 'warning',
  legalComments: 'none',
  define: { MATE_STEP: mateStep, LEVEL_ELO: JSON.stringify(levelElo) },
});
const pages = ['index.html', 'icon.svg', 'icon-192.png', 'icon-512.png', 'manifest.webmanifest'];
for (const file of pages) {
  copyFileSync(join(here, file), join(out, file));
}
// The engine worker's script and, beside it, its WebAssembly module, which the script loads
// from its own folder: sent as a binary file it is a quarter smaller than embedded as text.
copyFileSync(engine, join(out, 'engine.js'));
copyFileSync(engine.replace(/\.js$/, '.wasm'), join(out, 'engine.wasm'));

const files = [...pages, 'app.js', 'app.css', 'engine.js', 'engine.wasm'];
const hash = createHash('sha256');
for (const file of files) hash.update(readFileSync(join(out, file)));
const worker = readFileSync(join(here, 'sw.js'), 'utf8')
  .replace('__VERSION__', hash.digest('hex').slice(0, 12))
  .replace('__FILES__', JSON.stringify(['./', ...files]));
writeFileSync(join(out, 'sw.js'), worker);

// The gzip copies (not of the pictures, compressed already), and the sizes of the site's files.
for (const file of [...files, 'sw.js']) {
  const plain = readFileSync(join(out, file));
  if (file.endsWith('.png')) {
    console.log(`${file.padEnd(22)} ${String(plain.length).padStart(8)} B`);
    continue;
  }
  const packed = gzipSync(plain, { level: 9 });
  writeFileSync(join(out, `${file}.gz`), packed);
  console.log(`${file.padEnd(22)} ${String(plain.length).padStart(8)} B  gzip ${packed.length} B`);
}
