// A plain static file server for build/web/, on the loopback interface.
// Prints the page's address once it listens. Usage: node serve.mjs [DIR] [PORT]
// (PORT 0 picks a free one).
import { createServer } from 'node:http';
import { createReadStream, statSync } from 'node:fs';
import { extname, join, normalize, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const kTypes = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm', '.png': 'image/png', '.json': 'application/json',
};

export function serve(dir, port = 0) {
  const root = resolve(dir);
  const server = createServer((request, response) => {
    let path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    if (path.endsWith('/')) path += 'index.html';
    const file = normalize(join(root, path));
    let stat;
    try {
      stat = file.startsWith(root + sep) ? statSync(file) : null;
    } catch {
      stat = null;
    }
    if (!stat || !stat.isFile()) {
      response.writeHead(404, { 'content-type': 'text/plain' }).end('not found');
      return;
    }
    response.writeHead(200, {
      'content-type': kTypes[extname(file)] || 'application/octet-stream',
      'content-length': stat.size,
      'cache-control': 'no-cache',
    });
    if (request.method === 'HEAD') response.end();
    else createReadStream(file).pipe(response);
  });
  return new Promise((done) => server.listen(port, '127.0.0.1', () => done(server)));
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const dir = process.argv[2] || join(fileURLToPath(new URL('../../build/web', import.meta.url)));
  const server = await serve(dir, Number(process.argv[3] || 8017));
  console.log(`Vandrel Pro web page: http://127.0.0.1:${server.address().port}/`);
}
