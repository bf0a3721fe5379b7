// Assembles the static page in build/web/: the bundled page and worker
// scripts, the offline cache script, the HTML and CSS, and the engine that
// the wasm preset built (build/wasm/web/).
import { build } from 'esbuild';
import { createHash } from 'node:crypto';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const web = dirname(dirname(fileURLToPath(import.meta.url)));
const root = dirname(web);
const out = join(root, 'build', 'web');
const engine = join(root, 'build', 'wasm', 'web');
mkdirSync(out, { recursive: true });

const common = { bundle: true, minify: true, format: 'iife', target: 'es2020', logLevel: 'warning' };
await build({ ...common, entryPoints: [join(web, 'src', 'main.js')], outfile: join(out, 'app.js') });
await build({ ...common, entryPoints: [join(web, 'src', 'FlatWorker.js')], outfile: join(out, 'worker.js') });
await build({ ...common, entryPoints: [join(web, 'src', 'LayerWorker.js')], outfile: join(out, 'layers.js') });
await build({ ...common, entryPoints: [join(web, 'src', 'LayeredFileWorker.js')], outfile: join(out, 'layered.js') });
await build({ ...common, entryPoints: [join(web, 'src', 'RestoreWorker.js')], outfile: join(out, 'restore.js') });
for (const file of ['index.html', 'style.css']) copyFileSync(join(web, file), join(out, file));
for (const file of ['vandrel-engine.js', 'vandrel-engine.wasm']) copyFileSync(join(engine, file), join(out, file));

const stamp = createHash('sha256');
for (const file of ['index.html', 'style.css', 'app.js', 'worker.js', 'layers.js', 'layered.js', 'restore.js', 'vandrel-engine.js', 'vandrel-engine.wasm'])
  stamp.update(readFileSync(join(out, file)));
const offline = readFileSync(join(web, 'src', 'Offline.js'), 'utf8').replace('__BUILD__', stamp.digest('hex').slice(0, 16));
writeFileSync(join(out, 'offline.js'), offline);
console.log(out);
